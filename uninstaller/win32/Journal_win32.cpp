#include "Journal_win32.h"

#include <vector>

#include "Text_win32.h"

namespace corvel {

namespace {

constexpr REGSAM kAccess = KEY_READ | KEY_SET_VALUE;

DWORD readDword(HKEY key, const char* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return 0;
    }
    return value;
}

bool writeDword(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

bool writeChangeTime(HKEY key, uint64_t changeTime) {
    return RegSetValueExA(key, "Changed", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&changeTime), sizeof changeTime) ==
           ERROR_SUCCESS;
}

uint64_t joined(DWORD high, DWORD low) { return (static_cast<uint64_t>(high) << 32) | low; }

// The change time through ntdll, which every NT system has; the 9x family keeps none.
uint64_t changeTimeOf(HANDLE file) {
    struct IoStatus {
        void* status;
        ULONG_PTR information;
    };
    struct BasicInformation {
        LARGE_INTEGER creation, lastAccess, lastWrite, change;
        ULONG attributes;
    };
    using QueryFn = LONG(NTAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    const auto query = ntdll ? reinterpret_cast<QueryFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationFile")))
                             : nullptr;
    IoStatus status = {};
    BasicInformation info = {};
    constexpr int kFileBasicInformation = 4;
    if (!query || query(file, &status, &info, sizeof info, kFileBasicInformation) < 0) return 0;
    return static_cast<uint64_t>(info.change.QuadPart);
}

}  // namespace

FileIdentity fileIdentity(const std::wstring& path) {
    FileIdentity id;
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    UniqueHandle file(ntFamily() ? CreateFileW(path.c_str(), 0, share, nullptr, OPEN_EXISTING, 0, nullptr)
                                 : CreateFileA(wideToAnsi(path).c_str(), 0, share, nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &info)) return id;
    id.known = true;
    id.volumeSerial = info.dwVolumeSerialNumber;
    id.fileIndex = joined(info.nFileIndexHigh, info.nFileIndexLow);
    id.lastWrite = joined(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    id.changeTime = changeTimeOf(file.get());
    return id;
}

bool Win32JournalStore::open(const std::string& name, uint64_t changeTime, JournalState& loaded) {
    const std::string path = std::string(kJournalRoot) + "\\" + name;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, kAccess, nullptr, key_.out(), nullptr) !=
        ERROR_SUCCESS) {
        key_.reset();
        return false;
    }
    loaded.sharedDone = readDword(key_.get(), "Shared");
    loaded.stages = readDword(key_.get(), "Stages");
    uint64_t seen = 0;
    DWORD size = sizeof seen, type = 0;
    const bool hasSeen = RegQueryValueExA(key_.get(), "Changed", nullptr, &type, reinterpret_cast<BYTE*>(&seen), &size) ==
                             ERROR_SUCCESS &&
                         type == REG_BINARY && size == sizeof seen;
    if (hasSeen && changeTime != 0 && seen != changeTime) {
        loaded = JournalState();
        if (!save(loaded)) return false;
    }
    return true;
}

void Win32JournalStore::setPath(const std::wstring& path, uint64_t changeTime) {
    if (!key_.get()) return;
    if (ntFamily()) {
        RegSetValueExW(key_.get(), L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    } else {
        const std::string ansi = wideToAnsi(path);
        RegSetValueExA(key_.get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(ansi.c_str()),
                       static_cast<DWORD>(ansi.size() + 1));
    }
    writeChangeTime(key_.get(), changeTime);
    RegFlushKey(key_.get());
}

bool Win32JournalStore::save(const JournalState& state) {
    if (!key_.get()) return false;
    return writeDword(key_.get(), "Shared", state.sharedDone) && writeDword(key_.get(), "Stages", state.stages) &&
           RegFlushKey(key_.get()) == ERROR_SUCCESS;
}

namespace {

// The volume (as "\\?\Volume{...}\") whose serial number is `serial`, and whether its file system
// opens files by id; empty when no mounted volume has it (a removable or network drive that is
// away, or a system without volume names).
std::wstring volumeWithSerial(uint32_t serial, bool& opensById) {
    using FindFirstFn = HANDLE(WINAPI*)(LPWSTR, DWORD);
    using FindNextFn = BOOL(WINAPI*)(HANDLE, LPWSTR, DWORD);
    using FindCloseFn = BOOL(WINAPI*)(HANDLE);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto first = reinterpret_cast<FindFirstFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "FindFirstVolumeW")));
    const auto next = reinterpret_cast<FindNextFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "FindNextVolumeW")));
    const auto close = reinterpret_cast<FindCloseFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "FindVolumeClose")));
    if (!first || !next || !close) return std::wstring();
    wchar_t name[MAX_PATH + 1] = {};
    HANDLE find = first(name, MAX_PATH);
    if (find == INVALID_HANDLE_VALUE) return std::wstring();
    std::wstring found;
    do {
        DWORD volumeSerial = 0, flags = 0;
        if (GetVolumeInformationW(name, nullptr, 0, &volumeSerial, nullptr, &flags, nullptr, 0) && volumeSerial == serial) {
            found = name;
            opensById = (flags & FILE_SUPPORTS_OPEN_BY_FILE_ID) != 0;
            break;
        }
    } while (next(find, name, MAX_PATH));
    close(find);
    return found;
}

}  // namespace

FileLookup VolumeFileLookup::find(const JournalIdentity& id) {
    using OpenByIdFn = HANDLE(WINAPI*)(HANDLE, LPFILE_ID_DESCRIPTOR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD);
    const auto openById = reinterpret_cast<OpenByIdFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "OpenFileById")));
    if (!openById) return FileLookup::kUnknown;
    bool opensById = false;
    const std::wstring volume = volumeWithSerial(id.volumeSerial, opensById);
    // Without stable ids a failed look-up proves nothing.
    if (volume.empty() || !opensById) return FileLookup::kUnknown;
    UniqueHandle root(CreateFileW(volume.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!root.valid()) return FileLookup::kUnknown;
    FILE_ID_DESCRIPTOR descriptor = {};
    descriptor.dwSize = sizeof descriptor;
    descriptor.Type = FileIdType;
    descriptor.FileId.QuadPart = static_cast<LONGLONG>(id.fileIndex);
    UniqueHandle file(openById(root.get(), &descriptor, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               FILE_FLAG_BACKUP_SEMANTICS));
    if (!file.valid()) {
        const DWORD error = GetLastError();
        return error == ERROR_INVALID_PARAMETER || error == ERROR_FILE_NOT_FOUND ? FileLookup::kGone : FileLookup::kUnknown;
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(file.get(), &info)) return FileLookup::kUnknown;
    const bool same = joined(info.nFileIndexHigh, info.nFileIndexLow) == id.fileIndex &&
                      joined(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime) == id.lastWrite;
    return same ? FileLookup::kPresent : FileLookup::kUnknown;
}

namespace {

void deleteIfEmpty(const char* path) {
    UniqueHKey key;
    DWORD subkeys = 1, values = 1;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.out()) != ERROR_SUCCESS ||
        RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS || subkeys != 0 || values != 0) {
        return;
    }
    key.reset();
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
}

}  // namespace

void pruneJournal(const std::string& own, JournalFileLookup& files) {
    std::vector<std::string> names;
    {
        UniqueHKey root;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kJournalRoot, 0, KEY_READ, root.out()) != ERROR_SUCCESS) return;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD size = sizeof name;
            if (RegEnumKeyExA(root.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            names.emplace_back(name, size);
        }
    }
    for (const std::string& entry : prunableJournalEntries(names, own, files))
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kJournalRoot) + "\\" + entry).c_str());
    deleteIfEmpty(kJournalRoot);
    deleteIfEmpty(kJournalParent);
}

}  // namespace corvel
