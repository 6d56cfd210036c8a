#pragma once
// The uninstaller's run: read the record from its own file, confirm, remove, and wait for
// the user to close the window. Returns the process exit code.
#include <windows.h>

namespace corvel {

constexpr char kDefaultCaption[] = "Corvel Uninstaller";
constexpr char kCannotRead[] = "Couldn't read uninstallation information. Aborting.";
constexpr char kOutOfMemory[] = "Out of memory. Aborting.";
constexpr char kCorrupt[] = "Uninstallation information corrupt. Aborting.";

int runUninstaller(HINSTANCE instance, const char* commandLine);

}  // namespace corvel
