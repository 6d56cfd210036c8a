#include "toolbar_win32.h"

#include <algorithm>
#include <cstdint>

#include "../picture_scale.h"
#include "platform/win32/wide_text_win32.h"

namespace tessory::ui {

namespace {

// A menu picture keeps a few pixels of menu colour to its right, between it and the caption.
constexpr int kMenuPictureGap = 4;
constexpr int kDesignPicture = 16;

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// The strip's pictures, each scaled smoothly to size x size, side by side: premultiplied ARGB
// with magenta fully clear. Empty when the resource cannot be read.
std::vector<std::uint32_t> ScaledStrip(HINSTANCE instance, int bitmapId, int size, int& count) {
  count = 0;
  HBITMAP strip = static_cast<HBITMAP>(
      LoadImageW(instance, MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!strip) return {};
  BITMAP info{};
  GetObjectW(strip, sizeof info, &info);
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = info.bmWidth;
  format.bmiHeader.biHeight = -info.bmHeight;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(info.bmWidth) * info.bmHeight);
  HDC screen = GetDC(nullptr);
  const bool read = info.bmHeight >= kDesignPicture &&
                    GetDIBits(screen, strip, 0, info.bmHeight, pixels.data(), &format, DIB_RGB_COLORS) != 0;
  ReleaseDC(nullptr, screen);
  DeleteObject(strip);
  if (!read) return {};
  count = info.bmWidth / kDesignPicture;
  std::vector<std::uint32_t> scaled(static_cast<std::size_t>(count) * size * size);
  std::vector<std::uint32_t> tile(kDesignPicture * kDesignPicture);
  for (int picture = 0; picture < count; ++picture) {
    for (int y = 0; y < kDesignPicture; ++y)
      for (int x = 0; x < kDesignPicture; ++x) {
        const std::uint32_t rgb = pixels[static_cast<std::size_t>(y) * info.bmWidth + picture * kDesignPicture + x] & 0xFFFFFF;
        tile[y * kDesignPicture + x] = rgb == 0xFF00FF ? 0 : (0xFF000000 | rgb);
      }
    const std::vector<std::uint32_t> big = ScalePixels(tile, kDesignPicture, kDesignPicture, size, size);
    for (int y = 0; y < size; ++y)
      std::copy_n(big.begin() + static_cast<std::ptrdiff_t>(y) * size, size,
                  scaled.begin() + static_cast<std::ptrdiff_t>(y) * count * size + picture * size);
  }
  return scaled;
}

// A 32-bit top-down bitmap holding the pixels.
HBITMAP BitmapOf(const std::vector<std::uint32_t>& pixels, int width, int height) {
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) std::copy(pixels.begin(), pixels.end(), static_cast<std::uint32_t*>(bits));
  return bitmap;
}

}  // namespace

HIMAGELIST LoadPictureStrip(HINSTANCE instance, int bitmapId) {
  const int size = PictureSize(ScreenDpi());
  int count = 0;
  const std::vector<std::uint32_t> strip = ScaledStrip(instance, bitmapId, size, count);
  if (count == 0) return nullptr;
  HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32, count, 0);
  HBITMAP bitmap = BitmapOf(strip, count * size, size);
  if (list && bitmap) ImageList_Add(list, bitmap, nullptr);
  if (bitmap) DeleteObject(bitmap);
  return list;
}

HBITMAP LoadMenuPicture(HINSTANCE instance, int bitmapId, int picture) {
  const int dpi = ScreenDpi();
  const int size = PictureSize(dpi);
  int count = 0;
  const std::vector<std::uint32_t> strip = ScaledStrip(instance, bitmapId, size, count);
  if (picture < 0 || picture >= count) return nullptr;
  const int width = size + MulDiv(kMenuPictureGap, dpi, 96);
  const COLORREF menu = GetSysColor(COLOR_MENU);
  const std::uint32_t gap = 0xFF000000 | (GetRValue(menu) << 16) | (GetGValue(menu) << 8) | GetBValue(menu);
  std::vector<std::uint32_t> tile(static_cast<std::size_t>(width) * size, gap);
  for (int y = 0; y < size; ++y)
    std::copy_n(strip.begin() + static_cast<std::ptrdiff_t>(y) * count * size + picture * size, size,
                tile.begin() + static_cast<std::ptrdiff_t>(y) * width);
  return BitmapOf(tile, width, size);
}

HWND CreatePictureToolbar(HWND parent, int id, HIMAGELIST pictures, const std::vector<ToolbarButton>& buttons,
                          int firstCommand) {
  HWND toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                                 WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0, 0, 0,
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (!toolbar) return nullptr;
  SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(pictures));
  std::vector<TBBUTTON> items;
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    TBBUTTON b{};
    b.idCommand = firstCommand + static_cast<int>(i);
    if (buttons[i].caption[0] == L'\0') {
      b.fsStyle = BTNS_SEP;
      b.iBitmap = MulDiv(6, ScreenDpi(), 96);  // a separator's width
    } else {
      b.fsStyle = BTNS_BUTTON;
      b.fsState = TBSTATE_ENABLED;
      b.iBitmap = buttons[i].picture;
      b.iString = reinterpret_cast<INT_PTR>(buttons[i].caption);
    }
    items.push_back(b);
  }
  SendMessageW(toolbar, TB_ADDBUTTONSW, items.size(), reinterpret_cast<LPARAM>(items.data()));
  SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
  return toolbar;
}

std::string ToolbarButtonCaption(HWND toolbar, int command) {
  const LRESULT length = SendMessageW(toolbar, TB_GETBUTTONTEXTW, command, 0);
  if (length <= 0) return std::string();
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(toolbar, TB_GETBUTTONTEXTW, command, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return Narrow(text);
}

}  // namespace tessory::ui
