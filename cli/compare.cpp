#include "compare.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <iterator>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "data_writers.h"
#include "listing/column_values.h"
#include "listing/document.h"
#include "listing/posix/posix_file_system.h"

namespace tessory {

// ---------------------------------------------------------------------------------------------
// Reading the old listing

namespace {

constexpr size_t kQueuedFolders = 1;  // read ahead by one folder: memory holds at most two old folders

// Longest text the parser is handed: a name of kLongestPath bytes, each written as a "\\u001f"
// escape, with room to spare. Longest number or word (true, false, null).
constexpr size_t kLongestToken = 8 * kLongestPath;
constexpr size_t kLongestWord = 64;

// Bytes of a file for the JSON parser, counting where it is for error messages. The parser keeps
// every byte of the token it is reading, and the blanks before it, to quote them in its messages:
// so runs of blanks between tokens are handed over as one, and a token longer than any a listing
// holds ends the input with an error, which keeps a hostile file from growing memory.
struct ByteSource {
    std::FILE* file = nullptr;
    char buffer[1 << 16];
    size_t at = 0, size = 0;
    std::uint64_t line = 1, column = 0;
    char current = 0;
    bool ended = false;
    std::string problem;  // why the input was ended early

    void Advance() {
        for (;;) {
            if (at >= size) {
                size = std::fread(buffer, 1, sizeof buffer, file);
                at = 0;
                if (size == 0) {
                    ended = true;
                    return;
                }
            }
            const char c = buffer[at++];
            if (lastRead_ == '\n') {
                ++line;
                column = 0;
            }
            ++column;
            lastRead_ = c;
            begun_ = true;
            if (inText_) {
                if (++tokenLength_ > kLongestToken)
                    return Stop("a text longer than " + std::to_string(kLongestToken) + " bytes");
                if (escaped_) escaped_ = false;
                else if (c == '\\') escaped_ = true;
                else if (c == '"') inText_ = false;
            } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                if (afterBlank_) continue;  // skipped, though counted in line and column
                afterBlank_ = true;
                tokenLength_ = 0;
            } else {
                afterBlank_ = false;
                if (c == '"') {
                    inText_ = true;
                    tokenLength_ = 0;
                } else if (std::strchr("{}[],:", c) != nullptr) {
                    tokenLength_ = 0;
                } else if (++tokenLength_ > kLongestWord) {
                    return Stop("a number or word longer than " + std::to_string(kLongestWord) + " characters");
                }
            }
            current = c;
            return;
        }
    }
    bool Started() const { return begun_ || ended; }

private:
    void Stop(std::string why) {
        problem = std::move(why);
        ended = true;
    }

    char lastRead_ = 0;
    bool begun_ = false, inText_ = false, escaped_ = false, afterBlank_ = false;
    std::size_t tokenLength_ = 0;
};

class ByteIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    ByteIterator() = default;
    explicit ByteIterator(ByteSource* source) : source_(source) {
        if (!source_->Started()) source_->Advance();
    }
    reference operator*() const { return source_->current; }
    ByteIterator& operator++() {
        source_->Advance();
        return *this;
    }
    bool operator==(const ByteIterator& other) const { return AtEnd() == other.AtEnd(); }
    bool operator!=(const ByteIterator& other) const { return !(*this == other); }

private:
    bool AtEnd() const { return source_ == nullptr || source_->ended; }
    ByteSource* source_ = nullptr;
};

}  // namespace

struct OldListingReader::Shared {
    std::string path;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<OldFolder> queue;
    std::optional<std::string> root;
    bool done = false;
    std::string error;
    std::atomic<bool> cancel{false};
    std::thread thread;
    ByteSource source;

    void Fail(const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex);
        if (error.empty()) error = what;
    }
    void Finish() {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        changed.notify_all();
    }
};

namespace {

using Json = nlohmann::json;

// Follows the shape of a listing: {"root", "folders": [{"path", "files": [{...}], ...}], "totals"},
// and checks what the merge relies on: folders below the root, each once, in walk order, and
// each file once in its folder.
class ListingSax : public nlohmann::json_sax<Json> {
public:
    explicit ListingSax(OldListingReader::Shared& shared) : shared_(shared) {}

    bool null() override {
        if (in(Context::File) && (key_ == "size" || key_ == "modified" || key_ == "attributes" ||
                                  key_ == "extension" || key_ == "type"))
            return true;
        return Wrong("null is not expected for \"" + key_ + "\"");
    }
    bool boolean(bool value) override {
        if (in(Context::Folder) && key_ == "readable") {
            folder_.readable = value;
            return true;
        }
        return Wrong("a true or false value is not expected");
    }
    bool number_integer(number_integer_t) override { return Wrong("a negative number is not expected"); }
    bool number_float(number_float_t, const string_t&) override { return Wrong("a fraction is not expected"); }
    bool binary(binary_t&) override { return Wrong("binary data is not expected"); }
    bool number_unsigned(number_unsigned_t value) override {
        if (in(Context::File) && key_ == "size") {
            file_.size = value;
            return true;
        }
        if ((in(Context::Folder) && (key_ == "fileCount" || key_ == "bytes")) || in(Context::Totals)) return true;
        return Wrong("a number is not expected for \"" + key_ + "\"");
    }
    bool string(string_t& value) override {
        const bool isName = (in(Context::Top) && (key_ == "root" || key_ == "rawRoot")) ||
                            (in(Context::Folder) && (key_ == "path" || key_ == "rawPath")) ||
                            (in(Context::File) && (key_ == "name" || key_ == "rawName"));
        if (isName) {
            if (key_.compare(0, 3, "raw") == 0) {
                std::optional<std::string> raw = ParseRawNameText(value);
                if (!raw) return Wrong("\"" + key_ + "\" has a \"%\" without two hexadecimal digits");
                value = std::move(*raw);
            }
            if (value.size() > kLongestPath)
                return Wrong("\"" + key_ + "\" is longer than " + std::to_string(kLongestPath) + " bytes");
            // The raw form wins over the readable one, whichever comes first.
            const bool raw = key_.compare(0, 3, "raw") == 0;
            std::string& target = in(Context::Top) ? root_ : in(Context::Folder) ? folder_.path : file_.name;
            bool& have = in(Context::Top) ? haveRoot_ : in(Context::Folder) ? havePath_ : haveName_;
            bool& haveRaw = in(Context::Top) ? rawRoot_ : in(Context::Folder) ? rawPath_ : rawName_;
            if (raw || !haveRaw) target = std::move(value);
            have = true;
            haveRaw = haveRaw || raw;
            return Continue();
        }
        if (in(Context::File)) {
            if (key_ == "modified") {
                file_.modified = std::move(value);
                return true;
            }
            if (key_ == "extension" || key_ == "type" || key_ == "attributes") return true;
        }
        return Wrong("a text is not expected for \"" + key_ + "\"");
    }
    bool start_object(std::size_t) override {
        if (stack_.empty()) return Push(Context::Top);
        if (in(Context::Folders)) {
            folder_ = OldFolder{};
            havePath_ = rawPath_ = false;
            names_.clear();
            return Push(Context::Folder);
        }
        if (in(Context::Files)) {
            file_ = OldFile{};
            haveName_ = rawName_ = false;
            return Push(Context::File);
        }
        if (in(Context::Top) && key_ == "totals") {
            sawTotals_ = true;
            return Push(Context::Totals);
        }
        return Wrong("an object is not expected here");
    }
    bool end_object() override {
        const Context context = stack_.back();
        stack_.pop_back();
        switch (context) {
            case Context::File:
                if (!haveName_) return Wrong("a file has no \"name\"");
                if (!names_.insert(file_.name).second) return Wrong("file \"" + file_.name + "\" is listed twice");
                folder_.files.push_back(std::move(file_));
                return Continue();
            case Context::Folder:
                if (!havePath_) return Wrong("a folder has no \"path\"");
                return Deliver();
            case Context::Top:
                if (!haveRoot_ || !sawFolders_ || !sawTotals_)
                    return Wrong("\"root\", \"folders\" or \"totals\" is missing");
                return true;
            default: return true;
        }
    }
    bool start_array(std::size_t) override {
        if (in(Context::Top) && key_ == "folders") {
            if (!haveRoot_) return Wrong("\"root\" must come before \"folders\"");
            sawFolders_ = true;
            std::lock_guard<std::mutex> lock(shared_.mutex);
            shared_.root = root_;
            shared_.changed.notify_all();  // mutate: skip (sooner only: the first folder or the end wakes the walk too)
            return Push(Context::Folders);
        }
        if (in(Context::Folder) && key_ == "files") return Push(Context::Files);
        return Wrong("a list is not expected here");
    }
    bool end_array() override {
        stack_.pop_back();
        return Continue();
    }
    bool key(string_t& name) override {
        key_ = std::move(name);
        static const std::unordered_set<std::string> kTop = {"root", "rawRoot", "folders", "totals"};
        static const std::unordered_set<std::string> kFolder = {"path", "rawPath", "readable", "files", "fileCount", "bytes"};
        static const std::unordered_set<std::string> kFile = {"name", "rawName", "extension", "type", "size", "modified", "attributes"};
        static const std::unordered_set<std::string> kTotals = {"folders", "files", "bytes", "skippedFolders",
                                                                 "skippedFiles", "unreadableFolders", "linksNotFollowed"};
        const std::unordered_set<std::string>* allowed = nullptr;
        switch (stack_.back()) {
            case Context::Top: allowed = &kTop; break;
            case Context::Folder: allowed = &kFolder; break;
            case Context::File: allowed = &kFile; break;
            case Context::Totals: allowed = &kTotals; break;
            default: break;
        }
        if (allowed == nullptr || allowed->count(key_) == 0) return Wrong("unexpected key \"" + key_ + "\"");
        if (in(Context::Top) && (key_ == "root" || key_ == "rawRoot") && sawFolders_)
            return Wrong("\"root\" must come before \"folders\"");
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& problem) override {
        // Where: this reader's count, since the parser does not see the blanks it skips.
        std::string what = problem.what();
        const size_t colon = what.find(": ");
        if (what.find("parse error at line") != std::string::npos && colon != std::string::npos) what.erase(0, colon + 2);
        else if (const size_t bracket = what.find("] "); bracket != std::string::npos) what.erase(0, bracket + 2);
        if (!shared_.source.problem.empty()) what = shared_.source.problem;
        shared_.Fail(shared_.path + ": line " + std::to_string(shared_.source.line) + ", column " +
                     std::to_string(shared_.source.column) + ": " + what);
        return false;  // mutate: skip (the parser stops at an error whatever the answer)
    }

private:
    enum class Context { Top, Folders, Folder, Files, File, Totals };

    bool in(Context context) const { return !stack_.empty() && stack_.back() == context; }
    bool Push(Context context) {
        stack_.push_back(context);
        return Continue();
    }
    bool Continue() const { return !shared_.cancel.load(std::memory_order_relaxed); }
    bool Wrong(std::string what) {
        if (!shared_.source.problem.empty()) what = shared_.source.problem;  // the cause, not its effect
        shared_.Fail(shared_.path + ": line " + std::to_string(shared_.source.line) + ", column " +
                     std::to_string(shared_.source.column) + ": not a tessory listing: " + what);
        return false;
    }
    bool Deliver() {
        std::optional<std::string> relative = RelativePath(folder_.path, root_);
        if (!relative) return Wrong("folder \"" + folder_.path + "\" is not below the root \"" + root_ + "\"");
        if (haveLast_ && !WalkOrderLess(last_, *relative)) {
            return Wrong("folder \"" + folder_.path + "\" " +
                         (*relative == last_ ? "is listed twice" : "is out of walk order"));
        }
        last_ = *relative;
        haveLast_ = true;
        folder_.relative = std::move(*relative);
        std::unique_lock<std::mutex> lock(shared_.mutex);
        shared_.changed.wait(lock, [&] { return shared_.queue.size() < kQueuedFolders || shared_.cancel; });
        if (shared_.cancel) return false;
        shared_.queue.push_back(std::move(folder_));
        shared_.changed.notify_all();
        return true;
    }

    OldListingReader::Shared& shared_;
    std::vector<Context> stack_;
    std::string key_;
    std::string root_;
    OldFolder folder_;
    OldFile file_;
    std::unordered_set<std::string> names_;  // of the folder being read
    std::string last_;                       // the relative path of the folder before
    bool haveRoot_ = false, rawRoot_ = false, havePath_ = false, rawPath_ = false, haveName_ = false,
         rawName_ = false, haveLast_ = false, sawFolders_ = false, sawTotals_ = false;
};

}  // namespace

OldListingReader::OldListingReader(std::string path) : shared_(std::make_shared<Shared>()) {
    shared_->path = std::move(path);
}

OldListingReader::~OldListingReader() {
    shared_->cancel = true;
    shared_->changed.notify_all();
    if (shared_->thread.joinable()) shared_->thread.join();
    if (shared_->source.file != nullptr) std::fclose(shared_->source.file);
}

bool OldListingReader::Start() {
    Shared& shared = *shared_;
    shared.source.file = std::fopen(shared.path.c_str(), "rb");
    struct stat info;
    const int reason = shared.source.file == nullptr                        ? errno
                       : fstat(fileno(shared.source.file), &info) != 0     ? errno
                       : S_ISDIR(info.st_mode)                             ? EISDIR
                                                                           : 0;
    if (reason != 0) {
        shared.error = "cannot read " + shared.path + ": " +
                       (reason == EISDIR ? std::string("it is a folder, not a listing") : std::strerror(reason));
        shared.done = true;
        return false;
    }
    shared.thread = std::thread([&shared] {
        ListingSax sax(shared);
        try {
            // Every handler that stops the parse says why first; a stop without a reason is still
            // no whole listing.
            if (!Json::sax_parse(ByteIterator(&shared.source), ByteIterator(), &sax) && !shared.cancel)
                shared.Fail(shared.path + ": not a tessory listing");
        } catch (const std::exception& problem) {
            shared.Fail(shared.path + ": " + problem.what());
        }
        if (std::ferror(shared.source.file)) shared.Fail("cannot read " + shared.path);
        shared.Finish();
    });
    return true;
}

std::optional<std::string> OldListingReader::Root() {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->changed.wait(lock, [&] { return shared_->root.has_value() || shared_->done; });
    if (!shared_->error.empty()) return std::nullopt;
    if (!shared_->root) {
        shared_->error = shared_->path + ": not a tessory listing: no \"root\"";
        return std::nullopt;
    }
    return shared_->root;
}

bool OldListingReader::Next(OldFolder& folder) {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    shared_->changed.wait(lock, [&] { return !shared_->queue.empty() || shared_->done; });
    if (!shared_->error.empty() || shared_->queue.empty()) return false;
    folder = std::move(shared_->queue.front());
    shared_->queue.pop_front();
    shared_->changed.notify_all();
    return true;
}

std::string OldListingReader::Error() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->error;
}

// ---------------------------------------------------------------------------------------------
// Merging

namespace {

std::optional<std::int64_t> NewInstant(const ListedFile& file) { return ModifiedEpoch(file); }

std::optional<std::int64_t> OldInstant(const OldFile& file) { return ParseIso8601(file.modified); }

// Subfolders in the order the walk takes them; names equal but for letter case go by their bytes.
bool FolderNameLess(std::string_view a, std::string_view b) {
    const std::u16string keyA = WalkOrderKey(a), keyB = WalkOrderKey(b);
    return keyA != keyB ? keyA < keyB : a < b;
}

}  // namespace

std::optional<std::string> RelativePath(const std::string& path, const std::string& root) {
    if (path.compare(0, root.size(), root) != 0) return std::nullopt;
    size_t at = root.size();
    const bool rootEndsInSeparator = !root.empty() && root.back() == '/';
    if (at < path.size() && path[at] != '/' && !rootEndsInSeparator) return std::nullopt;  // "Cx" is not below "C"
    while (at < path.size() && path[at] == '/') ++at;
    return path.substr(at);
}

bool WalkOrderLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    for (;;) {
        const bool endA = i >= a.size(), endB = j >= b.size();
        if (endA || endB) return endA && !endB;  // a folder comes before its subfolders
        size_t stopA = a.find('/', i), stopB = b.find('/', j);
        if (stopA == std::string::npos) stopA = a.size();
        if (stopB == std::string::npos) stopB = b.size();
        const std::string_view nameA(a.data() + i, stopA - i), nameB(b.data() + j, stopB - j);
        if (nameA != nameB) return FolderNameLess(nameA, nameB);
        i = stopA + 1;
        j = stopB + 1;
    }
}

bool CompareWriter::Opening(const ListingSettings& settings, const std::string& startFolder) {
    newRoot_ = startFolder;
    std::optional<std::string> root = old_.Root();
    if (!root) {
        oldFailed_ = true;
        return false;
    }
    oldRoot_ = *root;
    return report_.Begin(settings, oldName_, startFolder) && Advance();
}

bool CompareWriter::Advance() {
    havePending_ = old_.Next(pending_);
    if (!havePending_) {
        oldFailed_ = !old_.Error().empty();
        return !oldFailed_;
    }
    return true;
}

// Below a folder that could not be read now: the walk cannot see there, so nothing is reported.
bool CompareWriter::BelowUnreadable(const std::string& relative) const {
    if (!unreadable_) return false;
    if (unreadable_->empty()) return !relative.empty();
    return relative.size() > unreadable_->size() && relative.compare(0, unreadable_->size(), *unreadable_) == 0 &&
           relative[unreadable_->size()] == '/';
}

bool CompareWriter::OldFolderRemoved() {
    if (BelowUnreadable(pending_.relative)) return true;
    ChangeRecord record{Change::FolderRemoved, &pending_.path, {}, {}, {}, {}, {}};
    ++totals_.foldersRemoved;
    if (!report_.Record(record)) return false;
    for (OldFile& file : pending_.files) {
        ++totals_.filesRemoved;
        ChangeRecord removed{Change::FileRemoved, &pending_.path, std::move(file.name), file.size, {},
                             std::move(file.modified), {}};
        if (!report_.Record(removed)) return false;
    }
    return true;
}

bool CompareWriter::Folder(const ListedFolder& folder) {
    // Names compare by their bytes, as the walk orders them, also those that are not UTF-8.
    const std::string relative = RelativePath(folder.path, newRoot_).value_or(folder.path);
    while (havePending_ && WalkOrderLess(pending_.relative, relative)) {
        if (!OldFolderRemoved() || !Advance()) return false;
    }
    if (!folder.readable) unreadable_ = relative;
    if (havePending_ && pending_.relative == relative) {
        if (!folder.readable) {
            if (pending_.readable) {
                ++totals_.foldersUnreadable;
                if (!report_.Record(ChangeRecord{Change::FolderUnreadable, &folder.path, {}, {}, {}, {}, {}}))
                    return false;
            }
            return Advance();
        }
        return CompareFolder(folder) && Advance();
    }

    ++totals_.foldersAdded;
    if (!report_.Record(ChangeRecord{Change::FolderAdded, &folder.path, {}, {}, {}, {}, {}})) return false;
    for (const ListedFile& file : folder.files) {
        ++totals_.filesAdded;
        ChangeRecord added{Change::FileAdded, &folder.path, file.name, {}, file.length, {},
                           ModifiedText(file)};
        if (!report_.Record(added)) return false;
    }
    return true;
}

bool CompareWriter::CompareFolder(const ListedFolder& folder) {
    std::unordered_map<std::string_view, OldFile*> old;
    old.reserve(pending_.files.size());
    for (OldFile& file : pending_.files) old.emplace(file.name, &file);
    for (const ListedFile& file : folder.files) {
        auto found = old.find(file.name);
        const std::string modified = ModifiedText(file);
        if (found == old.end()) {
            ++totals_.filesAdded;
            if (!report_.Record({Change::FileAdded, &folder.path, file.name, {}, file.length, {}, modified}))
                return false;
            continue;
        }
        OldFile& before = *found->second;
        if (before.size != file.length || OldInstant(before) != NewInstant(file)) {
            ++totals_.filesChanged;
            if (!report_.Record({Change::FileChanged, &folder.path, file.name, before.size, file.length,
                                 before.modified, modified}))
                return false;
        }
        old.erase(found);
    }
    for (const OldFile& file : pending_.files) {
        if (old.count(file.name) == 0) continue;
        ++totals_.filesRemoved;
        if (!report_.Record({Change::FileRemoved, &folder.path, file.name, file.size, {}, file.modified, {}}))
            return false;
    }
    return true;
}

bool CompareWriter::Closing(const RunTotals&) {
    while (havePending_) {
        if (!OldFolderRemoved() || !Advance()) return false;
    }
    return report_.End(totals_);
}

std::string CompareWriter::OldError() const { return old_.Error(); }

// ---------------------------------------------------------------------------------------------
// Reports

namespace {

const char* ChangeWord(Change change) {
    switch (change) {
        case Change::FileAdded: return "added";
        case Change::FileRemoved: return "removed";
        case Change::FileChanged: return "changed";
        case Change::FolderAdded: return "folder added";
        case Change::FolderRemoved: return "folder removed";
        case Change::FolderUnreadable: return "folder unreadable";
    }
    return "";
}

std::string SizeText(const std::optional<std::uint64_t>& size) { return size ? std::to_string(*size) : ""; }

std::string JsonNumber(const std::optional<std::uint64_t>& size) { return size ? std::to_string(*size) : "null"; }

std::string JsonTime(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

bool IsFolderChange(Change change) {
    return change == Change::FolderAdded || change == Change::FolderRemoved || change == Change::FolderUnreadable;
}

class CsvChangeReport : public ChangeReport {
public:
    CsvChangeReport(ListingOutput& output, bool guardFormulas) : output_(output), guard_(guardFormulas) {}
    bool Begin(const ListingSettings&, const std::string&, const std::string&) override {
        return output_.Write("Change,Folder,Name,OldSize,NewSize,OldModified,NewModified\r\n");
    }
    bool Record(const ChangeRecord& r) override {
        // The old listing's texts are as untrusted as names: every field goes through CsvField.
        std::string row = CsvField(ChangeWord(r.change)) + ',' + CsvField(*r.folder, guard_) + ',' +
                          CsvField(r.name, guard_) + ',' + SizeText(r.oldSize) + ',' + SizeText(r.newSize) + ',' +
                          CsvField(r.oldModified, guard_) + ',' + CsvField(r.newModified, guard_) + "\r\n";
        return output_.Write(row);
    }
    bool End(const ChangeTotals&) override { return output_.Flush(); }

private:
    ListingOutput& output_;
    bool guard_;
};

class JsonChangeReport : public ChangeReport {
public:
    explicit JsonChangeReport(ListingOutput& output) : output_(output) {}
    bool Begin(const ListingSettings&, const std::string& oldListing, const std::string& folder) override {
        return output_.Write("{\"old\": " + JsonString(oldListing) + ",\n \"root\": " + JsonString(folder) +
                             ",\n \"changes\": [");
    }
    bool Record(const ChangeRecord& r) override {
        std::string item = first_ ? "\n  " : ",\n  ";
        first_ = false;
        item += "{\"change\": " + JsonString(ChangeWord(r.change)) + ", \"folder\": " + JsonString(*r.folder);
        if (!IsFolderChange(r.change)) {
            item += ", \"name\": " + JsonString(r.name) + ", \"oldSize\": " + JsonNumber(r.oldSize) +
                    ", \"newSize\": " + JsonNumber(r.newSize) + ", \"oldModified\": " + JsonTime(r.oldModified) +
                    ", \"newModified\": " + JsonTime(r.newModified);
        }
        item += "}";
        return output_.Write(item);
    }
    bool End(const ChangeTotals& t) override {
        return output_.Write("],\n \"totals\": {\"filesAdded\": " + std::to_string(t.filesAdded) +
                             ", \"filesRemoved\": " + std::to_string(t.filesRemoved) +
                             ", \"filesChanged\": " + std::to_string(t.filesChanged) +
                             ", \"foldersAdded\": " + std::to_string(t.foldersAdded) +
                             ", \"foldersRemoved\": " + std::to_string(t.foldersRemoved) +
                             ", \"foldersUnreadable\": " + std::to_string(t.foldersUnreadable) + "}}\n") &&
               output_.Flush();
    }

private:
    ListingOutput& output_;
    bool first_ = true;
};

// The listing's look: its style sheet, folder headers in the folder style, rows alternating.
class HtmlChangeReport : public ChangeReport {
public:
    explicit HtmlChangeReport(ListingOutput& output) : output_(output) {}
    bool Begin(const ListingSettings& settings, const std::string& oldListing, const std::string& folder) override {
        return output_.Write(DocumentHead(settings, DocumentText::Utf8) + "\r\n<h2>Changes in " +
                             Text(folder) + " since " + Text(oldListing) + "</h2>\r\n" + kTable +
                             "<tr><td width=\"15%\"><b>Change</b></td><td width=\"45%\"><b>Name</b></td>"
                             "<td width=\"20%\"><b>Size</b></td><td width=\"20%\"><b>Modified</b></td></tr>"
                             "</table>\r\n");
    }
    bool Record(const ChangeRecord& r) override {
        std::string html;
        if (!open_ || *r.folder != folder_) {
            if (open_) html += "</table><br>\r\n";
            folder_ = *r.folder;
            open_ = true;
            odd_ = true;
            html += "<table border=\"0\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"><tr><td class=\"dir\">" +
                    Text(folder_) + "</td></tr></table>\r\n" + kTable;
        }
        html += odd_ ? "<tr class=\"fileOdd\">" : "<tr class=\"file\">";
        odd_ = !odd_;
        html += "<td width=\"15%\">" + std::string(ChangeWord(r.change)) + "</td><td width=\"45%\">" +
                Text(r.name) + "</td><td width=\"20%\">" + Pair(SizeText(r.oldSize), SizeText(r.newSize), r.change) +
                "</td><td width=\"20%\">" + Pair(Text(r.oldModified), Text(r.newModified), r.change) +
                "</td></tr>\r\n";
        return output_.Write(html);
    }
    bool End(const ChangeTotals& t) override {
        std::string html = open_ ? "</table><br>\r\n" : "";
        html += "<br><table border=\"0\" cellspacing=\"1\" cellpadding=\"3\" width=\"100%\"><tr class=\"dir\"><td>"
                "Files added: " + std::to_string(t.filesAdded) + ", removed: " + std::to_string(t.filesRemoved) +
                ", changed: " + std::to_string(t.filesChanged) + ". Folders added: " +
                std::to_string(t.foldersAdded) + ", removed: " + std::to_string(t.foldersRemoved) +
                ", unreadable: " + std::to_string(t.foldersUnreadable) + ".</td></tr></table></body></html>";
        return output_.Write(html) && output_.Flush();
    }

private:
    static constexpr const char* kTable = "<table border=\"0\" cellspacing=\"1\" cellpadding=\"3\" width=\"100%\">";
    static std::string Text(const std::string& text) { return EscapeMarkup(ValidUtf8(text), true); }
    // A changed value shows before and after; an added or removed file its one side.
    static std::string Pair(const std::string& before, const std::string& after, Change change) {
        if (change == Change::FileChanged) return before == after ? after : before + " &rarr; " + after;
        return change == Change::FileRemoved ? before : after;
    }

    ListingOutput& output_;
    std::string folder_;
    bool open_ = false, odd_ = true;
};

}  // namespace

std::unique_ptr<ChangeReport> MakeHtmlChangeReport(ListingOutput& output) {
    return std::make_unique<HtmlChangeReport>(output);
}
std::unique_ptr<ChangeReport> MakeCsvChangeReport(ListingOutput& output, bool guardFormulas) {
    return std::make_unique<CsvChangeReport>(output, guardFormulas);
}
std::unique_ptr<ChangeReport> MakeJsonChangeReport(ListingOutput& output) {
    return std::make_unique<JsonChangeReport>(output);
}

}  // namespace tessory
