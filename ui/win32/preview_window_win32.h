#pragma once
// frmPreview: the listing document in the platform's web browser control, with Save, Print and Close.
#include <windows.h>

#include <string>

namespace tessory::ui {

inline constexpr const wchar_t* kPreviewWindowClass = L"TessoryPreview";

// Shows documentPath (UTF-8) maximised and returns when the window is closed; owner is disabled meanwhile.
void ShowPreviewModal(HINSTANCE instance, HWND owner, const std::string& documentPath);

}  // namespace tessory::ui
