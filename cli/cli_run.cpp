#include "cli_run.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>

#include "cli_options.h"
#include "compare.h"
#include "data_writers.h"
#include "output_target.h"
#include "own_files.h"
#include "listing/column_values.h"
#include "listing/document.h"
#include "listing/listing_engine.h"
#include "listing/posix/posix_file_system.h"
#include "listing/posix/read_ahead_file_system.h"
#include "platform/file_io.h"
#include "project_version.h"
#include "settings/ini_store.h"
#include "settings/memory_store.h"

namespace tessory {

volatile std::sig_atomic_t gInterrupted = 0;

namespace {

constexpr size_t kReadAheadFolders = 64;
// Reading threads: on a warm cache they take turns on the cores in batches of folders. On a cold
// one each waits on the disk for its own folder, so that many folders' inodes are fetched at once:
// more of them then, as the disk serves many requests at a time and a waiting thread costs no core.
constexpr size_t kReadingThreads = 4;
constexpr size_t kColdReadingThreads = 16;

// The run's host on a terminal: no window, a progress line instead of the status bar.
class CliHost : public RunHost {
public:
    CliHost(std::ostream& err, bool progress) : err_(err), progress_(progress) {}

    void Attach(ListingEngine* engine) { engine_ = engine; }
    void SetBusy(bool) override {}

    void SetStatusText(const std::string& text) override {
        CheckInterrupt();
        if (!progress_) return;
        if (text.empty()) {
            if (shown_) err_ << "\r\033[K" << std::flush;
            return;
        }
        auto now = std::chrono::steady_clock::now();
        if (shown_ && now - lastShown_ < std::chrono::milliseconds(100)) return;
        lastShown_ = now;
        shown_ = true;
        const RunTotals& totals = engine_->Totals();
        err_ << "\r\033[K" << totals.folders << " folders, " << totals.files << " files: " << TerminalText(text)
             << std::flush;
    }

    void LetEventsRun() override { CheckInterrupt(); }
    // The tool hands the engine its own writer: no temporary listing file, nothing to show or save.
    std::string TemporaryFilePath() override { return {}; }
    void ShowDocument(const std::string&) override {}
    std::optional<std::string> AskSavePath() override { return std::nullopt; }
    void DocumentSaved(const std::string&) override {}

private:
    void CheckInterrupt() {
        if (gInterrupted && engine_) engine_->RequestStop();
    }

    std::ostream& err_;
    bool progress_;
    ListingEngine* engine_ = nullptr;
    bool shown_ = false;
    std::chrono::steady_clock::time_point lastShown_;
};

bool IsFolder(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void OnStopSignal(int) { gInterrupted = 1; }

}  // namespace

void StopOnSignals() {
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

std::string TerminalText(std::string_view text) {
    static const char kDigits[] = "0123456789abcdef";
    auto hex = [&](std::string& out, const char* prefix, unsigned value) {
        out += prefix;
        out += kDigits[(value >> 4) & 0xF];
        out += kDigits[value & 0xF];
    };
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto byte = static_cast<unsigned char>(text[i]);
        size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            hex(out, "\\x", byte);
            ++i;
        } else if (byte < 0x20 || byte == 0x7F) {
            hex(out, "\\x", byte);
            ++i;
        } else if (byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            hex(out, "\\u00", static_cast<unsigned char>(text[i + 1]));  // C1 control
            i += 2;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    return out;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress,
           bool outIsPipeOrTerminal) {
    // Every text in a message may come from a name, a file or the command line: none may steer the terminal.
    const auto complain = [&](const std::string& text) { err << "tessory: " << TerminalText(text) << "\n"; };
    CliOptions options;
    std::string error;
    if (!ParseCliOptions(args, options, error)) {
        complain(error);
        err << kCliUsage;
        return kExitUsage;
    }
    if (options.help) {
        out << kCliUsage;
        return kExitOk;
    }
    if (options.version) {
        out << "tessory " TESSORY_VERSION_TEXT "\n";
        return kExitOk;
    }
    const bool comparing = !options.compareWith.empty();
    if (!IsFolder(options.folder)) {
        complain("not a folder: " + options.folder);
        return comparing ? kExitCompareTrouble : kExitNoFolder;
    }
    const int writeFailed = comparing ? kExitCompareTrouble : kExitWriteFailed;

    IniStore ini(IniStore::DefaultPath());
    OverlayStore settings(ini);
    for (const SettingOverride& o : options.overrides) settings.Write(o.section, o.key, o.value);

    OutputTarget target;
    if (options.output.empty() ? !target.OpenStream(out, outIsPipeOrTerminal, error)
                               : !target.OpenFile(options.output, error)) {
        complain(error);
        return writeFailed;
    }

    CliHost host(err, progress && !options.quiet);
    // Reading the next folders on other threads overlaps their system calls with the writing;
    // each reading thread has a file system of its own.
    PosixFileSystem posixFileSystems[kColdReadingThreads];
    std::vector<std::unique_ptr<WithoutOwnFiles>> withoutOwnFiles;
    std::vector<FileSystem*> readers;
    for (PosixFileSystem& reader : posixFileSystems) {
        withoutOwnFiles.push_back(std::make_unique<WithoutOwnFiles>(reader, target.OwnFiles()));
        readers.push_back(withoutOwnFiles.back().get());
    }
    ReadAheadFileSystem fileSystem(readers, kReadAheadFolders, kReadingThreads);
    ListingEngine engine(fileSystem, host, settings);
    host.Attach(&engine);
    ListingOutput output(target.File());
    std::unique_ptr<ListingWriter> writer;
    std::unique_ptr<OldListingReader> oldListing;
    std::unique_ptr<ChangeReport> report;
    CompareWriter* compare = nullptr;
    if (comparing) {
        oldListing = std::make_unique<OldListingReader>(options.compareWith);
        if (!oldListing->Start()) {
            complain(oldListing->Error());
            return kExitCompareTrouble;
        }
        report = options.format == "csv"    ? MakeCsvChangeReport(output, options.guardFormulas)
                 : options.format == "json" ? MakeJsonChangeReport(output)
                                            : MakeHtmlChangeReport(output);
        auto writerOfChanges = std::make_unique<CompareWriter>(*oldListing, options.compareWith, *report);
        compare = writerOfChanges.get();
        writer = std::move(writerOfChanges);
    } else if (options.format == "csv") {
        writer = std::make_unique<CsvListingWriter>(output, options.guardFormulas);
    } else if (options.format == "json") {
        writer = std::make_unique<JsonListingWriter>(output);
    } else {
        writer = std::make_unique<HtmlListingWriter>(output, DocumentText::Utf8);
    }

    RunOutcome outcome = engine.WriteListing(options.folder, *writer);
    if (outcome == RunOutcome::Stopped) {
        target.Discard();
        err << "tessory: interrupted, no listing written\n";
        return kExitStopped;
    }
    if (compare && compare->OldListingFailed()) {
        target.Discard();
        complain(compare->OldError());
        return kExitCompareTrouble;
    }
    if (outcome != RunOutcome::Finished) {
        const int reason = output.Error() ? output.Error() : EIO;
        target.Discard();
        complain("cannot write " + target.ShownName() + ": " + std::strerror(reason));
        return writeFailed;
    }
    if (!target.Commit(error)) {
        complain(error);
        return writeFailed;
    }
    if (!options.quiet) complain(LeftOutText(engine.Totals()));
    return compare ? (compare->Totals().Any() ? kExitChanged : kExitOk) : kExitOk;
}

}  // namespace tessory
