#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/date_time.h"

namespace tessory {

// Attribute bits of a listed file.
enum FileAttribute : std::uint32_t {
    kAttrArchive = 1,
    kAttrHidden = 2,
    kAttrReadOnly = 4,
    kAttrSystem = 8,
};

// One file of a folder as one enumeration pass gives it; absent fields could not be read.
struct FileInfo {
    std::string name;  // UTF-8, letter case kept
    std::optional<std::uint64_t> length;
    std::optional<DateTime> modified;  // local time
    std::optional<std::uint32_t> attributes;
    // Seconds east of UTC at that instant, when the file system knows it: it tells apart the
    // two instants of a local time that occurs twice when the clocks go back.
    std::optional<std::int32_t> modifiedOffset = std::nullopt;
};

// The file system as the walk sees it.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Gives every file of the folder to onFile in the platform's order (hidden files included,
    // system files and folders not), and appends the full path of every subfolder to subfolders.
    // False when the folder could not be enumerated.
    virtual bool ReadFolder(const std::string& folder,
                            const std::function<void(const FileInfo&)>& onFile,
                            std::vector<std::string>& subfolders) = 0;
    // The type name of a file, derived from its name alone (the file is never opened).
    virtual std::string TypeName(const std::string& fileName) = 0;
    // folder, a separator (unless folder already ends in one) and name.
    virtual std::string JoinPath(const std::string& folder, const std::string& name) const = 0;
    // The characters that separate folder names in a path.
    virtual const char* PathSeparators() const { return "\\/"; }
    // Links and reparse points that ReadFolder met and did not follow, since this object was made.
    virtual std::int64_t LinksNotFollowed() const { return 0; }
};

}  // namespace tessory
