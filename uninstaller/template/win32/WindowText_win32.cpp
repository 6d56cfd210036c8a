#include "WindowText_win32.h"

#include <vector>

#include "Utf8.h"

namespace corvel::tpl {

bool IsNtFamily() {
  static const bool nt = (GetVersion() & 0x80000000u) == 0;
  return nt;
}

std::wstring Utf8ToWide(const std::string& text) {
  std::u16string u = corvel::utf8ToUtf16(text);
  return std::wstring(u.begin(), u.end());
}

std::string Utf8ToAnsi(const std::string& text) {
  std::wstring wide = Utf8ToWide(text);
  if (wide.empty()) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
  return out;
}

void SetWindowTextUtf8(HWND window, const std::string& text) {
  if (IsNtFamily())
    SetWindowTextW(window, Utf8ToWide(text).c_str());
  else
    SetWindowTextA(window, Utf8ToAnsi(text).c_str());
}

std::string WindowTextUtf8(HWND window, int maxChars) {
  std::u16string u;
  if (IsNtFamily()) {
    std::vector<wchar_t> buffer(static_cast<size_t>(maxChars) + 1, L'\0');
    int n = GetWindowTextW(window, buffer.data(), maxChars + 1);
    u.assign(buffer.begin(), buffer.begin() + (n > 0 ? n : 0));
  } else {
    std::vector<char> buffer(static_cast<size_t>(maxChars) + 1, '\0');
    int n = GetWindowTextA(window, buffer.data(), maxChars + 1);
    if (n > 0) {
      int w = MultiByteToWideChar(CP_ACP, 0, buffer.data(), n, nullptr, 0);
      std::vector<wchar_t> wide(static_cast<size_t>(w > 0 ? w : 0));
      if (w > 0) MultiByteToWideChar(CP_ACP, 0, buffer.data(), n, wide.data(), w);
      u.assign(wide.begin(), wide.end());
    }
  }
  return corvel::utf16ToUtf8(u);
}

}  // namespace corvel::tpl
