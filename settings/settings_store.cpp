#include "settings_store.h"

#include "memory_store.h"
#include "setting_keys.h"

namespace tessory {
namespace {

SettingsStore*& InstalledStore() {
    static SettingsStore* store = nullptr;
    return store;
}

}  // namespace

SettingsStore& ProcessSettings() {
    static MemoryStore fallback;
    SettingsStore* store = InstalledStore();
    return store ? *store : fallback;
}

void InstallSettingsStore(SettingsStore* store) { InstalledStore() = store; }

std::string GetSetting(std::string_view section, std::string_view key, std::string_view defaultText) {
    auto value = ProcessSettings().Read(section, key);
    return value ? *value : std::string(defaultText);
}

bool SaveSetting(std::string_view section, std::string_view key, std::string_view value) {
    return ProcessSettings().Write(section, key, value);
}

std::string ReadSetting(const SettingsStore& store, const SettingKey& key) {
    auto value = store.Read(key.section, key.name);
    return value ? *value : DefaultText(key);
}

std::string GetSetting(const SettingKey& key) { return ReadSetting(ProcessSettings(), key); }

bool SaveSetting(const SettingKey& key, std::string_view value) {
    return ProcessSettings().Write(key.section, key.name, value);
}

}  // namespace tessory
