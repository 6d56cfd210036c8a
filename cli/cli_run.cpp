#include "cli_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ostream>

#include "cli_options.h"
#include "listing/listing_engine.h"
#include "listing/posix/posix_file_system.h"
#include "platform/file_io.h"
#include "settings/ini_store.h"
#include "settings/memory_store.h"

namespace tessory {

volatile std::sig_atomic_t gInterrupted = 0;

namespace {

// The run's host on a terminal: no window, a progress line instead of the status bar.
class CliHost : public RunHost {
public:
    CliHost(std::ostream& err, bool progress, std::string tempPath, std::string outputPath)
        : err_(err), progress_(progress), tempPath_(std::move(tempPath)), outputPath_(std::move(outputPath)) {}

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
        err_ << "\r\033[K" << totals.folders << " folders, " << totals.files << " files: " << text << std::flush;
    }

    void LetEventsRun() override { CheckInterrupt(); }
    std::string TemporaryFilePath() override { return tempPath_; }
    void ShowDocument(const std::string&) override {}
    std::optional<std::string> AskSavePath() override { return outputPath_; }
    void DocumentSaved(const std::string&) override {}

private:
    void CheckInterrupt() {
        if (gInterrupted && engine_) engine_->RequestStop();
    }

    std::ostream& err_;
    bool progress_;
    std::string tempPath_;
    std::string outputPath_;
    ListingEngine* engine_ = nullptr;
    bool shown_ = false;
    std::chrono::steady_clock::time_point lastShown_;
};

bool IsFolder(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CopyToStream(const std::string& path, std::ostream& out) {
    UniqueFile in = OpenFile(path, "rb");
    if (!in) return false;
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in.get())) > 0) out.write(buffer, static_cast<std::streamsize>(n));
    out.flush();
    return !std::ferror(in.get()) && out.good();
}

}  // namespace

std::string CacheFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    std::string base = cache && *cache ? cache : std::string(home && *home ? home : "/tmp") + "/.cache";
    ::mkdir(base.c_str(), 0700);
    std::string folder = base + "/tessory";
    ::mkdir(folder.c_str(), 0700);
    return folder;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress) {
    CliOptions options;
    std::string error;
    if (!ParseCliOptions(args, options, error)) {
        err << "tessory: " << error << "\n" << kCliUsage;
        return kExitUsage;
    }
    if (options.help) {
        out << kCliUsage;
        return kExitOk;
    }
    if (!IsFolder(options.folder)) {
        err << "tessory: not a folder: " << options.folder << "\n";
        return kExitNoFolder;
    }

    IniStore ini(IniStore::DefaultPath());
    OverlayStore settings(ini);
    for (const SettingOverride& o : options.overrides) settings.Write(o.section, o.key, o.value);

    // One temporary file per process: two runs at once must not share it.
    std::string tempPath = CacheFolder() + "/myTmpFile-" + std::to_string(::getpid()) + ".htm";
    CliHost host(err, progress && !options.quiet, tempPath, options.output);
    PosixFileSystem fileSystem;
    ListingEngine engine(fileSystem, host, settings);
    host.Attach(&engine);

    RunOutcome outcome = engine.BuildListing(options.folder, options.output.empty() ? 2 : kOutputSave);
    int code = kExitOk;
    if (outcome == RunOutcome::Stopped) {
        err << "tessory: interrupted, no listing written\n";
        code = kExitStopped;
    } else if (outcome != RunOutcome::Finished) {
        err << "tessory: cannot write the listing" << (options.output.empty() ? "" : " to " + options.output) << "\n";
        code = kExitWriteFailed;
    } else if (options.output.empty() && !CopyToStream(tempPath, out)) {
        err << "tessory: cannot write the listing to standard output\n";
        code = kExitWriteFailed;
    }
    DeleteFileAt(tempPath);
    return code;
}

}  // namespace tessory
