#pragma once
// UTF-8 texts on windows: the wide functions on the NT family, the ANSI code page on 9x.

#include <windows.h>

#include <string>

namespace corvel::tpl {

// Decided once, from the system's version.
bool IsNtFamily();

void SetWindowTextUtf8(HWND window, const std::string& text);
// At most `maxChars` characters of the window's text, as UTF-8.
std::string WindowTextUtf8(HWND window, int maxChars);
// The text in the form the 9x family's ANSI functions take.
std::string Utf8ToAnsi(const std::string& text);
std::wstring Utf8ToWide(const std::string& text);

}  // namespace corvel::tpl
