#include "listing_engine.h"

#include <cstdio>
#include <exception>

#include "document.h"
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

// One run's walk: appends every listed folder's section to the temporary listing file.
class Walk {
public:
    Walk(FileSystem& fs, RunHost& host, const ListingSettings& settings, const std::string& root,
         const std::string& tempPath, const bool& stop, RunTotals& totals)
        : fs_(fs), host_(host), settings_(settings), root_(root), tempPath_(tempPath), stop_(stop),
          totals_(totals) {}

    void ListFolder(const std::string& folder) {
        host_.SetStatusText(folder);
        if (stop_) return;
        int limit = settings_.recursionLimit;
        if (limit != -1 && FolderLevel(folder, root_, fs_.PathSeparators()) > limit) return;
        std::vector<std::string> subfolders;
        FolderSection section = BuildFolderSection(folder, fs_, settings_, host_, subfolders);
        if (section.html.empty()) return;
        if (!Append(section.html)) return;
        totals_.files += section.fileCount;
        totals_.bytes += section.byteCount;
        totals_.folders += 1;
        for (const std::string& subfolder : subfolders) {
            ListFolder(subfolder);
            host_.LetEventsRun();
        }
    }

    // Closes the temporary listing file; false when a write failed after the file was opened.
    bool Finish() {
        bool ok = !file_ || std::fflush(file_.get()) == 0;
        file_.reset();
        return ok;
    }

private:
    bool Append(const std::string& html) {
        if (!file_) file_ = OpenFile(tempPath_, "ab");
        if (!file_) return false;
        return WriteText(file_.get(), ToFileText(html)) && WriteText(file_.get(), "\r\n");
    }

    FileSystem& fs_;
    RunHost& host_;
    const ListingSettings& settings_;
    const std::string& root_;
    const std::string& tempPath_;
    const bool& stop_;
    RunTotals& totals_;
    UniqueFile file_;
};

// Writes the finished document over the temporary listing file without holding it in memory:
// opening, the collected sections, closing into a new file that then replaces the old one.
bool AssembleDocument(const std::string& tempPath, const std::string& opening, const std::string& closing) {
    std::string partPath = tempPath + ".tmp";
    {
        UniqueFile out = OpenFile(partPath, "wb");
        if (!out) return false;
        bool ok = WriteText(out.get(), ToFileText(opening));
        if (UniqueFile sections = OpenFile(tempPath, "rb")) ok = ok && CopyInto(sections.get(), out.get());
        ok = ok && WriteText(out.get(), ToFileText(closing)) && std::fflush(out.get()) == 0;
        if (!ok) {
            out.reset();
            DeleteFileAt(partPath);
            return false;
        }
    }
    if (!DeleteFileAt(tempPath) || !ReplaceFileWith(partPath, tempPath)) {
        DeleteFileAt(partPath);
        return false;
    }
    return true;
}

bool CopyFile(const std::string& from, const std::string& to) {
    UniqueFile in = OpenFile(from, "rb");
    if (!in) return false;
    UniqueFile out = OpenFile(to, "wb");
    if (!out) return false;
    bool ok = CopyInto(in.get(), out.get());
    return std::fclose(out.release()) == 0 && ok;
}

}  // namespace

ListingEngine::ListingEngine(FileSystem& fileSystem, RunHost& host)
    : fileSystem_(fileSystem), host_(host), settings_(nullptr) {}

ListingEngine::ListingEngine(FileSystem& fileSystem, RunHost& host, const SettingsStore& settings)
    : fileSystem_(fileSystem), host_(host), settings_(&settings) {}

RunOutcome ListingEngine::BuildListing(const std::string& folder, std::int16_t mode) {
    if (running_) return RunOutcome::Refused;
    struct RunGuard {
        ListingEngine& engine;
        explicit RunGuard(ListingEngine& e) : engine(e) {
            engine.running_ = true;
            engine.host_.SetBusy(true);
        }
        ~RunGuard() {
            engine.host_.SetBusy(false);
            engine.running_ = false;
        }
    } guard(*this);

    try {
        stopRequested_ = false;
        totals_ = RunTotals{};
        std::string tempPath = host_.TemporaryFilePath();
        DeleteFileAt(tempPath);
        rootFolder_ = folder;
        ListingSettings settings = ReadListingSettings(settings_ ? *settings_ : ProcessSettings(), LocalNow());

        Walk walk(fileSystem_, host_, settings, rootFolder_, tempPath, stopRequested_, totals_);
        walk.ListFolder(folder);
        bool sectionsWritten = walk.Finish();
        host_.SetStatusText("");
        if (stopRequested_) return RunOutcome::Stopped;

        bool written = AssembleDocument(tempPath, DocumentOpening(settings, folder),
                                        DocumentClosing(totals_.files, totals_.folders, totals_.bytes));
        host_.LetEventsRun();
        if (!written || !sectionsWritten) return RunOutcome::WriteFailed;

        if (mode == kOutputShow) {
            host_.ShowDocument(tempPath);
        } else if (mode == kOutputSave) {
            std::optional<std::string> target = host_.AskSavePath();
            if (!target) return RunOutcome::SaveCancelled;
            if (!CopyFile(tempPath, *target)) return RunOutcome::WriteFailed;
            host_.DocumentSaved(*target);
        }
        return RunOutcome::Finished;
    } catch (const std::exception&) {
        // Nothing may escape into the caller's window procedure.
        return RunOutcome::WriteFailed;
    }
}

}  // namespace tessory
