#pragma once
#include <map>
#include <string>

#include "settings_store.h"

namespace tessory {

// Values held in memory only: the store of a process that installed none, and of tests.
class MemoryStore : public SettingsStore {
public:
    std::optional<std::string> Read(std::string_view section, std::string_view key) const override;
    bool Write(std::string_view section, std::string_view key, std::string_view value) override;
    // When set, every Write fails and changes nothing.
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

private:
    std::map<std::string, std::string> values_;  // "section\nkey" lower-cased -> value
    bool readOnly_ = false;
};

// A store whose values override another's for reads; writes go to the overrides only.
class OverlayStore : public SettingsStore {
public:
    explicit OverlayStore(const SettingsStore& base) : base_(base) {}
    std::optional<std::string> Read(std::string_view section, std::string_view key) const override;
    bool Write(std::string_view section, std::string_view key, std::string_view value) override;

private:
    const SettingsStore& base_;
    MemoryStore overrides_;
};

}  // namespace tessory
