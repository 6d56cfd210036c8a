#pragma once
// Toolbars whose buttons carry a caption and a 16x16 picture from a strip bitmap.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace tessory::ui {

// One button: its caption and its picture's index in the strip; an empty caption is a separator.
struct ToolbarButton {
  const wchar_t* caption;
  int picture;
};

// A toolbar across the top of parent; button i gets the command firstCommand + i.
HWND CreatePictureToolbar(HWND parent, int id, HIMAGELIST pictures, const std::vector<ToolbarButton>& buttons,
                          int firstCommand);
// The 16x16 pictures of a strip bitmap resource, scaled smoothly to the screen's DPI; magenta is transparent.
HIMAGELIST LoadPictureStrip(HINSTANCE instance, int bitmapId);
// One picture of a strip bitmap resource, scaled as the toolbar's, as a 32-bit bitmap whose magenta pixels are fully
// transparent, for menu items; nullptr when the strip has no such picture.
HBITMAP LoadMenuPicture(HINSTANCE instance, int bitmapId, int picture);
// The caption of the button with the given command; "" when there is none.
std::string ToolbarButtonCaption(HWND toolbar, int command);

}  // namespace tessory::ui
