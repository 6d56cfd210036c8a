#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "listing/file_system.h"
#include "platform/date_time.h"

namespace tessory {

// The key that orders a folder's entries: the name upper-cased and in UTF-16 code units, so that
// ordinal comparison gives the order of a case-insensitive Windows volume.
std::u16string WalkOrderKey(std::string_view name);

// The calendar date and time of a count of seconds from 1970-01-01 00:00, proleptic Gregorian.
DateTime ShiftedUtc(std::int64_t seconds);

// Local time of a file time, as localtime_r gives it, with the time zone asked once per quarter
// of an hour rather than once per file. One per thread.
class LocalTimeCache {
public:
    DateTime LocalTime(std::int64_t seconds);
    // The same, with the offset from UTC in force at that instant (left empty when unknown).
    DateTime LocalTime(std::int64_t seconds, std::optional<std::int32_t>& offset);

private:
    bool known_ = false;
    std::int64_t start_ = 0;
    std::optional<long> offset_;  // seconds east of UTC over the quarter, when it holds throughout
    DateTime startTime_;          // local time at the quarter's start, when offset_ is known
};

// The walk on a POSIX file system: entries in WalkOrderKey order, dot-files are hidden, files the
// owner cannot write are read-only, nothing is archived or system. Symbolic links to folders are
// not followed, so a link cannot make the walk loop. ReadFolder keeps state (counts, a time
// cache): a thread that reads folders alongside others needs an object of its own.
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
    // Reads as on a file system whose folder entries carry no type (some network and older
    // ones report none), so that every entry's type comes from a stat of its own.
    void IgnoreEntryTypes() { ignoreEntryTypes_ = true; }

private:
    std::int64_t linksNotFollowed_ = 0;
    bool ignoreEntryTypes_ = false;
    LocalTimeCache times_;
};

}  // namespace tessory
