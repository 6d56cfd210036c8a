#pragma once
// frmSettings: the modal settings dialog of Tessory.exe.
#include <windows.h>

#include <cstdint>
#include <functional>

#include "settings/dialog/settings_form.h"
#include "settings/settings_store.h"

namespace tessory::settings {

// The folder verb as the dialog sees it.
class FolderVerbAccess {
 public:
  virtual ~FolderVerbAccess() = default;
  virtual bool IsFolderVerbRegistered() = 0;
  virtual void SetFolderVerb(std::int16_t mode) = 0;
};

// The colour and font dialogs; false when the user cancelled or the dialog failed.
class StyleDialogs {
 public:
  virtual ~StyleDialogs() = default;
  virtual bool ChooseColour(HWND owner, std::uint32_t& colour) = 0;
  virtual bool ChooseFontFor(HWND owner, FontChoice& font) = 0;
};

// The real ones: the folder verb below HKEY_CLASSES_ROOT and the common dialogs.
FolderVerbAccess& SystemFolderVerb();
StyleDialogs& CommonStyleDialogs();

struct SettingsDialogServices {
  SettingsStore* store = nullptr;          // nullptr: the process's store
  FolderVerbAccess* folderVerb = nullptr;  // nullptr: SystemFolderVerb()
  StyleDialogs* styleDialogs = nullptr;    // nullptr: CommonStyleDialogs()
  std::function<void(HWND)> onOpen;        // called once the dialog is filled, before it shows
};

// Shows the dialog modally; IDOK after the settings were saved, IDCANCEL when nothing was written,
// -1 when the dialog could not be created.
INT_PTR ShowSettingsDialog(HWND owner);
INT_PTR ShowSettingsDialog(HWND owner, const SettingsDialogServices& services);

// What the open dialog shows, as SaveSettings would take it; safe to call from any thread.
SettingsForm ReadSettingsDialog(HWND dialog);

}  // namespace tessory::settings
