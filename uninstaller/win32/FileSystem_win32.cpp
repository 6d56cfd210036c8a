#include "FileSystem_win32.h"

#include <windows.h>
#include <winioctl.h>

#include <vector>

#include "Handles_win32.h"
#include "RestartDelete_win32.h"
#include "SystemLibraries_win32.h"
#include "Text_win32.h"

namespace corvel {

std::wstring longPath(const std::string& ansiPath) {
    std::wstring wide;
    if (!ansiPath.empty()) {
        const int n = MultiByteToWideChar(CP_ACP, 0, ansiPath.data(), static_cast<int>(ansiPath.size()), nullptr, 0);
        wide.assign(n > 0 ? n : 0, L'\0');
        if (n > 0) MultiByteToWideChar(CP_ACP, 0, ansiPath.data(), static_cast<int>(ansiPath.size()), &wide[0], n);
    }
    if (wide.size() < MAX_PATH || wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
    if (wide.size() > 2 && wide[1] == L':' && wide[2] == L'\\') return L"\\\\?\\" + wide;
    if (wide.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + wide.substr(2);
    return wide;
}

namespace {

AfterFoldersHeldHook g_afterFoldersHeld = nullptr;
bool g_deleteByHandle = true;

using SetFileInformationFunction = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
// Looked up at run time: systems before Vista have no SetFileInformationByHandle.
SetFileInformationFunction setFileInformation() {
    static const auto fn = reinterpret_cast<SetFileInformationFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetFileInformationByHandle")));
    return fn;
}

std::string reparseTargetOf(HANDLE link);

// What a folder opened as itself is. Its path is read as well: some file systems (Wine's Unix
// links) open where a link leads even when asked for the link itself. While the folder is held,
// its path still names it.
FolderFacts folderFactsOf(HANDLE folder, const std::wstring& path) {
    BY_HANDLE_FILE_INFORMATION info = {};
    DWORD attributes = GetFileInformationByHandle(folder, &info) ? info.dwFileAttributes : 0;
    const DWORD byPath = GetFileAttributesW(path.c_str());
    if (byPath != INVALID_FILE_ATTRIBUTES) attributes |= byPath;
    FolderFacts facts;
    facts.reparsePoint = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    facts.system = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
    if (facts.reparsePoint) facts.target = reparseTargetOf(folder);
    return facts;
}

// The folder parts of a path (NT family only), opened outermost first, each checked by the
// trust rule through its own handle, and held open while the path is acted on. The handles
// deny FILE_SHARE_DELETE, and a folder cannot be renamed, deleted or replaced by a link while
// someone holds it without that sharing: so the folders checked are the folders acted
// through. (FILE_TRAVERSE makes the sharing count; attribute access alone does not.)
class HeldFolders {
public:
    HeldFolders() = default;
    HeldFolders(const HeldFolders&) = delete;
    HeldFolders& operator=(const HeldFolders&) = delete;
    ~HeldFolders() {
        for (HANDLE h : held_) CloseHandle(h);
    }
    // 0 once every part is held and may be acted through; otherwise the error to report.
    DWORD hold(const std::string& path, FileSystemSeam& fs) {
        for (const std::string& part : folderParts(path)) {
            const std::wstring wide = longPath(part);
            const HANDLE h = CreateFileW(wide.c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                         nullptr);
            if (h == INVALID_HANDLE_VALUE) {
                const DWORD error = GetLastError();
                return error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error;
            }
            held_.push_back(h);
            const FolderFacts facts = folderFactsOf(h, wide);
            if (facts.reparsePoint && !compatibilityJunction(part, facts, fs.knownFolders()))
                return ERROR_CANT_RESOLVE_FILENAME;
        }
        return 0;
    }

private:
    std::vector<HANDLE> held_;
};

// Deletes the very file or folder at `path` (a link itself, never where it leads) through the
// handle it opens, its folders being held; by path where the system cannot delete by handle.
// The answers match DeleteFileW's and RemoveDirectoryW's.
DWORD deleteHeld(const std::string& ansiPath, bool directory) {
    if (g_afterFoldersHeld) g_afterFoldersHeld(ansiPath);
    const std::wstring path = longPath(ansiPath);
    const SetFileInformationFunction set = g_deleteByHandle ? setFileInformation() : nullptr;
    if (!set) return (directory ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str())) ? 0 : GetLastError();
    UniqueHandle item(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!item.valid()) return GetLastError();
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(item.get(), &info)) return GetLastError();
    const bool isDirectory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isDirectory != directory) return directory ? ERROR_DIRECTORY : ERROR_ACCESS_DENIED;
    // First as DeleteFileW does on Windows 10: the name goes at once, even while another program
    // still has the file open, so that its folder can go too. Older systems, and file systems
    // without it, refuse the request; the classic disposition follows (as for any refusal: a
    // read-only or running file is refused by both alike).
    const auto dispositionEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);  // FileDispositionInfoEx
    DWORD posixDelete = 0x1 | 0x2;  // FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS
    if (set(item.get(), dispositionEx, &posixDelete, sizeof posixDelete)) return 0;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return set(item.get(), FileDispositionInfo, &disposition, sizeof disposition) ? 0 : GetLastError();
}

// CreateFile and DeleteFile for a record's path: wide on the NT family, ANSI on 9x.
HANDLE createFile(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    if (!ntFamily()) return CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
    return CreateFileW(longPath(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
}
void deletePath(const std::string& path) {
    if (ntFamily()) {
        DeleteFileW(longPath(path).c_str());
    } else {
        DeleteFileA(path.c_str());
    }
}

}  // namespace

void setAfterFoldersHeldHook(AfterFoldersHeldHook hook) { g_afterFoldersHeld = hook; }
void setDeleteByHandle(bool allowed) { g_deleteByHandle = allowed; }

// The record's paths are ANSI; on the NT family they go to the wide functions, so that files in
// folders deeper than MAX_PATH are removed too. The 9x family has only the ANSI ones, and no
// handles on folders.
bool Win32FileSystem::exists(const std::string& path) {
    const DWORD attributes = ntFamily() ? GetFileAttributesW(longPath(path).c_str()) : GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES;
}

void Win32FileSystem::clearReadOnly(const std::string& path) {
    if (!ntFamily()) {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        return;
    }
    HeldFolders held;
    if (held.hold(path, *this) != 0) return;
    const std::wstring wide = longPath(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

uint32_t Win32FileSystem::deleteFile(const std::string& path) {
    if (!ntFamily()) return DeleteFileA(path.c_str()) ? 0 : GetLastError();
    HeldFolders held;
    const DWORD error = held.hold(path, *this);
    return error != 0 ? error : deleteHeld(path, false);
}

uint32_t Win32FileSystem::removeDirectory(const std::string& path) {
    if (!ntFamily()) return RemoveDirectoryA(path.c_str()) ? 0 : GetLastError();
    HeldFolders held;
    const DWORD error = held.hold(path, *this);
    return error != 0 ? error : deleteHeld(path, true);
}

namespace {
FlushFunction g_flush = &FlushFileBuffers;

DWORD tickAndProcess() { return GetTickCount() ^ (GetCurrentProcessId() << 16); }
CopyNameSeed g_copyNameSeed = &tickAndProcess;

// Copies `source` into `copy` through the two handles, with its write time.
bool copyThrough(HANDLE source, HANDLE copy) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD got = 0, written = 0;
        if (!ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return false;
        if (got == 0) break;
        if (!WriteFile(copy, buffer.data(), got, &written, nullptr) || written != got) return false;
    }
    FILETIME created = {}, accessed = {}, written = {};
    if (GetFileTime(source, &created, &accessed, &written)) SetFileTime(copy, nullptr, nullptr, &written);
    return true;
}
}  // namespace

void setFlushFunction(FlushFunction fn) { g_flush = fn ? fn : &FlushFileBuffers; }
void setCopyNameSeed(CopyNameSeed fn) { g_copyNameSeed = fn ? fn : &tickAndProcess; }

std::string Win32FileSystem::copyInto(const std::string& from, const std::string& folder) {
    UniqueHandle source(createFile(from, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN));
    if (!source.valid()) return std::string();
    // A name of its own, created here and only if new: nothing planted at it (a file, or a link
    // in a folder others can write) is ever opened. The copy is never read-only, so nothing
    // stands in the way of writing and flushing it through the handle that made it.
    const std::string base = folder + (folder.empty() || folder.back() == '\\' ? "" : "\\");
    std::string name;
    UniqueHandle copy;
    const DWORD seed = g_copyNameSeed();
    for (DWORD attempt = 0; attempt < 100 && !copy.valid(); ++attempt) {
        char unique[32];
        wsprintfA(unique, "cvr%08lX.tmp", static_cast<unsigned long>(seed ^ (attempt * 0x9E3779B9u)));
        name = base + unique;
        copy.reset(createFile(name, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT));
        const DWORD error = copy.valid() ? 0 : GetLastError();
        if (!copy.valid() && error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return std::string();
    }
    if (!copy.valid()) return std::string();
    // On disk before it replaces anything, so that a power cut cannot leave a torn target.
    const bool ok = copyThrough(source.get(), copy.get()) && g_flush(copy.get());
    copy.reset();
    if (!ok) {
        deletePath(name);
        return std::string();
    }
    return name;
}

// The copy sits beside the target: with the target's folders held and checked, neither can be
// moved elsewhere during the rename.
uint32_t Win32FileSystem::replace(const std::string& from, const std::string& to) {
    clearReadOnly(to);
    HeldFolders held;
    if (ntFamily()) {
        const DWORD error = held.hold(to, *this);
        if (error != 0) return error;
    }
    return replaceFileAtOnce(from.c_str(), to.c_str()) ? 0 : GetLastError();
}

bool Win32FileSystem::moveAtRestart(const std::string& from, const std::string& to) {
    if (to.empty()) return deleteAtRestart(from);
    return delayedMoveFunction()(from, to, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING);
}

FolderFacts Win32FileSystem::folderFacts(const std::string& folder) {
    if (ntFamily()) {
        const std::wstring wide = longPath(folder);
        UniqueHandle h(CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (h.valid()) return folderFactsOf(h.get(), wide);
    }
    FolderFacts facts;
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return facts;
    facts.reparsePoint = true;
    facts.hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    facts.system = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
    facts.target = reparseTarget(folder);
    return facts;
}

KnownFolders Win32FileSystem::knownFolders() {
    if (!knownRead_) {
        known_ = readKnownFolders();
        knownRead_ = true;
    }
    return known_;
}

namespace {

// The substitute name of a junction or symbolic link, read from the link itself.
std::string targetFromBuffer(const std::vector<BYTE>& data, DWORD size) {
    if (size < 16) return std::string();
    const DWORD tag = *reinterpret_cast<const DWORD*>(data.data());
    const auto* words = reinterpret_cast<const WORD*>(data.data());
    size_t pathStart = 0;
    if (tag == IO_REPARSE_TAG_MOUNT_POINT) {
        pathStart = 16;
    } else if (tag == IO_REPARSE_TAG_SYMLINK) {
        pathStart = 20;
    } else {
        return std::string();
    }
    const size_t offset = words[4], length = words[5];
    if (pathStart + offset + length > size) return std::string();
    const auto* text = reinterpret_cast<const wchar_t*>(data.data() + pathStart + offset);
    const int n = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length / 2), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length / 2), &out[0], n, nullptr, nullptr);
    return out;
}

std::string reparseTargetOf(HANDLE link) {
    std::vector<BYTE> data(16 * 1024);
    DWORD size = 0;
    if (!DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(), static_cast<DWORD>(data.size()), &size,
                         nullptr))
        return std::string();
    return targetFromBuffer(data, size);
}

// A value of ProfileList, with %SystemDrive% put in from the Windows folder (not from the
// environment, which the user sets).
std::string profileListValue(const char* name, const std::string& systemDrive) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return std::string();
    char value[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH, type = 0;
    const LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::string();
    std::string text(value);
    const std::string variable = "%SystemDrive%";
    if (text.size() >= variable.size() && lstrcmpiA(text.substr(0, variable.size()).c_str(), variable.c_str()) == 0)
        text = systemDrive + text.substr(variable.size());
    return text.find('%') == std::string::npos ? text : std::string();
}

}  // namespace

std::string reparseTarget(const std::string& path) {
    UniqueHandle link(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return link.valid() ? reparseTargetOf(link.get()) : std::string();
}

KnownFolders readKnownFolders() {
    KnownFolders known;
    char windows[MAX_PATH + 1] = {};
    const UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
    if (n < 2 || n > MAX_PATH || windows[1] != ':') return known;
    known.systemDrive = std::string(windows, 2);
    known.profiles = profileListValue("ProfilesDirectory", known.systemDrive);
    known.programData = profileListValue("ProgramData", known.systemDrive);
    known.publicFolder = profileListValue("Public", known.systemDrive);
    return known;
}

bool Win32FileSystem::lastWriteTime(const std::string& path, uint32_t& high, uint32_t& low) {
    UniqueHandle file(createFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0));
    if (!file.valid()) return false;
    FILETIME written = {};
    if (!GetFileTime(file.get(), nullptr, nullptr, &written)) written = FILETIME();
    high = written.dwHighDateTime;
    low = written.dwLowDateTime;
    return true;
}

bool Win32FileSystem::fileVersion(const std::string& path, uint32_t& ms, uint32_t& ls) {
    const bool nt = ntFamily();
    const std::wstring wide = nt ? longPath(path) : std::wstring();
    DWORD size = 0;
    if (!(nt ? versionInfoSize(wide.c_str(), size) : versionInfoSize(path.c_str(), size))) return false;
    std::vector<char> data(size);
    void* fixed = nullptr;
    UINT length = 0;
    const bool read = nt ? versionInfo(wide.c_str(), size, data.data()) : versionInfo(path.c_str(), size, data.data());
    if (!read || !versionQuery(data.data(), "\\", &fixed, &length) ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    ms = info->dwFileVersionMS;
    ls = info->dwFileVersionLS;
    return true;
}

void Win32FileSystem::unregisterComServer(const std::string& path) { corvel::unregisterComServer(path); }

}  // namespace corvel
