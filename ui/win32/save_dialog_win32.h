#pragma once
// The save dialog of listings and the confirmation after a listing was saved.
#include <windows.h>

#include <optional>
#include <string>

namespace tessory::ui {

// Asks for an HTML file name, starting in the program folder; nothing when cancelled or failed.
std::optional<std::string> AskSaveHtmlPath(HWND owner);
// Replaces the file's whole content with the text in the system's ANSI code page (no byte-order
// mark; characters the code page cannot hold become its default character). False on failure.
bool WriteAnsiTextFile(const std::string& path, const std::wstring& text);
// "Listing was saved to specified file successfully." titled "Saved".
void ShowSavedMessage(HWND owner);

}  // namespace tessory::ui
