#pragma once
// Comparing a folder with an earlier JSON listing of it. Both sides come folder by folder in walk
// order (depth first, subfolders by their upper-cased names), so the two streams are merged and at
// most one folder of each is held.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "listing/listing_writer.h"

namespace tessory {

struct OldFile {
    std::string name;  // the name's bytes ("rawName" when the listing has it)
    std::optional<std::uint64_t> size;
    std::string modified;  // as written in the listing, "" when it was null
};

struct OldFolder {
    std::string path;      // the path's bytes ("rawPath" when the listing has it)
    std::string relative;  // below the listing's root, without leading separators
    std::vector<OldFile> files;
    bool readable = true;  // false: the folder could not be read when the listing was made
};

// Longest name or path the reader takes: what the file system allows.
constexpr size_t kLongestPath = 4096;

// Reads an earlier listing on a thread of its own and hands its folders over one at a time.
class OldListingReader {
public:
    explicit OldListingReader(std::string path);
    ~OldListingReader();  // stops the reading thread
    OldListingReader(const OldListingReader&) = delete;
    OldListingReader& operator=(const OldListingReader&) = delete;

    // Opens the file and starts reading; false (and Error()) when it cannot be opened.
    bool Start();
    // The listing's start folder; waits for it. nullopt on error.
    std::optional<std::string> Root();
    // The next folder in file order; false at the end of the listing or on error.
    bool Next(OldFolder& folder);
    // "FILE: line L, column C: what is wrong", empty while nothing went wrong.
    std::string Error();

    struct Shared;  // between this object and its reading thread

private:
    std::shared_ptr<Shared> shared_;
};

// FolderUnreadable: listed before, cannot be read now; its files and subfolders are not reported.
enum class Change { FileAdded, FileRemoved, FileChanged, FolderAdded, FolderRemoved, FolderUnreadable };

// One difference; for a folder change name is empty and the file fields are unset.
struct ChangeRecord {
    Change change;
    const std::string* folder;  // the path on the side that has it (the new side when both)
    std::string name;
    std::optional<std::uint64_t> oldSize, newSize;
    std::string oldModified, newModified;  // ISO 8601 texts, "" when unknown
};

struct ChangeTotals {
    std::int64_t filesAdded = 0, filesRemoved = 0, filesChanged = 0, foldersAdded = 0, foldersRemoved = 0,
                 foldersUnreadable = 0;
    bool Any() const {
        return filesAdded + filesRemoved + filesChanged + foldersAdded + foldersRemoved + foldersUnreadable != 0;
    }
};

// Receives the differences, streamed, in walk order.
class ChangeReport {
public:
    virtual ~ChangeReport() = default;
    virtual bool Begin(const ListingSettings& settings, const std::string& oldListing, const std::string& folder) = 0;
    virtual bool Record(const ChangeRecord& record) = 0;
    virtual bool End(const ChangeTotals& totals) = 0;
};

// The path below root, without leading separators, compared name by name ("Cx/b" is not below
// "C"); nullopt when it is not below root or root itself.
std::optional<std::string> RelativePath(const std::string& path, const std::string& root);

// Walk order of two folder paths below their own start folders: name by name, each compared as
// the walk orders subfolders (ordinal on the upper-cased names), a folder before its subfolders.
bool WalkOrderLess(const std::string& a, const std::string& b);

// The walk's writer for a comparison: merges the new folders with the old listing's.
class CompareWriter : public ListingWriter {
public:
    CompareWriter(OldListingReader& old, std::string oldName, ChangeReport& report)
        : old_(old), oldName_(std::move(oldName)), report_(report) {}
    bool Opening(const ListingSettings& settings, const std::string& startFolder) override;
    bool Folder(const ListedFolder& folder) override;
    bool Closing(const RunTotals& totals) override;

    const ChangeTotals& Totals() const { return totals_; }
    // True when the old listing could not be read or is not a listing; OldError() says why.
    bool OldListingFailed() const { return oldFailed_; }
    std::string OldError() const;

private:
    bool Advance();  // reads the next old folder into pending_
    bool BelowUnreadable(const std::string& relative) const;
    bool OldFolderRemoved();
    bool CompareFolder(const ListedFolder& folder);

    OldListingReader& old_;
    std::string oldName_;
    ChangeReport& report_;
    std::string oldRoot_, newRoot_;
    OldFolder pending_;
    bool havePending_ = false;
    std::optional<std::string> unreadable_;  // the last new folder that could not be read
    bool oldFailed_ = false;
    ChangeTotals totals_;
};

// The three report forms: the listing's style sheet, CSV and JSON.
std::unique_ptr<ChangeReport> MakeHtmlChangeReport(ListingOutput& output);
std::unique_ptr<ChangeReport> MakeCsvChangeReport(ListingOutput& output, bool guardFormulas = false);
std::unique_ptr<ChangeReport> MakeJsonChangeReport(ListingOutput& output);

}  // namespace tessory
