#include "toolbar_win32.h"

#include "platform/win32/wide_text_win32.h"

namespace tessory::ui {

namespace {

// A menu picture keeps a few pixels of menu colour to its right, between it and the caption.
constexpr int kMenuPictureWidth = 20;

}  // namespace

HIMAGELIST LoadPictureStrip(HINSTANCE instance, int bitmapId) {
  HBITMAP strip = static_cast<HBITMAP>(
      LoadImageW(instance, MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!strip) return nullptr;
  BITMAP info{};
  GetObjectW(strip, sizeof info, &info);
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, info.bmWidth / 16, 0);
  if (list) ImageList_AddMasked(list, strip, RGB(255, 0, 255));
  DeleteObject(strip);
  return list;
}

HBITMAP LoadMenuPicture(HINSTANCE instance, int bitmapId, int picture) {
  HBITMAP strip = static_cast<HBITMAP>(
      LoadImageW(instance, MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!strip) return nullptr;
  BITMAP info{};
  GetObjectW(strip, sizeof info, &info);
  HBITMAP result = nullptr;
  if (picture >= 0 && (picture + 1) * 16 <= info.bmWidth && info.bmHeight >= 16) {
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = info.bmWidth;
    format.bmiHeader.biHeight = -info.bmHeight;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(static_cast<std::size_t>(info.bmWidth) * info.bmHeight);
    HDC screen = GetDC(nullptr);
    const bool read = GetDIBits(screen, strip, 0, info.bmHeight, pixels.data(), &format, DIB_RGB_COLORS) != 0;
    format.bmiHeader.biWidth = kMenuPictureWidth;
    format.bmiHeader.biHeight = -16;
    void* bits = nullptr;
    if (read) result = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (result && bits) {
      auto* tile = static_cast<DWORD*>(bits);
      const COLORREF menu = GetSysColor(COLOR_MENU);
      const DWORD gap = 0xFF000000 | (GetRValue(menu) << 16) | (GetGValue(menu) << 8) | GetBValue(menu);
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < kMenuPictureWidth; ++x) {
          if (x >= 16) {
            tile[y * kMenuPictureWidth + x] = gap;
            continue;
          }
          const DWORD rgb = pixels[static_cast<std::size_t>(y) * info.bmWidth + picture * 16 + x] & 0xFFFFFF;
          // Premultiplied alpha: the transparent colour becomes fully clear, everything else opaque.
          tile[y * kMenuPictureWidth + x] = rgb == 0xFF00FF ? 0 : (0xFF000000 | rgb);
        }
    }
  }
  DeleteObject(strip);
  return result;
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
      b.iBitmap = 6;
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
