#include "save_dialog_win32.h"

#include <commdlg.h>

#include "folder_verb_win32.h"
#include "platform/win32/wide_text_win32.h"

namespace tessory::ui {

namespace {

constexpr wchar_t kFilter[] = L"HTML Documents\0*.html\0All Files\0*.*\0";
constexpr const char* kSavedText = "Listing was saved to specified file successfully.";
constexpr const char* kSavedTitle = "Saved";

// The program folder as the runtime reports it: no trailing backslash except at a drive root.
std::wstring InitialFolder() {
  std::wstring folder = Widen(ProgramFolder());
  if (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

}  // namespace

std::optional<std::string> AskSaveHtmlPath(HWND owner) {
  wchar_t fileName[32768] = {};
  const std::wstring initialFolder = InitialFolder();
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = fileName;
  dialog.nMaxFile = static_cast<DWORD>(std::size(fileName));
  dialog.lpstrInitialDir = initialFolder.c_str();
  dialog.lpstrDefExt = L"html";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_CREATEPROMPT | OFN_EXPLORER;
  if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  return Narrow(fileName);
}

bool WriteAnsiTextFile(const std::string& path, const std::wstring& text) {
  std::string bytes;
  if (!text.empty()) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    if (size <= 0) return false;
    bytes.resize(static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  }
  HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(file);
  return ok;
}

void ShowSavedMessage(HWND owner) {
  MessageBoxW(owner, Widen(kSavedText).c_str(), Widen(kSavedTitle).c_str(), MB_OK | MB_ICONINFORMATION);
}

}  // namespace tessory::ui
