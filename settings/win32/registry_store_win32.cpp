#include "registry_store_win32.h"

#include <windows.h>

#include "platform/win32/wide_text_win32.h"

namespace tessory {
namespace {

constexpr char kSettingsRoot[] = "Software\\VB and VBA Program Settings\\";

// Closes its key when it goes out of scope.
class UniqueHKey {
public:
    UniqueHKey() = default;
    ~UniqueHKey() { if (key_) RegCloseKey(key_); }
    UniqueHKey(const UniqueHKey&) = delete;
    UniqueHKey& operator=(const UniqueHKey&) = delete;
    HKEY* Receive() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

}  // namespace

RegistryStore::RegistryStore(std::string application) : application_(std::move(application)) {}

std::string RegistryStore::SectionPath(std::string_view section) const {
    return kSettingsRoot + application_ + "\\" + std::string(section);
}

std::optional<std::string> RegistryStore::Read(std::string_view section, std::string_view key) const {
    UniqueHKey hkey;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(SectionPath(section)).c_str(), 0, KEY_QUERY_VALUE,
                      hkey.Receive()) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring name = Widen(std::string(key));
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(hkey.Get(), name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(hkey.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value[0]),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.resize(size / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return Narrow(value);
}

bool RegistryStore::Write(std::string_view section, std::string_view key, std::string_view value) {
    UniqueHKey hkey;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, Widen(SectionPath(section)).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, hkey.Receive(), nullptr) != ERROR_SUCCESS)
        return false;
    std::wstring wide = Widen(std::string(value));
    DWORD bytes = static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(hkey.Get(), Widen(std::string(key)).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(wide.c_str()), bytes) == ERROR_SUCCESS;
}

}  // namespace tessory
