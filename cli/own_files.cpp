#include "own_files.h"

#include <sys/stat.h>

#include <algorithm>

namespace tessory {

WithoutOwnFiles::WithoutOwnFiles(FileSystem& inner, const std::vector<std::string>& paths) : inner_(inner) {
    for (const std::string& path : paths) {
        const size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        struct stat info;
        if (::stat(folder.c_str(), &info) == 0)
            own_.push_back(OwnFile{info.st_dev, info.st_ino, path.substr(slash == std::string::npos ? 0 : slash + 1)});
    }
}

bool WithoutOwnFiles::ReadFolder(const std::string& folder, const std::function<void(const FileInfo&)>& onFile,
                                 std::vector<std::string>& subfolders) {
    std::vector<std::string> hidden;
    struct stat info;
    if (!own_.empty() && ::stat(folder.c_str(), &info) == 0) {
        for (const OwnFile& own : own_)
            if (own.device == info.st_dev && own.inode == info.st_ino) hidden.push_back(own.name);
    }
    if (hidden.empty()) return inner_.ReadFolder(folder, onFile, subfolders);
    return inner_.ReadFolder(
        folder,
        [&](const FileInfo& file) {
            if (std::find(hidden.begin(), hidden.end(), file.name) == hidden.end()) onFile(file);
        },
        subfolders);
}

}  // namespace tessory
