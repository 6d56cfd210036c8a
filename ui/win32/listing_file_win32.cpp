#include "listing_file_win32.h"

#include <windows.h>
#include <shlobj.h>

#include "folder_verb_win32.h"
#include "platform/file_io.h"
#include "platform/win32/wide_text_win32.h"

namespace tessory::ui {

namespace {

constexpr const wchar_t* kPerUserFolderName = L"Tessory";

// A run also makes "<file>.tmp" beside the file, so that name is the one tried; it vanishes at once.
bool FolderTakesNewFiles(const std::wstring& filePath) {
  HANDLE probe = CreateFileW((filePath + L".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return false;
  CloseHandle(probe);
  return true;
}

std::wstring LocalAppData() {
  wchar_t buffer[MAX_PATH * 4] = {};
  const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, static_cast<DWORD>(std::size(buffer)));
  if (n > 0 && n < std::size(buffer)) return buffer;
  wchar_t known[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, known))) return known;
  return std::wstring();
}

}  // namespace

std::string ListingFilePath(const std::string& fileName) {
  const std::string inProgramFolder = ProgramFolder() + fileName;
  if (FolderTakesNewFiles(Widen(inProgramFolder))) return inProgramFolder;
  std::wstring perUser = LocalAppData();
  if (perUser.empty()) return inProgramFolder;
  if (perUser.back() != L'\\') perUser += L'\\';
  perUser += kPerUserFolderName;
  if (!CreateDirectoryW(perUser.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return inProgramFolder;
  return Narrow(perUser) + "\\" + fileName;
}

std::wstring WriteFailureText(const std::string& path, int error) {
  return L"The listing could not be written to\r\n" + Widen(path) + L"\r\n" + Widen(FileErrorText(error));
}

}  // namespace tessory::ui
