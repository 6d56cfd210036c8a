#pragma once
// The closing actions: the restart question when files wait for a restart, then quit.
#include <windows.h>

#include <string>

namespace corvel {

// Asks the system to restart. Replaceable so that tests never shut anything down.
using RestartFunction = bool (*)();
bool restartComputer();
void setRestartFunction(RestartFunction fn);

// When `restartNeeded` is set: clears it and asks `question` (Yes/No, owned by `owner`);
// Yes restarts. Then posts the quit message with code 1.
void runClosingActions(HWND owner, bool& restartNeeded, const std::string& questionUtf8, const std::string& captionUtf8);

}  // namespace corvel
