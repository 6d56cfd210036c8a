#include <windows.h>
#include <shlobj.h>

#include "folder_verb_win32.h"

namespace tessory::ui {

std::string BrowseForFolder(HWND owner) {
  BROWSEINFOA info{};
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;
  info.lpszTitle = "Select directory";
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  PIDLIST_ABSOLUTE list = SHBrowseForFolderA(&info);
  char path[MAX_PATH] = {};
  const bool converted = list && SHGetPathFromIDListA(list, path);
  CoTaskMemFree(list);
  return converted ? std::string(path) : std::string();
}

}  // namespace tessory::ui
