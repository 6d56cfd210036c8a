// Opens the settings dialog on one tab page for a screenshot: settings_dialog_shot.exe PAGE
// [SECONDS]. The dialog cancels itself after SECONDS (default 5), so it writes nothing.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <thread>

#include "settings/dialog/win32/settings_dialog_ids.h"
#include "settings/dialog/win32/settings_dialog_win32.h"
#include "settings/win32/registry_store_win32.h"

int main(int argc, char** argv) {
  const int page = argc > 1 ? std::atoi(argv[1]) : 0;
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 5;
  std::thread closer;
  tessory::RegistryStore store;
  tessory::InstallSettingsStore(&store);
  tessory::settings::SettingsDialogServices services;
  services.onOpen = [&](HWND dialog) {
    closer = std::thread([dialog, seconds] {
      Sleep(static_cast<DWORD>(seconds) * 1000);
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    HWND tab = GetDlgItem(dialog, IDC_SSTAB1);
    SendMessageW(tab, TCM_SETCURSEL, page, 0);
    NMHDR change{tab, IDC_SSTAB1, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(dialog, WM_NOTIFY, IDC_SSTAB1, reinterpret_cast<LPARAM>(&change));
    // As after a click on the tab: the tab control has the focus, not the page's first control.
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(tab), TRUE);
  };
  tessory::settings::ShowSettingsDialog(nullptr, services);
  if (closer.joinable()) closer.join();
  tessory::InstallSettingsStore(nullptr);
  return 0;
}
