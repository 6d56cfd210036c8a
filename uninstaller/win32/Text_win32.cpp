#include "Text_win32.h"

#include <vector>

#include "Utf8.h"

namespace corvel {

bool ntFamily() {
    static const bool nt = [] {
        OSVERSIONINFOA info = {};
        info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
#pragma GCC diagnostic pop
    }();
    return nt;
}

std::wstring utf8ToWide(const std::string& text) {
    const std::u16string wide = utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

std::string wideToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::string ansiToUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

std::string utf8ToAnsi(const std::string& text) { return wideToAnsi(utf8ToWide(text)); }

void setWindowTextUtf8(HWND window, const std::string& text) {
    if (ntFamily()) {
        SetWindowTextW(window, utf8ToWide(text).c_str());
    } else {
        SetWindowTextA(window, utf8ToAnsi(text).c_str());
    }
}

std::string windowTextUtf8(HWND window, int maxChars) {
    if (ntFamily()) {
        std::vector<wchar_t> buf(static_cast<size_t>(maxChars) + 1, L'\0');
        const int n = GetWindowTextW(window, buf.data(), maxChars + 1);
        return utf16ToUtf8(std::u16string(buf.begin(), buf.begin() + (n > 0 ? n : 0)));
    }
    std::vector<char> buf(static_cast<size_t>(maxChars) + 1, '\0');
    const int n = GetWindowTextA(window, buf.data(), maxChars + 1);
    return ansiToUtf8(std::string(buf.data(), static_cast<size_t>(n > 0 ? n : 0)));
}

int messageBoxUtf8(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
    if (ntFamily()) return MessageBoxW(owner, utf8ToWide(text).c_str(), utf8ToWide(caption).c_str(), flags);
    return MessageBoxA(owner, utf8ToAnsi(text).c_str(), utf8ToAnsi(caption).c_str(), flags);
}

}  // namespace corvel
