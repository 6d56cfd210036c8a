#pragma once
// The uninstaller's own file, by its UTF-16 path: a folder whose name has characters outside
// the ANSI code page must not keep the program from reading its record, moving itself or
// scheduling its deletion. The 9x family has only the ANSI functions; there the path goes
// through the ANSI code page.
#include <windows.h>

#include <string>

namespace corvel {

std::wstring ownModulePath();
HANDLE openForReading(const std::wstring& path);
bool moveFile(const std::wstring& from, const std::wstring& to);
void deleteFileAnyAttributes(const std::wstring& path);
// A new, empty file "uni....tmp" in the user's temporary folder; empty when none could be made.
std::wstring newTempFileName();
std::wstring windowsFolder();
bool deleteAtRestart(const std::wstring& path);
// Upper-cased as the system compares file names.
std::wstring upperCased(std::wstring text);

}  // namespace corvel
