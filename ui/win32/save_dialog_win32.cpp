#include "save_dialog_win32.h"

#include <commdlg.h>

#include <algorithm>
#include <cctype>

#include "folder_verb_win32.h"
#include "platform/file_io.h"
#include "platform/win32/wide_text_win32.h"

namespace tessory::ui {

namespace {

constexpr wchar_t kFilter[] = L"HTML Documents\0*.html\0All Files\0*.*\0";
constexpr const char* kSavedText = "Listing was saved to specified file successfully.";
constexpr const char* kSavedTitle = "Saved";
constexpr const char* kUtf8Declaration = "<meta charset=\"utf-8\">";

// The program folder as the runtime reports it: no trailing backslash except at a drive root.
std::wstring InitialFolder() {
  std::wstring folder = Widen(ProgramFolder());
  if (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The browser's markup as UTF-8 that says so: a declaration right after the head's start tag
// unless the head already names a character set.
std::string DeclaredUtf8(const std::string& markup) {
  const std::string lower = Lower(markup);
  const std::size_t headEnd = lower.find("</head>");
  if (lower.substr(0, headEnd).find("charset") != std::string::npos) return markup;
  const std::size_t head = lower.find("<head");
  const std::size_t at = head == std::string::npos ? 0 : lower.find('>', head);
  const std::size_t insert = at == std::string::npos || head == std::string::npos ? 0 : at + 1;
  return markup.substr(0, insert) + kUtf8Declaration + markup.substr(insert);
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

bool WriteDocumentFile(const std::string& path, const std::wstring& markup) {
  const std::string utf8 = Narrow(markup);
  std::string bytes;
  if (!ToFileTextExactly(utf8, bytes)) bytes = DeclaredUtf8(utf8);
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
