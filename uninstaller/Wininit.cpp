#include "Wininit.h"

#include <cstdio>
#include <string>

namespace corvel {

namespace {
const char kSection[] = "[Rename]";
}

bool addRenameEntry(TextBuffer& ini, const TextBuffer& shortPath) {
    TextBuffer entry("NUL=");
    entry.append(shortPath);
    int insertAt = -1;
    bool inSection = false;
    int pos = 0;
    while (ini.validPosition(pos)) {
        const TextBuffer line = ini.readLine(&pos, true);
        if (line.equals(kSection, true)) {
            insertAt = pos;
            inSection = true;
        } else if (inSection && line == entry) {
            return false;
        }
    }
    if (insertAt < 0) {
        ini.append("\r\n").append(kSection).append("\r\n");
        insertAt = ini.length();
    } else if (insertAt == ini.length() && ini.str().compare(ini.length() >= 2 ? ini.length() - 2 : 0, 2, "\r\n") != 0) {
        // The section header is the last line and has no line break of its own.
        ini.append("\r\n");
        insertAt = ini.length();
    }
    entry.append("\r\n");
    ini.insert(insertAt, entry.data(), entry.length());
    return true;
}

bool scheduleInWininit(const char* iniPath, bool iniExists, const TextBuffer& shortPath, ReplaceFileFn replace) {
    TextBuffer ini;
    int loaded = iniExists ? ini.loadFile(iniPath) : -3;
    if (iniExists && loaded != 1 && loaded != -2) return false;
    if (!iniExists || loaded == -2 || ini.empty()) {
        ini.assign(kSection).append("\r\nNUL=").append(shortPath);
    } else if (!addRenameEntry(ini, shortPath)) {
        return true;
    }
    const std::string fresh = std::string(iniPath) + ".new";
    if (ini.saveFile(fresh.c_str()) == 1 && replace(fresh.c_str(), iniPath)) return true;
    std::remove(fresh.c_str());
    return false;
}

}  // namespace corvel
