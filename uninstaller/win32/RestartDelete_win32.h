#pragma once
#include <windows.h>

#include <string>

#include "Removal.h"

namespace corvel {

// Deletes the file when the computer next starts: a delayed move on the NT family, otherwise
// a "NUL=" line in wininit.ini. NT never reads wininit.ini, so there a refused delayed move
// is simply a failure. False when the deletion could not be arranged (also for a wininit.ini
// that exists but cannot be read in full, which is then left untouched).
bool deleteAtRestart(const std::string& path);

// Moves `from` over `to` in one step (MoveFileEx where the system has it). Also used to put a
// rewritten wininit.ini in place.
bool replaceFileAtOnce(const char* from, const char* to);

// The delayed-move request: MoveFileExW on the NT family, MoveFileExA on 9x; `to` empty
// deletes. Tests put a refusing one in. Null restores it.
using DelayedMoveFunction = bool (*)(const std::string& from, const std::string& to, DWORD flags);
void setDelayedMoveFunction(DelayedMoveFunction fn);
DelayedMoveFunction delayedMoveFunction();

// Where wininit.ini is looked for (GetWindowsDirectoryA); tests put a folder of their own in.
using WindowsFolderFunction = UINT(WINAPI*)(LPSTR buffer, UINT size);
void setWindowsFolderFunction(WindowsFolderFunction fn);

class Win32RestartScheduler : public RestartScheduler {
public:
    bool deleteAtRestart(const std::string& path) override { return corvel::deleteAtRestart(path); }
};

}  // namespace corvel
