#include <windows.h>
#include <shlobj.h>

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
  wchar_t path[MAX_PATH] = {};
  const bool converted = list && SHGetPathFromIDListW(list, path);
  CoTaskMemFree(list);
  return converted ? Narrow(path) : std::string();
}

}  // namespace tessory::ui
