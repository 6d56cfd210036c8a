#include "memory_store.h"

#include <cctype>

namespace tessory {
namespace {

std::string Address(std::string_view section, std::string_view key) {
    std::string address;
    address.reserve(section.size() + key.size() + 1);
    for (char c : section) address += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    address += '\n';
    for (char c : key) address += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return address;
}

}  // namespace

std::optional<std::string> MemoryStore::Read(std::string_view section, std::string_view key) const {
    auto it = values_.find(Address(section, key));
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

bool MemoryStore::Write(std::string_view section, std::string_view key, std::string_view value) {
    if (readOnly_) return false;
    values_[Address(section, key)] = std::string(value);
    return true;
}

std::optional<std::string> OverlayStore::Read(std::string_view section, std::string_view key) const {
    auto value = overrides_.Read(section, key);
    return value ? value : base_.Read(section, key);
}

bool OverlayStore::Write(std::string_view section, std::string_view key, std::string_view value) {
    return overrides_.Write(section, key, value);
}

}  // namespace tessory
