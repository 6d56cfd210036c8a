#pragma once
// The tool's own output inside the listed tree: the output file, what its link points to, and
// the new file being written. They are not part of what the user asked to list, and a listing
// that held its own half-written file would change on every run.

#include <sys/types.h>

#include <string>
#include <vector>

#include "listing/file_system.h"

namespace tessory {

class WithoutOwnFiles : public FileSystem {
public:
    // paths need not exist yet; their folders must, for them to be recognised.
    WithoutOwnFiles(FileSystem& inner, const std::vector<std::string>& paths);

    bool ReadFolder(const std::string& folder, const std::function<void(const FileInfo&)>& onFile,
                    std::vector<std::string>& subfolders) override;
    std::string TypeName(const std::string& fileName) override { return inner_.TypeName(fileName); }
    std::string JoinPath(const std::string& folder, const std::string& name) const override {
        return inner_.JoinPath(folder, name);
    }
    const char* PathSeparators() const override { return inner_.PathSeparators(); }
    std::int64_t LinksNotFollowed() const override { return inner_.LinksNotFollowed(); }

private:
    // A file is known by its folder's identity and its name, however its path was spelt.
    struct OwnFile {
        dev_t device;
        ino_t inode;
        std::string name;
    };

    FileSystem& inner_;
    std::vector<OwnFile> own_;
};

}  // namespace tessory
