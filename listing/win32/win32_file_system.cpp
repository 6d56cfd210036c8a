#include "win32_file_system.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "platform/win32/wide_text_win32.h"

namespace tessory {
namespace {

class FindHandle {
public:
    explicit FindHandle(HANDLE h) : handle_(h) {}
    ~FindHandle() { if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_); }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// Through the time-zone rules for the file's own date: a summer file seen in winter keeps its
// summer offset (FileTimeToLocalFileTime would apply today's).
std::optional<DateTime> LocalTimeOf(const FILETIME& utc) {
    SYSTEMTIME universal, parts;
    if (!FileTimeToSystemTime(&utc, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &parts))
        return std::nullopt;
    return DateTime{parts.wYear, parts.wMonth, parts.wDay, parts.wHour, parts.wMinute, parts.wSecond};
}

std::uint32_t AttributesOf(DWORD native) {
    std::uint32_t attributes = 0;
    if (native & FILE_ATTRIBUTE_ARCHIVE) attributes |= kAttrArchive;
    if (native & FILE_ATTRIBUTE_HIDDEN) attributes |= kAttrHidden;
    if (native & FILE_ATTRIBUTE_READONLY) attributes |= kAttrReadOnly;
    if (native & FILE_ATTRIBUTE_SYSTEM) attributes |= kAttrSystem;
    return attributes;
}

}  // namespace

std::wstring ExtendedLengthPath(const std::wstring& path) {
    if (path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\\\.\\") == 0) return path;
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(path.c_str(), n, &full[0], nullptr);
    if (n == 0 || n >= full.size()) return path;
    full.resize(n);
    if (full.size() < MAX_PATH - 1) return path;
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

#ifdef _WIN64
FileSystemRedirectionOff::FileSystemRedirectionOff() = default;
FileSystemRedirectionOff::~FileSystemRedirectionOff() = default;
#else
namespace {

using DisableRedirectionFn = BOOL(WINAPI*)(PVOID*);
using RevertRedirectionFn = BOOL(WINAPI*)(PVOID);

template <typename Fn>
Fn Kernel32Function(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

}  // namespace

FileSystemRedirectionOff::FileSystemRedirectionOff() {
    static const auto disable = Kernel32Function<DisableRedirectionFn>("Wow64DisableWow64FsRedirection");
    const DWORD error = GetLastError();
    off_ = disable && disable(&previous_);
    SetLastError(error);
}

FileSystemRedirectionOff::~FileSystemRedirectionOff() {
    static const auto revert = Kernel32Function<RevertRedirectionFn>("Wow64RevertWow64FsRedirection");
    if (!off_ || !revert) return;
    // The caller reads the wrapped call's error after this.
    const DWORD error = GetLastError();
    revert(previous_);
    SetLastError(error);
}
#endif

BOOL Win32FileSystem::FindNext(HANDLE find, WIN32_FIND_DATAW& data) { return FindNextFileW(find, &data); }

BOOL Win32FileSystem::NextEntry(HANDLE find, WIN32_FIND_DATAW& data) {
    FileSystemRedirectionOff redirectionOff;
    return FindNext(find, data);
}

bool WalksIntoReparsePoint(std::uint32_t tag) { return tag != 0 && !IsReparseTagNameSurrogate(tag); }

bool Win32FileSystem::ReadFolder(const std::string& folder, const std::function<void(const FileInfo&)>& onFile,
                                 std::vector<std::string>& subfolders) {
    std::wstring pattern = ExtendedLengthPath(Widen(JoinPath(folder, "*")));
    WIN32_FIND_DATAW data;
    HANDLE first;
    {
        FileSystemRedirectionOff redirectionOff;
        first = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                 FIND_FIRST_EX_LARGE_FETCH);
    }
    FindHandle find(first);
    if (!find.Valid()) return GetLastError() == ERROR_FILE_NOT_FOUND;
    FileInfo file;
    do {
        const wchar_t* name = data.cFileName;
        if (wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0) continue;
        DWORD native = data.dwFileAttributes;
        if (native & FILE_ATTRIBUTE_DIRECTORY) {
            // A directory search reports the reparse tag in dwReserved0.
            if (!(native & FILE_ATTRIBUTE_REPARSE_POINT) || WalksIntoReparsePoint(data.dwReserved0))
                subfolders.push_back(JoinPath(folder, Narrow(name)));
            else
                ++linksNotFollowed_;
            continue;
        }
        if (native & FILE_ATTRIBUTE_SYSTEM) continue;
        file.name = Narrow(name);
        file.length = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        file.modified = LocalTimeOf(data.ftLastWriteTime);
        file.attributes = AttributesOf(native);
        onFile(file);
    } while (NextEntry(find.Get(), data));
    // A folder cut short keeps what was read, and counts as one that could not be read.
    return GetLastError() == ERROR_NO_MORE_FILES;
}

std::string Win32FileSystem::TypeName(const std::string& fileName) {
    std::wstring wide = Widen(fileName);
    size_t dot = wide.rfind(L'.');
    std::wstring extension = dot == std::wstring::npos ? L"" : wide.substr(dot);
    CharLowerBuffW(&extension[0], static_cast<DWORD>(extension.size()));
    auto cached = typeNames_.find(extension);
    if (cached != typeNames_.end()) return cached->second;

    SHFILEINFOW info = {};
    std::string type;
    if (SHGetFileInfoW(wide.c_str(), 0, &info, sizeof info, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES))
        type = Narrow(std::wstring(info.szTypeName, wcsnlen(info.szTypeName, std::size(info.szTypeName))));
    typeNames_.emplace(extension, type);
    return type;
}

std::string Win32FileSystem::JoinPath(const std::string& folder, const std::string& name) const {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder + name;
    return folder + "\\" + name;
}

}  // namespace tessory
