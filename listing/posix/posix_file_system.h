#pragma once
#include <string>
#include <string_view>

#include "listing/file_system.h"

namespace tessory {

// The key that orders a folder's entries: the name upper-cased and in UTF-16 code units, so that
// ordinal comparison gives the order of a case-insensitive Windows volume.
std::u16string WalkOrderKey(std::string_view name);

// The walk on a POSIX file system: entries in WalkOrderKey order, dot-files are hidden, files the owner cannot write are
// read-only, nothing is archived or system. Symbolic links to folders are not followed, so a
// link cannot make the walk loop.
class PosixFileSystem : public FileSystem {
public:
    bool ReadFolder(const std::string& folder, const std::function<void(const FileInfo&)>& onFile,
                    std::vector<std::string>& subfolders) override;
    // From a table of common extensions.
    std::string TypeName(const std::string& fileName) override;
    std::string JoinPath(const std::string& folder, const std::string& name) const override;
    const char* PathSeparators() const override { return "/"; }
    // Links to folders, and links whose target is gone.
    std::int64_t LinksNotFollowed() const override { return linksNotFollowed_; }

private:
    std::int64_t linksNotFollowed_ = 0;
};

}  // namespace tessory
