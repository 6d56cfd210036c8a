#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "listing/win32/win32_file_system.h"
#include "main_window_win32.h"
#include "settings/win32/registry_store_win32.h"
#include "system_libraries_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  tessory::ui::RestrictDllSearchToSystem32();
  // The web browser control of the preview window needs a single-threaded apartment.
  const HRESULT ole = OleInitialize(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_USEREX_CLASSES |
                                                     ICC_TAB_CLASSES | ICC_DATE_CLASSES | ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&controls);

  tessory::RegistryStore store;
  tessory::InstallSettingsStore(&store);
  tessory::Win32FileSystem fileSystem;
  int exitCode = 0;
  {
    tessory::ui::MainWindow main(instance, fileSystem);
    if (main.Start(GetCommandLineW(), showCommand)) exitCode = main.MessageLoop();
  }
  tessory::InstallSettingsStore(nullptr);
  if (SUCCEEDED(ole)) OleUninitialize();
  return exitCode;
}
