#pragma once
// Where every control of the settings dialog sits, in dialog units.
#include <windows.h>

#include <cstddef>

namespace tessory::settings {

constexpr int kOutsidePages = -1;
constexpr int kPageCount = 4;
extern const wchar_t* const kPageCaptions[kPageCount];

constexpr int kDialogWidth = 340;
constexpr int kDialogHeight = 276;

struct ControlPlacement {
  int page;  // tab page index, or kOutsidePages
  int id;
  const wchar_t* windowClass;
  const wchar_t* caption;
  DWORD style;
  short x, y, width, height;
};

// In creation order, which is also the tab order.
const ControlPlacement* SettingsDialogControls(std::size_t& count);

}  // namespace tessory::settings
