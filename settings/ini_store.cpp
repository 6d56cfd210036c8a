#include "ini_store.h"

#include <cstdlib>
#include <fstream>

#include "platform/file_io.h"
#include "setting_keys.h"

namespace tessory {
namespace {

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// The section name of a "[name]" line, or nothing.
std::optional<std::string_view> SectionOf(std::string_view line) {
    line = TrimBlanks(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return std::nullopt;
    return line.substr(1, line.size() - 2);
}

// The key of a "key=value" line and where its value starts, or nothing.
std::optional<std::string_view> KeyOf(std::string_view line, size_t& valueStart) {
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    std::string_view key = TrimBlanks(line.substr(0, eq));
    if (key.empty() || key.front() == ';' || key.front() == '#') return std::nullopt;
    valueStart = eq + 1;
    return key;
}

}  // namespace

IniStore::IniStore(std::string path) : path_(std::move(path)) { Load(); }

std::string IniStore::DefaultPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config) return std::string(config) + "/Ombrel.ini";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/Ombrel.ini";
}

void IniStore::Load() {
    lines_.clear();
    std::ifstream in(path_, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines_.push_back(line);
    }
}

std::optional<std::string> IniStore::Read(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (const std::string& line : lines_) {
        if (auto name = SectionOf(line)) {
            inSection = SameName(*name, section);
            continue;
        }
        size_t valueStart = 0;
        auto lineKey = inSection ? KeyOf(line, valueStart) : std::nullopt;
        if (lineKey && SameName(*lineKey, key)) return line.substr(valueStart);
    }
    return std::nullopt;
}

bool IniStore::Write(std::string_view section, std::string_view key, std::string_view value) {
    // One value is one line: a line break would split it and corrupt the store.
    if (value.find_first_of("\r\n") != std::string_view::npos ||
        key.find_first_of("=\r\n[]") != std::string_view::npos ||
        section.find_first_of("\r\n[]") != std::string_view::npos)
        return false;
    Load();  // another process may have written since
    std::vector<std::string> lines = lines_;
    std::string entry = std::string(key) + "=" + std::string(value);
    bool inSection = false, sectionSeen = false, done = false;
    size_t sectionEnd = 0;
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        if (auto name = SectionOf(lines[i])) {
            inSection = SameName(*name, section);
            sectionSeen = sectionSeen || inSection;
            if (inSection) sectionEnd = i + 1;
            continue;
        }
        if (!inSection) continue;
        size_t valueStart = 0;
        auto lineKey = KeyOf(lines[i], valueStart);
        if (lineKey && SameName(*lineKey, key)) {
            lines[i] = std::string(*lineKey) + "=" + std::string(value);
            done = true;
        } else if (!TrimBlanks(lines[i]).empty()) {
            sectionEnd = i + 1;
        }
    }
    if (!done) {
        if (sectionSeen) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), entry);
        } else {
            if (!lines.empty() && !TrimBlanks(lines.back()).empty()) lines.emplace_back();
            lines.push_back("[" + std::string(section) + "]");
            lines.push_back(entry);
        }
    }

    std::string temporary = path_ + ".new";
    {
        UniqueFile out = OpenFile(temporary, "wb");
        if (!out) return false;
        bool ok = true;
        for (const std::string& line : lines) {
            ok = ok && std::fwrite(line.data(), 1, line.size(), out.get()) == line.size() &&
                 std::fputc('\n', out.get()) != EOF;
        }
        ok = ok && std::fflush(out.get()) == 0;
        if (!ok) {
            out.reset();
            DeleteFileAt(temporary);
            return false;
        }
    }
    if (!ReplaceFileWith(temporary, path_)) {
        DeleteFileAt(temporary);
        return false;
    }
    lines_ = std::move(lines);
    return true;
}

}  // namespace tessory
