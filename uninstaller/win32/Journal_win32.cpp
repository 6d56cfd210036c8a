#include "Journal_win32.h"

#include <vector>

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

// The identity part of an entry name: everything after the record hash and its dash.
std::string identityPart(const std::string& name) {
    const size_t dash = name.find('-');
    return dash == std::string::npos ? std::string() : name.substr(dash + 1);
}

}  // namespace

FileIdentity fileIdentity(const std::string& path) {
    FileIdentity id;
    UniqueHandle file(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &info)) return id;
    id.known = true;
    id.volumeSerial = info.dwVolumeSerialNumber;
    id.fileIndex = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    id.lastWrite = (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    return id;
}

bool Win32JournalStore::open(const std::string& name, JournalState& loaded) {
    const std::string path = std::string(kJournalRoot) + "\\" + name;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, kAccess, nullptr, key_.out(), nullptr) !=
        ERROR_SUCCESS) {
        key_.reset();
        return false;
    }
    loaded.sharedDone = readDword(key_.get(), "Shared");
    loaded.stages = readDword(key_.get(), "Stages");
    return true;
}

void Win32JournalStore::setPath(const std::string& path) {
    if (!key_.get()) return;
    RegSetValueExA(key_.get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>(path.size() + 1));
    RegFlushKey(key_.get());
}

bool Win32JournalStore::save(const JournalState& state) {
    if (!key_.get()) return false;
    return writeDword(key_.get(), "Shared", state.sharedDone) && writeDword(key_.get(), "Stages", state.stages) &&
           RegFlushKey(key_.get()) == ERROR_SUCCESS;
}

void pruneJournal() {
    UniqueHKey root;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kJournalRoot, 0, KEY_READ, root.out()) != ERROR_SUCCESS) return;
    std::vector<std::string> gone;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(root.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        UniqueHKey entry;
        char path[MAX_PATH + 1] = {};
        DWORD bytes = MAX_PATH;
        DWORD type = 0;
        if (RegOpenKeyExA(root.get(), name, 0, KEY_READ, entry.out()) != ERROR_SUCCESS ||
            RegQueryValueExA(entry.get(), "Path", nullptr, &type, reinterpret_cast<BYTE*>(path), &bytes) != ERROR_SUCCESS ||
            type != REG_SZ) {
            continue;  // being written by a run right now, or not ours to judge
        }
        const FileIdentity id = fileIdentity(path);
        if (!id.known || journalName(0, id.volumeSerial, id.fileIndex, id.lastWrite).substr(17) != identityPart(name))
            gone.emplace_back(name);
    }
    root.reset();
    for (const std::string& entry : gone) RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kJournalRoot) + "\\" + entry).c_str());
}

}  // namespace corvel
