#pragma once
#include <string>
#include <vector>

#include "settings_store.h"

namespace tessory {

// A per-user INI file, one [section] per section. Every write replaces the file atomically
// (a new file renamed over the old); lines it does not know are kept as they were.
class IniStore : public SettingsStore {
public:
    explicit IniStore(std::string path);
    std::optional<std::string> Read(std::string_view section, std::string_view key) const override;
    bool Write(std::string_view section, std::string_view key, std::string_view value) override;

    const std::string& Path() const { return path_; }
    // $XDG_CONFIG_HOME/Ombrel.ini, or ~/.config/Ombrel.ini when that is not set.
    static std::string DefaultPath();

private:
    void Load();
    std::string path_;
    std::vector<std::string> lines_;
};

}  // namespace tessory
