#include "RestartDelete_win32.h"

#include <windows.h>

#include "Wininit.h"

namespace corvel {

bool deleteAtRestart(const std::string& path) {
    if (MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return true;
    char windows[MAX_PATH + 16] = {};
    const UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    std::string ini(windows);
    if (ini.back() != '\\') ini += '\\';
    ini += "wininit.ini";
    char shortPath[MAX_PATH + 1] = {};
    const DWORD s = GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    const std::string entry = s > 0 && s <= MAX_PATH ? std::string(shortPath) : path;
    const bool exists = GetFileAttributesA(ini.c_str()) != INVALID_FILE_ATTRIBUTES;
    return scheduleInWininit(ini.c_str(), exists, TextBuffer(entry));
}

}  // namespace corvel
