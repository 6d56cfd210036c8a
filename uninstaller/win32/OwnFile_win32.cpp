#include "OwnFile_win32.h"

#include <vector>

#include "RestartDelete_win32.h"
#include "Text_win32.h"

namespace corvel {

namespace {
std::wstring ansiToWide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}
}  // namespace

std::wstring ownModulePath() {
    if (!ntFamily()) {
        char path[MAX_PATH + 1] = {};
        const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
        return n <= MAX_PATH ? ansiToWide(std::string(path, n)) : std::wstring();
    }
    // Long enough for any path the system can start a program from.
    std::vector<wchar_t> path(32768);
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return n < path.size() ? std::wstring(path.data(), n) : std::wstring();
}

HANDLE openForReading(const std::wstring& path) {
    if (!ntFamily())
        return CreateFileA(wideToAnsi(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool moveFile(const std::wstring& from, const std::wstring& to) {
    if (!ntFamily()) return MoveFileA(wideToAnsi(from).c_str(), wideToAnsi(to).c_str()) != 0;
    return MoveFileW(from.c_str(), to.c_str()) != 0;
}

void deleteFileAnyAttributes(const std::wstring& path) {
    if (!ntFamily()) {
        SetFileAttributesA(wideToAnsi(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(wideToAnsi(path).c_str());
        return;
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

std::wstring newTempFileName() {
    if (!ntFamily()) {
        char temp[MAX_PATH + 1] = {}, name[MAX_PATH + 1] = {};
        const DWORD n = GetTempPathA(MAX_PATH, temp);
        if (n == 0 || n > MAX_PATH || !GetTempFileNameA(temp, "uni", 0, name)) return std::wstring();
        return ansiToWide(name);
    }
    wchar_t temp[MAX_PATH + 1] = {}, name[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH, temp);
    if (n == 0 || n > MAX_PATH || !GetTempFileNameW(temp, L"uni", 0, name)) return std::wstring();
    return name;
}

std::wstring windowsFolder() {
    if (!ntFamily()) {
        char windows[MAX_PATH + 1] = {};
        const UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
        return n > 0 && n <= MAX_PATH ? ansiToWide(windows) : std::wstring();
    }
    wchar_t windows[MAX_PATH + 1] = {};
    const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
    return n > 0 && n <= MAX_PATH ? std::wstring(windows, n) : std::wstring();
}

bool deleteAtRestart(const std::wstring& path) {
    // wininit.ini, on the 9x family, takes ANSI short paths anyway.
    if (!ntFamily()) return deleteAtRestart(wideToAnsi(path));
    return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

std::wstring upperCased(std::wstring text) {
    if (!text.empty()) CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace corvel
