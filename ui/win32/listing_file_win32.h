#pragma once
// Where a run writes the temporary listing file, and what the user is told when it cannot.
#include <string>

namespace tessory::ui {

// The program folder's file of that name when a new file can be made there; otherwise the same
// name in the per-user folder %LOCALAPPDATA%\Tessory (made when missing), since a standard user
// may not write into a program installed under Program Files.
std::string ListingFilePath(const std::string& fileName);

// The message for a listing that could not be written: the file and the system's reason.
std::wstring WriteFailureText(const std::string& path, int error);

}  // namespace tessory::ui
