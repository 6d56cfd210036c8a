#pragma once
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "listing_settings.h"
#include "platform/date_time.h"

namespace tessory {

// Totals of the current or last run: the folders handed to the writer and the files and bytes
// of those folders (also the files the file test left out).
struct RunTotals {
    std::int64_t folders = 0;
    std::int64_t files = 0;
    std::uint64_t bytes = 0;
    // What the listing left out: folders the folder filter rejected (nothing below them is
    // counted), files the file filters rejected, folders that could not be read, and links or
    // reparse points that were not followed.
    std::int64_t skippedFolders = 0;
    std::int64_t skippedFiles = 0;
    std::int64_t unreadableFolders = 0;
    std::int64_t linksNotFollowed = 0;
};

// One file that passed the file test, with the fields every output form needs.
struct ListedFile {
    std::string name;       // UTF-8 as the file system gives it (may be invalid UTF-8 on POSIX)
    std::string extension;  // the part after the last ".", empty when there is none
    std::string type;       // the file system's type text
    std::optional<std::uint64_t> length;  // absent fields could not be read
    std::optional<DateTime> modified;     // local time
    std::optional<std::uint32_t> attributes;  // FileAttribute bits
    std::optional<std::int32_t> modifiedOffset = std::nullopt;  // seconds east of UTC at modified, when known
};

// One folder that passed the folder test, its listed files in their final order.
struct ListedFolder {
    std::string path;
    std::vector<ListedFile> files;
    std::int32_t fileCount = 0;   // every file the folder holds, also those left out (stops at INT32_MAX)
    std::uint64_t byteCount = 0;  // their lengths' sum
    bool readable = true;         // false: the folder could not be enumerated (files holds what was read)
};

// Receives one run's output, streamed: Opening once, Folder for every listed folder in walk
// order (depth-first pre-order, a folder before its subfolders), then Closing unless the run
// was stopped. A folder is handed over before its subfolders are read, and its data is gone
// once Folder returns, so a writer that does not keep it holds one folder at a time.
class ListingWriter {
public:
    virtual ~ListingWriter() = default;
    // settings is the run's snapshot and stays valid until Closing; startFolder as the user gave it.
    virtual bool Opening(const ListingSettings& settings, const std::string& startFolder) = 0;
    virtual bool Folder(const ListedFolder& folder) = 0;
    virtual bool Closing(const RunTotals& totals) = 0;
    // Each returns false when the output failed: the walk ends and the run is WriteFailed.
};

// A stdio file that remembers its first write failure and the system's reason (errno).
class ListingOutput {
public:
    explicit ListingOutput(std::FILE* file) : file_(file) {}
    bool Write(std::string_view text);
    // Flushes the stdio buffer; false when this or an earlier write failed.
    bool Flush();
    bool Failed() const { return error_ != 0; }
    int Error() const { return error_; }  // errno of the first failure, 0 when none

private:
    std::FILE* file_;
    int error_ = 0;
};

}  // namespace tessory
