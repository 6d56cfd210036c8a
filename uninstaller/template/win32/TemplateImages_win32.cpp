#include <string>

#include "Bmp.h"
#include "TemplateWindow_win32.h"

namespace corvel::tpl {

namespace {

bool FindImage(const TemplateWindow& w, int32_t key, corvel::ByteSpan& span) {
  if (!w.images) return false;
  span = w.images->find(key);
  return !span.empty();
}

// Writes the bytes to a file that did not exist before; the path is returned through `path`.
bool WriteNewFile(const corvel::ByteSpan& bytes, const char* extension, std::string& path) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    path = UniqueTempFile(extension);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data, static_cast<DWORD>(bytes.size), &written, nullptr);
    CloseHandle(file);
    if (ok && written == bytes.size) return true;
    DeleteFileA(path.c_str());
    return false;
  }
  return false;
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
  if (image && width > 0 && height > 0 && (width != bmp.width || height != imageHeight)) {
    HBITMAP stretched = CreateCompatibleBitmap(screen, width, height);
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    bool ok = stretched && from && to;
    if (ok) {
      HGDIOBJ oldFrom = SelectObject(from, image);
      HGDIOBJ oldTo = SelectObject(to, stretched);
      SetStretchBltMode(to, COLORONCOLOR);
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
  if (!FindImage(w, key, span) || !IcoLooksSound(span.data, span.size)) return nullptr;
  std::string path;
  if (!WriteNewFile(span, ".ico", path)) return nullptr;
  HICON icon = static_cast<HICON>(LoadImageA(nullptr, path.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
  DeleteFileA(path.c_str());
  return icon;
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
