#include "cli_run.h"

#include <fcntl.h>
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
// Reading threads: on a cold cache each waits on the disk for its own folder, so several folders'
// inodes are fetched at once; on a warm one they take turns on the cores in batches of folders.
constexpr size_t kReadingThreads = 4;

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

std::string Reason(int error) { return std::strerror(error); }

// A new file, created exclusively (an existing name or link there makes mkstemp pick another),
// in folder, named after base.
struct NewFile {
    std::string path;
    UniqueFile file;
};

bool CreateNewFile(const std::string& folder, const std::string& base, NewFile& created, std::string& error) {
    std::string pattern = folder + "/." + base + ".XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = "cannot create a file in " + folder + ": " + Reason(errno);
        return false;
    }
    created.path = pattern;
    created.file.reset(::fdopen(fd, "wb"));
    if (created.file) std::setvbuf(created.file.get(), nullptr, _IOFBF, 1 << 20);  // fewer, larger writes
    if (!created.file) {
        error = "cannot write " + pattern + ": " + Reason(errno);
        ::close(fd);
        ::unlink(pattern.c_str());
        return false;
    }
    return true;
}

void SplitPath(const std::string& path, std::string& folder, std::string& base) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        base = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        base = path.substr(slash + 1);
    }
}

// Mode of a newly created file under the process's umask (mkstemp gives 0600).
mode_t NewFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool CopyToStream(std::FILE* in, std::ostream& out) {
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) out.write(buffer, static_cast<std::streamsize>(n));
    out.flush();
    return !std::ferror(in) && out.good();
}

}  // namespace

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
    if (options.version) {
        out << "tessory " TESSORY_VERSION_TEXT "\n";
        return kExitOk;
    }
    if (!IsFolder(options.folder)) {
        err << "tessory: not a folder: " << options.folder << "\n";
        return kExitNoFolder;
    }

    IniStore ini(IniStore::DefaultPath());
    OverlayStore settings(ini);
    for (const SettingOverride& o : options.overrides) settings.Write(o.section, o.key, o.value);

    // The document goes to a new file of its own: next to the output, which it then replaces in
    // one rename (a failed or interrupted run leaves the previous output as it was), or, for
    // standard output, an unnamed file that is copied out once the listing is complete.
    NewFile target;
    if (!options.output.empty()) {
        std::string folder, base;
        SplitPath(options.output, folder, base);
        if (!CreateNewFile(folder, base, target, error)) {
            err << "tessory: " << error << "\n";
            return kExitWriteFailed;
        }
    } else {
        const char* tmp = std::getenv("TMPDIR");
        if (!CreateNewFile(tmp && *tmp ? tmp : "/tmp", "tessory", target, error)) {
            err << "tessory: " << error << "\n";
            return kExitWriteFailed;
        }
        ::unlink(target.path.c_str());  // gone with the process, whatever happens
        target.path.clear();
    }
    auto discard = [&] {
        target.file.reset();
        if (!target.path.empty()) ::unlink(target.path.c_str());
    };
    std::string shownName = target.path.empty() ? "the temporary file" : target.path;

    CliHost host(err, progress && !options.quiet);
    // Reading the next folders on other threads overlaps their system calls with the writing.
    PosixFileSystem posixFileSystems[kReadingThreads];
    std::vector<FileSystem*> readers;
    for (PosixFileSystem& reader : posixFileSystems) readers.push_back(&reader);
    ReadAheadFileSystem fileSystem(readers, kReadAheadFolders);
    ListingEngine engine(fileSystem, host, settings);
    host.Attach(&engine);
    ListingOutput output(target.file.get());
    std::unique_ptr<ListingWriter> writer;
    std::unique_ptr<OldListingReader> oldListing;
    std::unique_ptr<ChangeReport> report;
    CompareWriter* comparing = nullptr;
    if (!options.compareWith.empty()) {
        oldListing = std::make_unique<OldListingReader>(options.compareWith);
        if (!oldListing->Start()) {
            discard();
            err << "tessory: " << oldListing->Error() << "\n";
            return kExitCompareTrouble;
        }
        report = options.format == "csv"    ? MakeCsvChangeReport(output)
                 : options.format == "json" ? MakeJsonChangeReport(output)
                                            : MakeHtmlChangeReport(output);
        auto compare = std::make_unique<CompareWriter>(*oldListing, options.compareWith, *report);
        comparing = compare.get();
        writer = std::move(compare);
    } else if (options.format == "csv") {
        writer = std::make_unique<CsvListingWriter>(output);
    } else if (options.format == "json") {
        writer = std::make_unique<JsonListingWriter>(output);
    } else {
        writer = std::make_unique<HtmlListingWriter>(output, DocumentText::Utf8);
    }
    const int writeFailed = comparing ? kExitCompareTrouble : kExitWriteFailed;

    RunOutcome outcome = engine.WriteListing(options.folder, *writer);
    if (outcome == RunOutcome::Stopped) {
        discard();
        err << "tessory: interrupted, no listing written\n";
        return kExitStopped;
    }
    if (comparing && comparing->OldListingFailed()) {
        discard();
        err << "tessory: " << comparing->OldError() << "\n";
        return kExitCompareTrouble;
    }
    if (outcome != RunOutcome::Finished) {
        int reason = output.Error() ? output.Error() : EIO;
        discard();
        err << "tessory: cannot write " << shownName << ": " << Reason(reason) << "\n";
        return writeFailed;
    }
    const auto leftOut = [&] {
        if (!options.quiet) err << "tessory: " << LeftOutText(engine.Totals()) << "\n";
    };
    const int done = comparing ? (comparing->Totals().Any() ? kExitChanged : kExitOk) : kExitOk;

    if (options.output.empty()) {
        std::rewind(target.file.get());
        bool copied = CopyToStream(target.file.get(), out);
        target.file.reset();
        if (!copied) {
            err << "tessory: cannot write the listing to standard output\n";
            return writeFailed;
        }
        leftOut();
        return done;
    }

    ::fchmod(::fileno(target.file.get()), NewFileMode());
    if (std::fclose(target.file.release()) != 0) {
        int reason = errno;
        ::unlink(target.path.c_str());
        err << "tessory: cannot write " << target.path << ": " << Reason(reason) << "\n";
        return writeFailed;
    }
    if (std::rename(target.path.c_str(), options.output.c_str()) != 0) {
        int reason = errno;
        ::unlink(target.path.c_str());
        err << "tessory: cannot replace " << options.output << ": " << Reason(reason) << "\n";
        return writeFailed;
    }
    leftOut();
    return done;
}

}  // namespace tessory
