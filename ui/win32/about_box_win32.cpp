#include "about_box_win32.h"

#include <vector>

#include "../commands.h"
#include "../layout.h"
#include "../res/resource.h"
#include "platform/win32/wide_text_win32.h"
#include "win_handles_win32.h"

namespace tessory::ui {

namespace {

constexpr const char* kProgramTitle = "Tessory";
constexpr const char* kMsinfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kMsinfoValue = "PATH";
constexpr const char* kSharedToolsKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const char* kSharedToolsValue = "MSINFO";
constexpr const char* kMsinfoExe = "\\MSINFO32.EXE";
constexpr const char* kUnavailableText = "System Information Is Unavailable At This Time";

HWND g_about = nullptr;
GdiObject<HFONT> g_titleFont;
GdiObject<HFONT> g_smallFont;

void SetText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextW(dialog, id, Widen(text).c_str());
}

void CentreOnScreen(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  const int left = CentredOrigin(GetSystemMetrics(SM_CXSCREEN), r.right - r.left);
  const int top = CentredOrigin(GetSystemMetrics(SM_CYSCREEN), r.bottom - r.top);
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HFONT DerivedFont(HWND control, int heightPercent, int weight) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
  font.lfHeight = font.lfHeight * heightPercent / 100;
  font.lfWeight = weight;
  return CreateFontIndirectW(&font);
}

void Form_Load(HWND dialog) {
  CentreOnScreen(dialog);
  SetWindowTextW(dialog, Widen(std::string("About ") + kProgramTitle).c_str());
  SetText(dialog, IDC_LBLVERSION, ProgramVersionText());
  SetText(dialog, IDC_LBLTITLE, kProgramTitle);
  g_titleFont.reset(DerivedFont(GetDlgItem(dialog, IDC_LBLTITLE), 150, FW_BOLD));
  SendDlgItemMessageW(dialog, IDC_LBLTITLE, WM_SETFONT, reinterpret_cast<WPARAM>(g_titleFont.get()), FALSE);
  g_smallFont.reset(DerivedFont(GetDlgItem(dialog, IDC_LBLDISCLAIMER), 90, FW_NORMAL));
  SendDlgItemMessageW(dialog, IDC_LBLDISCLAIMER, WM_SETFONT, reinterpret_cast<WPARAM>(g_smallFont.get()), FALSE);
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Form_Load(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
          DestroyWindow(dialog);
          return TRUE;
        case IDC_CMDSYSINFO:
          StartSysInfo(dialog);
          return TRUE;
      }
      break;
    case WM_DESTROY:
      g_about = nullptr;
      return TRUE;
  }
  return FALSE;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool StartProgram(const std::string& path) {
  if (path.empty()) return false;
  std::wstring commandLine = L"\"" + Widen(path) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

HWND AboutBoxWindow() { return g_about; }

void ShowAboutBox(HINSTANCE instance, HWND owner) {
  if (!g_about) g_about = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutProc, 0);
  if (!g_about) return;
  ShowWindow(g_about, SW_SHOW);
  SetForegroundWindow(g_about);
}

bool GetKeyValue(HKEY keyRoot, const std::string& keyName, const std::string& subKeyRef, std::string& keyVal) {
  // Read rights are enough to look the value up, and all a user without administrator rights has.
  UniqueHKey key;
  if (RegOpenKeyExW(keyRoot, Widen(keyName).c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS) {
    keyVal.clear();
    return false;
  }
  std::vector<BYTE> buffer(2048, 0);
  DWORD size = static_cast<DWORD>(buffer.size());
  DWORD type = 0;
  if (RegQueryValueExW(key.get(), Widen(subKeyRef).c_str(), nullptr, &type, buffer.data(), &size) != ERROR_SUCCESS) {
    keyVal.clear();
    return false;
  }
  if (type == REG_SZ) {
    std::wstring text(reinterpret_cast<const wchar_t*>(buffer.data()), size / sizeof(wchar_t));
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    keyVal = Narrow(text);
  } else if (type == REG_DWORD && size >= sizeof(DWORD)) {
    DWORD number = 0;
    memcpy(&number, buffer.data(), sizeof number);
    keyVal = std::to_string(number);
  }
  return true;
}

void StartSysInfo(HWND owner) {
  std::string path;
  if (!GetKeyValue(HKEY_LOCAL_MACHINE, kMsinfoKey, kMsinfoValue, path)) {
    std::string folder;
    if (GetKeyValue(HKEY_LOCAL_MACHINE, kSharedToolsKey, kSharedToolsValue, folder) &&
        FileExists(folder + kMsinfoExe))
      path = folder + kMsinfoExe;
  }
  if (!path.empty() && StartProgram(path)) return;
  MessageBoxW(owner, Widen(kUnavailableText).c_str(), Widen(kProgramTitle).c_str(), MB_OK);
}

std::string ProgramVersionText() {
  wchar_t module[MAX_PATH];
  if (!GetModuleFileNameW(nullptr, module, MAX_PATH)) return std::string();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(module, &ignored);
  if (size == 0) return std::string();
  std::vector<BYTE> data(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!GetFileVersionInfoW(module, 0, size, data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || length < sizeof *info)
    return std::string();
  return VersionText(HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionLS));
}

}  // namespace tessory::ui
