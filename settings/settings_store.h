#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace tessory {

struct SettingKey;

// Application name under which every value lives.
inline constexpr char kApplicationName[] = "Ombrel";

// Per-user text values addressed by section and key; names compare without regard to case.
// All texts are UTF-8.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or nothing when the key is absent (an existing empty text is returned as empty).
    virtual std::optional<std::string> Read(std::string_view section, std::string_view key) const = 0;
    // Creates or replaces the value; false when the store could not be written.
    virtual bool Write(std::string_view section, std::string_view key, std::string_view value) = 0;
};

// The process's store: the one installed last, or an empty in-memory store.
SettingsStore& ProcessSettings();
// Makes store the process's store; nullptr goes back to the in-memory one. The caller keeps ownership.
void InstallSettingsStore(SettingsStore* store);

// The stored text, or defaultText when the key is absent.
std::string GetSetting(std::string_view section, std::string_view key, std::string_view defaultText);
bool SaveSetting(std::string_view section, std::string_view key, std::string_view value);

// Catalogue forms: the default is the key's own (the current date and time for the two time bounds).
std::string GetSetting(const SettingKey& key);
bool SaveSetting(const SettingKey& key, std::string_view value);

// The same against a given store.
std::string ReadSetting(const SettingsStore& store, const SettingKey& key);

}  // namespace tessory
