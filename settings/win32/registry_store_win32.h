#pragma once
#include <string>

#include "settings/settings_store.h"

namespace tessory {

// The values under HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>
// as REG_SZ, where the platform's classic per-user settings calls keep them.
class RegistryStore : public SettingsStore {
public:
    explicit RegistryStore(std::string application = kApplicationName);
    std::optional<std::string> Read(std::string_view section, std::string_view key) const override;
    bool Write(std::string_view section, std::string_view key, std::string_view value) override;

    // The key path below HKEY_CURRENT_USER of a section.
    std::string SectionPath(std::string_view section) const;

private:
    std::string application_;
};

}  // namespace tessory
