#include "Closing_win32.h"

#include "Text_win32.h"

namespace corvel {

namespace {
RestartFunction g_restart = &restartComputer;
}

bool restartComputer() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    const bool found = LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid) != 0;
    if (found) AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    CloseHandle(token);
    return found && ExitWindowsEx(EWX_REBOOT, 0) != 0;
}

void setRestartFunction(RestartFunction fn) { g_restart = fn ? fn : &restartComputer; }

void runClosingActions(HWND owner, bool& restartNeeded, const std::string& questionUtf8, const std::string& captionUtf8) {
    if (restartNeeded) {
        restartNeeded = false;
        if (messageBoxUtf8(owner, questionUtf8, captionUtf8, MB_YESNO) == IDYES) g_restart();
    }
    PostQuitMessage(1);
}

}  // namespace corvel
