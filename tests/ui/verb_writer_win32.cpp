// Adds the folder verb for wherever this copy lies; exits 0 when it then tests as registered.
#include "folder_verb_win32.h"

int main() {
  tessory::ui::SetFolderVerb(1);
  return tessory::ui::IsFolderVerbRegistered() ? 0 : 1;
}
