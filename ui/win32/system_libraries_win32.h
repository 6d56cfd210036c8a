#pragma once
// DLLs that the program loads at run time come from System32 only: a DLL of the same name beside
// the program (in a Downloads folder, say) must never be loaded in their place.
#include <windows.h>

namespace tessory::ui {

// Takes the program folder and the current folder out of the DLL search, once at start.
void RestrictDllSearchToSystem32();
// Loads the named library from the system folder by its full path; nullptr on failure.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace tessory::ui
