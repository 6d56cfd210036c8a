#include "RestartDelete_win32.h"

#include "FileSystem_win32.h"
#include "Text_win32.h"
#include "Wininit.h"

namespace corvel {

namespace {

// The record's paths are ANSI; on the NT family they go to the wide function, so that files in
// folders deeper than MAX_PATH are moved too.
bool requestDelayedMove(const std::string& from, const std::string& to, DWORD flags) {
    if (!ntFamily()) return MoveFileExA(from.c_str(), to.empty() ? nullptr : to.c_str(), flags) != 0;
    return MoveFileExW(longPath(from).c_str(), to.empty() ? nullptr : longPath(to).c_str(), flags) != 0;
}

DelayedMoveFunction g_delayedMove = &requestDelayedMove;
WindowsFolderFunction g_windowsFolder = &GetWindowsDirectoryA;

}  // namespace

void setWindowsFolderFunction(WindowsFolderFunction fn) { g_windowsFolder = fn ? fn : &GetWindowsDirectoryA; }

void setDelayedMoveFunction(DelayedMoveFunction fn) { g_delayedMove = fn ? fn : &requestDelayedMove; }
DelayedMoveFunction delayedMoveFunction() { return g_delayedMove; }

bool replaceFileAtOnce(const char* from, const char* to) {
    if (ntFamily())
        return MoveFileExW(longPath(from).c_str(), longPath(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return false;
    // The 9x family has no replacing rename: the old file steps aside first and comes back
    // when the new one cannot take its place, so one whole file is always there.
    const std::string aside = std::string(to) + ".old";
    DeleteFileA(aside.c_str());
    const bool hadOld = MoveFileA(to, aside.c_str()) != 0;
    if (MoveFileA(from, to)) {
        if (hadOld) DeleteFileA(aside.c_str());
        return true;
    }
    if (hadOld) MoveFileA(aside.c_str(), to);
    return false;
}

bool deleteAtRestart(const std::string& path) {
    if (g_delayedMove(path, std::string(), MOVEFILE_DELAY_UNTIL_REBOOT)) return true;
    if (ntFamily()) return false;
    char windows[MAX_PATH + 16] = {};
    const UINT n = g_windowsFolder(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    std::string ini(windows);
    if (ini.back() != '\\') ini += '\\';
    ini += "wininit.ini";
    char shortPath[MAX_PATH + 1] = {};
    const DWORD s = GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    const std::string entry = s > 0 && s <= MAX_PATH ? std::string(shortPath) : path;
    const bool exists = GetFileAttributesA(ini.c_str()) != INVALID_FILE_ATTRIBUTES;
    return scheduleInWininit(ini.c_str(), exists, TextBuffer(entry), &replaceFileAtOnce);
}

}  // namespace corvel
