#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "folder_verb_win32.h"
#include "platform/win32/wide_text_win32.h"

namespace tessory::ui {

std::string BrowseForFolder(HWND owner) {
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;
  info.lpszTitle = L"Select directory";
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
  // No MAX_PATH buffer: a folder may lie deeper than that.
  std::vector<wchar_t> path(32768, L'\0');
  const bool converted =
      list && SHGetPathFromIDListEx(list, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
  CoTaskMemFree(list);
  return converted ? Narrow(path.data()) : std::string();
}

}  // namespace tessory::ui
