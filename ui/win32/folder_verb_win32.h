#pragma once
// The folder context-menu verb in the registry, the program folder and the folder browser.
// Texts are UTF-8.
#include <windows.h>

#include <cstdint>
#include <string>

namespace tessory::ui {

// Mode 1 adds the verb for this copy of the program, 0 removes it, anything else does nothing.
void SetFolderVerb(std::int16_t mode);
// True when the verb's command line names this copy of the program (letter case ignored).
bool IsFolderVerbRegistered();
// Removes a key given with a root prefix ("HKCR\...") and everything below it; 0 on success,
// otherwise the first failing registry status.
LONG DeleteRegistryTree(const std::string& prefixedPath);
// The root key named by the prefix, or 0 when the prefix is unknown.
HKEY RegistryRootKeyOf(const std::string& prefixedPath);

// The running executable's folder, ending in "\".
std::string ProgramFolder();
// The running executable's file name without folder and without ".exe".
std::string ProgramExeName();

// The shell's folder browser owned by the window; the chosen file-system folder or empty text.
std::string BrowseForFolder(HWND owner);

}  // namespace tessory::ui
