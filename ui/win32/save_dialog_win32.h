#pragma once
// The save dialog of listings and the confirmation after a listing was saved.
#include <windows.h>

#include <optional>
#include <string>

namespace tessory::ui {

// Asks for an HTML file name, starting in the program folder; nothing when cancelled or failed.
std::optional<std::string> AskSaveHtmlPath(HWND owner);
// "Listing was saved to specified file successfully." titled "Saved".
void ShowSavedMessage(HWND owner);

}  // namespace tessory::ui
