#include "Registry_win32.h"

#include "Text_win32.h"

namespace corvel {

namespace {

// A key or value name holds up to 255 characters; through the ANSI functions each may take
// two bytes in a double-byte code page.
constexpr DWORD kMaxKeyName = 2 * 255 + 1;

HKEY hkey(RegistryAccess::Key key) { return static_cast<HKEY>(key); }

// A key that may be deleted is opened as the link itself, never as its target: the walk must
// not empty another tree, nor follow a link back to an ancestor. The 9x family has no links.
DWORD openOptions(bool asLink) { return asLink && ntFamily() ? REG_OPTION_OPEN_LINK : 0; }

RegistryAccess::Open openKey(RegistryAccess::Key parent, const std::string& name, REGSAM access, bool asLink,
                             RegistryAccess::Key& out) {
    HKEY key = nullptr;
    const LONG rc = RegOpenKeyExA(hkey(parent), name.c_str(), openOptions(asLink), access, &key);
    if (rc == ERROR_SUCCESS) {
        out = key;
        return RegistryAccess::Open::kOk;
    }
    return rc == ERROR_ACCESS_DENIED ? RegistryAccess::Open::kDenied : RegistryAccess::Open::kMissing;
}

}  // namespace

RegistryAccess::Key Win32Registry::root(int index) {
    static const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};
    return roots[index];
}

RegistryAccess::Open Win32Registry::openForChange(Key parent, const std::string& name, Key& out, bool asLink) {
    return openKey(parent, name, kChangeAccess, asLink, out);
}

RegistryAccess::Open Win32Registry::openReadOnly(Key parent, const std::string& name, Key& out, bool asLink) {
    return openKey(parent, name, KEY_READ, asLink, out);
}

void Win32Registry::close(Key key) {
    if (key) RegCloseKey(hkey(key));
}

void Win32Registry::deleteValue(Key key, const std::string& name) { RegDeleteValueA(hkey(key), name.c_str()); }

// A name longer than the buffer still proves that a subkey or value is there.
bool Win32Registry::hasSubkey(Key key) {
    char name[kMaxKeyName];
    DWORD size = kMaxKeyName;
    const LONG rc = RegEnumKeyExA(hkey(key), 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    return rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA;
}

bool Win32Registry::hasValue(Key key) {
    char name[kMaxKeyName];
    DWORD size = kMaxKeyName;
    const LONG rc = RegEnumValueA(hkey(key), 0, name, &size, nullptr, nullptr, nullptr, nullptr);
    return rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA;
}

std::vector<std::string> Win32Registry::subkeyNames(Key key) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[kMaxKeyName];
        DWORD size = kMaxKeyName;
        if (RegEnumKeyExA(hkey(key), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, size);
    }
    return names;
}

bool Win32Registry::deleteKey(Key parent, const std::string& name) {
    // RegDeleteKey would open a link's target and delete that; NtDeleteKey on a handle opened
    // as a link deletes the link alone (and, like RegDeleteKey, refuses a key with subkeys).
    using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);
    static const auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    if (!ntFamily() || !ntDeleteKey) return RegDeleteKeyA(hkey(parent), name.c_str()) == ERROR_SUCCESS;
    UniqueHKey key;
    if (RegOpenKeyExA(hkey(parent), name.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE, key.out()) != ERROR_SUCCESS)
        return false;
    return ntDeleteKey(key.get()) >= 0;
}

bool Win32SharedCounts::open() {
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, kChangeAccess, key_.out()) == ERROR_SUCCESS;
}

SharedCounts::Read Win32SharedCounts::read(const std::string& path, uint32_t& count) {
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    const LONG rc = RegQueryValueExA(key_.get(), path.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (rc == ERROR_FILE_NOT_FOUND) return Read::kMissing;
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return Read::kUnreadable;
    count = value;
    return Read::kCount;
}

void Win32SharedCounts::write(const std::string& path, uint32_t count) {
    const DWORD value = count;
    RegSetValueExA(key_.get(), path.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void Win32SharedCounts::remove(const std::string& path) { RegDeleteValueA(key_.get(), path.c_str()); }

}  // namespace corvel
