#pragma once
// Libraries the uninstaller loads by name come from the system folder only: it may run from
// the temporary folder, where anyone can drop a library of the same name.
#include <windows.h>

namespace corvel {

// Restricts the library search to the system folder (and drops the current directory).
void restrictLibrarySearch();
// comctl32's InitCommonControls, found by its ordinal 17.
void initCommonControls();

// version.dll, loaded from the system folder on first use; false when a function is missing.
// The wide forms are for the NT family, the ANSI ones for 9x.
bool versionInfoSize(const char* path, DWORD& size);
bool versionInfo(const char* path, DWORD size, void* data);
bool versionInfoSize(const wchar_t* path, DWORD& size);
bool versionInfo(const wchar_t* path, DWORD size, void* data);
bool versionQuery(void* data, const char* subBlock, void** value, UINT* length);

}  // namespace corvel
