#include "listing_engine.h"

#include <cerrno>
#include <cstdio>
#include <exception>

#include "document.h"
#include "filters.h"
#include "folder_level.h"
#include "folder_section.h"
#include "platform/file_io.h"

namespace tessory {
namespace {

constexpr size_t kCopyBuffer = 1 << 16;

bool WriteText(std::FILE* file, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

bool CopyInto(std::FILE* from, std::FILE* to) {
    std::vector<char> buffer(kCopyBuffer);
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), from)) > 0) {
        if (std::fwrite(buffer.data(), 1, n, to) != n) return false;
    }
    return !std::ferror(from);
}

// Notes the file and the system's reason at the moment an operation on it failed; false.
bool Failed(FileFailure& failure, const std::string& path) {
    failure = FileFailure{path, LastFileError()};
    return false;
}

// Writes the finished document over the temporary listing file without holding it in memory:
// opening, the collected sections, closing (all three already in the file's encoding; the
// closing is ASCII) into a new file that then replaces the old one.
bool AssembleDocument(const std::string& tempPath, const std::string& opening, const std::string& closing,
                      FileFailure& failure) {
    std::string partPath = tempPath + ".tmp";
    {
        UniqueFile out = OpenFile(partPath, "wb");
        if (!out) return Failed(failure, partPath);
        bool ok = WriteText(out.get(), opening);
        if (UniqueFile sections = OpenFile(tempPath, "rb")) ok = ok && CopyInto(sections.get(), out.get());
        ok = ok && WriteText(out.get(), closing) && std::fflush(out.get()) == 0;
        if (!ok) {
            Failed(failure, partPath);
            out.reset();
            DeleteFileAt(partPath);
            return false;
        }
    }
    if (!DeleteFileAt(tempPath) || !ReplaceFileWith(partPath, tempPath)) {
        Failed(failure, tempPath);
        DeleteFileAt(partPath);
        return false;
    }
    return true;
}

bool CopyFile(const std::string& from, const std::string& to, FileFailure& failure) {
    UniqueFile in = OpenFile(from, "rb");
    if (!in) return Failed(failure, from);
    UniqueFile out = OpenFile(to, "wb");
    if (!out) return Failed(failure, to);
    bool ok = CopyInto(in.get(), out.get());
    return (std::fclose(out.release()) == 0 && ok) || Failed(failure, to);
}

bool ReadWhole(const std::string& path, std::string& text) {
    UniqueFile in = OpenFile(path, "rb");
    if (!in) return false;
    std::vector<char> buffer(kCopyBuffer);
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), in.get())) > 0) text.append(buffer.data(), n);
    return !std::ferror(in.get());
}

// The document as the main window's run builds it: sections appended to the temporary listing
// file during the walk (a stopped run leaves them there), the whole document assembled after it.
// It is in the file code page while that holds every text exactly, so those documents keep their
// bytes; the first text it cannot hold turns the whole document to UTF-8, declared in its head,
// since a listing must not lose the names it lists.
class TemporaryFileWriter : public ListingWriter {
public:
    TemporaryFileWriter(std::string tempPath, FileFailure& failure)
        : tempPath_(std::move(tempPath)), failure_(failure) {}

    bool Opening(const ListingSettings& settings, const std::string& startFolder) override {
        opening_ = DocumentOpening(settings, startFolder);
        settings_ = &settings;
        utf8_ = !ToFileTextExactly(opening_, encoded_);
        return true;
    }
    bool Folder(const ListedFolder& folder) override {
        if (!file_) file_ = OpenFile(tempPath_, "ab");
        if (!file_) return Failed(failure_, tempPath_);
        section_.clear();
        AppendFolderSection(section_, folder, *settings_);
        section_ += "\r\n";
        if (!utf8_ && ToFileTextExactly(section_, encoded_))
            return WriteText(file_.get(), encoded_) || Failed(failure_, tempPath_);
        if (!utf8_ && !SwitchToUtf8()) return false;
        return WriteText(file_.get(), section_) || Failed(failure_, tempPath_);
    }
    bool Closing(const RunTotals& totals) override {
        if (file_ && std::fflush(file_.get()) != 0) return Failed(failure_, tempPath_);
        file_.reset();
        std::string closing = DocumentClosing(totals, *settings_);
        if (!utf8_) return AssembleDocument(tempPath_, ToFileText(opening_), closing, failure_);
        return AssembleDocument(tempPath_, WithUtf8Declaration(opening_), closing, failure_);
    }

private:
    // Rewrites the sections written so far (each held exactly by the code page) as UTF-8.
    bool SwitchToUtf8() {
        if (std::fflush(file_.get()) != 0) return Failed(failure_, tempPath_);
        file_.reset();
        std::string written;
        if (!ReadWhole(tempPath_, written)) return Failed(failure_, tempPath_);
        written = FileTextToUtf8(written);
        file_ = OpenFile(tempPath_, "wb");
        if (!file_ || !WriteText(file_.get(), written)) return Failed(failure_, tempPath_);
        utf8_ = true;
        return true;
    }

    std::string tempPath_;
    FileFailure& failure_;
    std::string opening_;
    const ListingSettings* settings_ = nullptr;
    std::string section_;
    std::string encoded_;
    bool utf8_ = false;
    UniqueFile file_;
};

// One run's walk, depth-first pre-order without recursion: a folder is handed to the writer
// before its subfolders are read, so along a deep path only the ancestors' lists of
// subfolders still to visit stay in memory.
class Walk {
public:
    Walk(FileSystem& fs, RunHost& host, const ListingSettings& settings, const std::string& root, const bool& stop,
         RunTotals& totals, ListingWriter& writer)
        : fs_(fs), host_(host), settings_(settings), root_(root), stop_(stop), totals_(totals), writer_(writer) {}

    // False when the writer failed.
    bool Run() {
        if (!Visit(root_)) return false;
        while (!pending_.empty()) {
            Pending& top = pending_.back();
            if (top.next == top.subfolders.size()) {
                pending_.pop_back();
                // A subfolder's walk has ended (the start folder's frame is the last to go).
                if (!pending_.empty()) host_.LetEventsRun();
                continue;
            }
            std::string folder = std::move(top.subfolders[top.next++]);
            size_t depth = pending_.size();
            if (!Visit(folder)) return false;
            if (pending_.size() == depth) host_.LetEventsRun();  // nothing below it to walk
        }
        return true;
    }

private:
    struct Pending {
        std::vector<std::string> subfolders;
        size_t next = 0;
    };

    bool Visit(const std::string& folder) {
        host_.SetStatusText(folder);
        if (stop_) return true;
        int limit = settings_.recursionLimit;
        if (limit != -1 && FolderLevel(folder, root_, fs_.PathSeparators()) > limit) return true;
        if (!FolderPasses(folder, settings_)) {
            ++totals_.skippedFolders;
            return true;
        }
        std::vector<std::string> subfolders;
        {
            const std::int64_t linksBefore = fs_.LinksNotFollowed();
            ListedFolder listed = ReadListedFolder(folder, fs_, settings_, host_, subfolders);
            totals_.linksNotFollowed += fs_.LinksNotFollowed() - linksBefore;
            totals_.skippedFiles += listed.fileCount - static_cast<std::int64_t>(listed.files.size());
            if (!listed.readable) ++totals_.unreadableFolders;
            if (!writer_.Folder(listed)) return false;
            totals_.files += listed.fileCount;
            totals_.bytes += listed.byteCount;
            totals_.folders += 1;
        }
        pending_.push_back(Pending{std::move(subfolders), 0});
        return true;
    }

    FileSystem& fs_;
    RunHost& host_;
    const ListingSettings& settings_;
    const std::string& root_;
    const bool& stop_;
    RunTotals& totals_;
    ListingWriter& writer_;
    std::vector<Pending> pending_;
};

}  // namespace

bool ListingOutput::Write(std::string_view text) {
    if (error_) return false;
    if (std::fwrite(text.data(), 1, text.size(), file_) == text.size()) return true;
    error_ = errno ? errno : EIO;
    return false;
}

bool ListingOutput::Flush() {
    if (error_) return false;
    if (std::fflush(file_) == 0) return true;
    error_ = errno ? errno : EIO;
    return false;
}

ListingEngine::ListingEngine(FileSystem& fileSystem, RunHost& host)
    : fileSystem_(fileSystem), host_(host), settings_(nullptr) {}

ListingEngine::ListingEngine(FileSystem& fileSystem, RunHost& host, const SettingsStore& settings)
    : fileSystem_(fileSystem), host_(host), settings_(&settings) {}

RunOutcome ListingEngine::Run(const std::string& folder, ListingWriter& writer) {
    stopRequested_ = false;
    totals_ = RunTotals{};
    rootFolder_ = folder;
    ListingSettings settings = ReadListingSettings(settings_ ? *settings_ : ProcessSettings(), LocalNow());
    if (!writer.Opening(settings, folder)) return RunOutcome::WriteFailed;
    Walk walk(fileSystem_, host_, settings, rootFolder_, stopRequested_, totals_, writer);
    bool walked = walk.Run();
    host_.SetStatusText("");
    if (!walked) return RunOutcome::WriteFailed;
    if (stopRequested_) return RunOutcome::Stopped;
    bool closed = writer.Closing(totals_);
    host_.LetEventsRun();
    return closed ? RunOutcome::Finished : RunOutcome::WriteFailed;
}

namespace {

// Marks the engine busy for one run.
struct RunGuard {
    bool& running;
    RunHost& host;
    RunGuard(bool& r, RunHost& h) : running(r), host(h) {
        running = true;
        host.SetBusy(true);
    }
    ~RunGuard() {
        host.SetBusy(false);
        running = false;
    }
};

}  // namespace

RunOutcome ListingEngine::WriteListing(const std::string& folder, ListingWriter& writer) {
    if (running_) return RunOutcome::Refused;
    RunGuard guard(running_, host_);
    try {
        return Run(folder, writer);
    } catch (const std::exception&) {
        return RunOutcome::WriteFailed;
    }
}

RunOutcome ListingEngine::BuildListing(const std::string& folder, std::int16_t mode) {
    if (running_) return RunOutcome::Refused;
    RunGuard guard(running_, host_);
    try {
        failure_ = FileFailure{};
        std::string tempPath = host_.TemporaryFilePath();
        DeleteFileAt(tempPath);
        RunOutcome outcome;
        {
            TemporaryFileWriter writer(tempPath, failure_);
            outcome = Run(folder, writer);
        }
        if (outcome != RunOutcome::Finished) return outcome;

        if (mode == kOutputShow) {
            host_.ShowDocument(tempPath);
        } else if (mode == kOutputSave) {
            std::optional<std::string> target = host_.AskSavePath();
            if (!target) return RunOutcome::SaveCancelled;
            if (!CopyFile(tempPath, *target, failure_)) return RunOutcome::WriteFailed;
            host_.DocumentSaved(*target);
        }
        return RunOutcome::Finished;
    } catch (const std::exception&) {
        // Nothing may escape into the caller's window procedure.
        return RunOutcome::WriteFailed;
    }
}

}  // namespace tessory
