#include "folder_list_win32.h"

#include <vector>

namespace tessory::ui {

namespace {

std::wstring FullPath(const std::wstring& path) {
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::vector<wchar_t> buffer(needed + 1);
  const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  return n == 0 || n >= buffer.size() ? path : std::wstring(buffer.data(), n);
}

}  // namespace

FolderList::FolderList(std::function<void(const std::wstring&)> onChange) : onChange_(std::move(onChange)) {
  std::vector<wchar_t> buffer(MAX_PATH);
  DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (n >= buffer.size()) {
    buffer.resize(n + 1);
    n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  }
  if (n > 0 && n < buffer.size()) path_.assign(buffer.data(), n);
}

DWORD FolderList::SetPath(const std::wstring& path) {
  const std::wstring full = FullPath(path);
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? ERROR_PATH_NOT_FOUND : error;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_DIRECTORY;
  if (CompareStringOrdinal(full.c_str(), -1, path_.c_str(), -1, TRUE) == CSTR_EQUAL) return ERROR_SUCCESS;
  path_ = full;
  if (onChange_) onChange_(path_);
  return ERROR_SUCCESS;
}

std::wstring DriveCurrentFolder(wchar_t driveLetter) { return FullPath(std::wstring{driveLetter, L':'}); }

bool DriveNotReady(DWORD error) {
  switch (error) {
    case ERROR_NOT_READY:
    case ERROR_NO_MEDIA_IN_DRIVE:
    case ERROR_UNRECOGNIZED_MEDIA:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_INVALID_DRIVE:
    case ERROR_PATH_NOT_FOUND:  // how a letter with nothing behind it answers for its root
      return true;
    default:
      return false;
  }
}

}  // namespace tessory::ui
