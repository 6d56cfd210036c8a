#pragma once
// frmAbout: the modeless about box, and the start of the system information program.
#include <windows.h>

#include <string>

namespace tessory::ui {

// Shows the about box; a second request brings the open box forward instead of a second one.
void ShowAboutBox(HINSTANCE instance, HWND owner);
// The open about box, or nullptr; the message loop routes its keyboard input.
HWND AboutBoxWindow();

// Reads one value: REG_SZ as its text, REG_DWORD in decimal, any other type leaves keyVal as it was.
// False (and keyVal empty) when the key or the value cannot be read.
bool GetKeyValue(HKEY keyRoot, const std::string& keyName, const std::string& subKeyRef, std::string& keyVal);
// Starts the system information program, or says that it is unavailable.
void StartSysInfo(HWND owner);

// "Version major.minor.revision" from the running program's version resource; "" when it has none.
std::string ProgramVersionText();

}  // namespace tessory::ui
