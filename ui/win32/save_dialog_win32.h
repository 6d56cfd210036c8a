#pragma once
// The save dialog of listings and the confirmation after a listing was saved.
#include <windows.h>

#include <optional>
#include <string>

namespace tessory::ui {

// Asks for an HTML file name, starting in the program folder; nothing when cancelled or failed.
std::optional<std::string> AskSaveHtmlPath(HWND owner);
// Replaces the file's whole content with the markup, without byte-order mark: in the system's ANSI
// code page when it holds every character exactly, otherwise in UTF-8 with a declaration of that
// character set in the head (added when the markup has none). False on failure.
bool WriteDocumentFile(const std::string& path, const std::wstring& markup);
// "Listing was saved to specified file successfully." titled "Saved".
void ShowSavedMessage(HWND owner);

}  // namespace tessory::ui
