#include "folder_level.h"

namespace tessory {

int FolderLevel(std::string_view folder, std::string_view startFolder, std::string_view separators) {
    if (folder.size() <= startFolder.size()) return 0;
    std::string_view rest = folder.substr(startFolder.size());
    int level = 0;
    bool inName = false;
    for (char c : rest) {
        bool separator = separators.find(c) != std::string_view::npos;
        if (!separator && !inName) ++level;
        inName = !separator;
    }
    return level;
}

}  // namespace tessory
