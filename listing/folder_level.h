#pragma once
#include <string_view>

namespace tessory {

// Path steps from the start folder down to folder (0 for the start folder and for any path not
// longer than it), comparing without regard to letter case.
int FolderLevel(std::string_view folder, std::string_view startFolder, std::string_view separators = "\\/");

}  // namespace tessory
