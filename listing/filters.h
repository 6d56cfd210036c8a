#pragma once
#include <string>

#include "file_system.h"
#include "listing_settings.h"

namespace tessory {

// The folder test on the folder's full path; a malformed pattern that is reached skips the folder.
bool FolderPasses(const std::string& folderPath, const ListingSettings& settings);
// The file test on the file's name, length and modification time; when the test cannot finish
// (a malformed pattern, a bound that does not parse, a length or time that could not be read)
// the file is listed.
bool FilePasses(const FileInfo& file, const ListingSettings& settings);

}  // namespace tessory
