#pragma once
// Dir1: the hidden folder list. It holds a path and reports every change of it.
#include <windows.h>

#include <functional>
#include <string>

namespace tessory::ui {

class FolderList {
 public:
  explicit FolderList(std::function<void(const std::wstring&)> onChange);
  const std::wstring& Path() const { return path_; }
  // Moves to an existing folder; ERROR_SUCCESS, or the system error of a folder that cannot be
  // reached (path left unchanged). A move to the current folder reports no change.
  DWORD SetPath(const std::wstring& path);

 private:
  std::wstring path_;
  std::function<void(const std::wstring&)> onChange_;
};

// The current folder of a drive: the process's folder on it, or its root.
std::wstring DriveCurrentFolder(wchar_t driveLetter);
// True when a failure to reach a drive's folder means the drive is not ready: no medium in it, a
// device that is not ready, or none behind the letter. Other failures, access denied among them,
// are not the drive's state.
bool DriveNotReady(DWORD error);

}  // namespace tessory::ui
