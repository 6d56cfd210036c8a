#pragma once
// Texts from the record are UTF-8; the system takes wide text on the NT family and the ANSI
// code page on the 9x family. Which one is decided once, at start-up.
#include <windows.h>

#include <string>

namespace corvel {

// Reads the system's version the first time it is asked.
bool ntFamily();

std::wstring utf8ToWide(const std::string& text);
std::string wideToAnsi(const std::wstring& text);
std::string ansiToUtf8(const std::string& text);
std::string utf8ToAnsi(const std::string& text);

void setWindowTextUtf8(HWND window, const std::string& text);
// At most maxChars characters, as UTF-8.
std::string windowTextUtf8(HWND window, int maxChars);
// Returns the button pressed (IDYES, IDNO, IDOK).
int messageBoxUtf8(HWND owner, const std::string& text, const std::string& caption, UINT flags);

}  // namespace corvel
