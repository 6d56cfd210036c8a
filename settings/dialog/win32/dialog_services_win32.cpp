#include <windows.h>
#include <commdlg.h>

#include <cmath>

#include "folder_verb_win32.h"
#include "platform/win32/wide_text_win32.h"
#include "settings_dialog_win32.h"

namespace tessory::settings {
namespace {

// Start from the given colour, open with the custom-colour part expanded.
constexpr DWORD kColourFlags = CC_RGBINIT | CC_FULLOPEN;
// Screen fonts with the effects part that holds the colour; start from the label's font.
constexpr DWORD kFontFlags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
constexpr std::uint32_t kColourMask = 0xFFFFFF;

class CommonDialogs : public StyleDialogs {
 public:
  bool ChooseColour(HWND owner, std::uint32_t& colour) override {
    CHOOSECOLORW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.rgbResult = colour & kColourMask;
    dialog.lpCustColors = customColours_;
    dialog.Flags = kColourFlags;
    if (!ChooseColorW(&dialog)) return false;
    colour = dialog.rgbResult & kColourMask;
    return true;
  }

  bool ChooseFontFor(HWND owner, FontChoice& font) override {
    HDC dc = GetDC(owner);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(owner, dc);
    LOGFONTW logFont{};
    logFont.lfHeight = -static_cast<LONG>(std::lround(font.size * dpi / 72.0));
    logFont.lfWeight = FW_NORMAL;
    logFont.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(logFont.lfFaceName, Widen(font.name).c_str(), LF_FACESIZE);
    CHOOSEFONTW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpLogFont = &logFont;
    dialog.Flags = kFontFlags;
    dialog.rgbColors = font.color & kColourMask;
    if (!ChooseFontW(&dialog)) return false;
    font.name = Narrow(logFont.lfFaceName);
    font.color = dialog.rgbColors & kColourMask;
    font.size = dialog.iPointSize / 10.0;
    return true;
  }

 private:
  // The user's custom colours last for the life of the program, as the colour dialog expects.
  COLORREF customColours_[16] = {};
};

class RegistryFolderVerb : public FolderVerbAccess {
 public:
  bool IsFolderVerbRegistered() override { return ui::IsFolderVerbRegistered(); }
  void SetFolderVerb(std::int16_t mode) override { ui::SetFolderVerb(mode); }
};

}  // namespace

FolderVerbAccess& SystemFolderVerb() {
  static RegistryFolderVerb verb;
  return verb;
}

StyleDialogs& CommonStyleDialogs() {
  static CommonDialogs dialogs;
  return dialogs;
}

}  // namespace tessory::settings
