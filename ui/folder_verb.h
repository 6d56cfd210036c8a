#pragma once
// Portable rules of the folder context-menu verb and the registry paths it uses.
#include <cstdint>
#include <string>

namespace tessory::ui {

// The verb is registered per user (a standard user cannot add keys to the machine-wide classes);
// the merged view below HKCR is what the shell reads and what the test for the verb reads.
inline constexpr const char* kVerbKeyPath = "HKCR\\Folder\\shell\\Print listing with Tessory";
inline constexpr const char* kUserVerbKeyPath = "HKCU\\Software\\Classes\\Folder\\shell\\Print listing with Tessory";
inline constexpr const char* kVerbCommandKey = "Folder\\shell\\Print listing with Tessory\\command";
inline constexpr const char* kUserVerbCommandKey = "Software\\Classes\\Folder\\shell\\Print listing with Tessory\\command";
inline constexpr std::uint32_t kClassesRoot = 0x80000000u;
inline constexpr std::uint32_t kCurrentUser = 0x80000001u;

// The root key code named before the first backslash ("HKCR" or "HKCU"); 0 for anything else.
std::uint32_t RegistryRootOf(const std::string& prefixedPath);
// The text after the first backslash, or the whole text when there is none.
std::string RegistrySubPathOf(const std::string& prefixedPath);

// 1 for true, 0 otherwise: how check marks and options are stored.
std::int16_t FlagFromBoolean(bool value);

// The folder with exactly one trailing backslash (a drive root keeps its own).
std::string WithTrailingBackslash(const std::string& folder);

// The verb's command line, both parts quoted so that a program folder with blanks cannot start
// another program: "<program folder><executable name>.exe" "%1".
std::string FolderVerbCommand(const std::string& programFolder, const std::string& exeName);
// True when a stored command line names this copy of the program, ignoring letter case.
bool FolderVerbNamesProgram(const std::string& stored, const std::string& programFolder,
                            const std::string& exeName);

}  // namespace tessory::ui
