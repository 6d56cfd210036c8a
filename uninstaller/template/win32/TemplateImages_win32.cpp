#include <string>
#include <vector>

#include "Bmp.h"
#include "TemplateWindow_win32.h"

namespace corvel::tpl {

namespace {

bool FindImage(const TemplateWindow& w, int32_t key, corvel::ByteSpan& span) {
  if (!w.images) return false;
  span = w.images->find(key);
  return !span.empty();
}

}  // namespace

HBITMAP LoadTableBitmap(const TemplateWindow& w, int32_t key, int32_t width, int32_t height, int32_t* loadedWidth) {
  corvel::ByteSpan span;
  BmpImage bmp;
  if (!FindImage(w, key, span) || !ParseBmp(span.data, span.size, bmp)) return nullptr;
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bmp.info.data());
  const auto* info = reinterpret_cast<const BITMAPINFO*>(bmp.info.data());
  HDC screen = GetDC(w.hwnd);
  HBITMAP image = CreateDIBitmap(screen, header, CBM_INIT, bmp.pixels, info, DIB_RGB_COLORS);
  int32_t imageHeight = bmp.height < 0 ? -bmp.height : bmp.height;
  int32_t resultWidth = bmp.width;
  if (image && StretchWanted(width, height, bmp.width, imageHeight)) {
    HBITMAP stretched = CreateCompatibleBitmap(screen, width, height);
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    bool ok = stretched && from && to;
    if (ok) {
      HGDIOBJ oldFrom = SelectObject(from, image);
      HGDIOBJ oldTo = SelectObject(to, stretched);
      // Averaged rather than dropped or doubled pixels: marks and banners scaled by 1.25 or
      // 1.5 for the screen stay smooth.
      SetStretchBltMode(to, HALFTONE);
      SetBrushOrgEx(to, 0, 0, nullptr);
      ok = StretchBlt(to, 0, 0, width, height, from, 0, 0, bmp.width, imageHeight, SRCCOPY) != FALSE;
      SelectObject(from, oldFrom);
      SelectObject(to, oldTo);
    }
    if (from) DeleteDC(from);
    if (to) DeleteDC(to);
    if (ok) {
      DeleteObject(image);
      image = stretched;
      resultWidth = width;
    } else if (stretched) {
      DeleteObject(stretched);
    }
  }
  ReleaseDC(w.hwnd, screen);
  if (loadedWidth) *loadedWidth = image ? resultWidth : 0;
  return image;
}

HICON LoadTableIcon(const TemplateWindow& w, int32_t key) {
  corvel::ByteSpan span;
  std::vector<IcoEntry> entries;
  if (!FindImage(w, key, span) || !IcoLooksSound(span.data, span.size, &entries)) return nullptr;
  // The checked bytes go to the icon functions straight from memory: no file another process
  // could swap between the check and the load. The directory is rewritten in the resource
  // form the lookup takes, with entry i as resource i + 1.
  std::vector<uint8_t> directory(6 + 14 * entries.size(), 0);
  directory[2] = 1;
  directory[4] = static_cast<uint8_t>(entries.size());
  directory[5] = static_cast<uint8_t>(entries.size() >> 8);
  for (size_t i = 0; i < entries.size(); ++i) {
    const IcoEntry& e = entries[i];
    uint8_t* p = directory.data() + 6 + 14 * i;
    p[0] = e.width;
    p[1] = e.height;
    p[2] = e.colours;
    p[4] = static_cast<uint8_t>(e.planes);
    p[5] = static_cast<uint8_t>(e.planes >> 8);
    p[6] = static_cast<uint8_t>(e.bitCount);
    p[7] = static_cast<uint8_t>(e.bitCount >> 8);
    for (int k = 0; k < 4; ++k) p[8 + k] = static_cast<uint8_t>(e.bytes >> (8 * k));
    p[12] = static_cast<uint8_t>((i + 1) & 0xFF);
    p[13] = static_cast<uint8_t>((i + 1) >> 8);
  }
  // The default icon size, as loading a file with the default-size flag gives it.
  int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
  int id = LookupIconIdFromDirectoryEx(directory.data(), TRUE, cx, cy, LR_DEFAULTCOLOR);
  if (id < 1 || static_cast<size_t>(id) > entries.size()) return nullptr;
  const IcoEntry& chosen = entries[static_cast<size_t>(id) - 1];
  std::vector<uint8_t> image(span.data + chosen.offset, span.data + chosen.offset + chosen.bytes);
  constexpr DWORD kIconFormatVersion = 0x00030000;
  return CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), TRUE, kIconFormatVersion, cx,
                                  cy, LR_DEFAULTCOLOR);
}

std::string UniqueTempFile(const char* extension) {
  char folder[MAX_PATH + 1] = {};
  DWORD n = GetTempPathA(MAX_PATH, folder);
  std::string base = (n == 0 || n > MAX_PATH) ? std::string("C:\\") : std::string(folder, n);
  if (base.back() != '\\') base += '\\';
  for (DWORD number = GetTickCount();; ++number) {
    std::string path = base + "zqw" + std::to_string(number) + extension;
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return path;
  }
}

}  // namespace corvel::tpl
