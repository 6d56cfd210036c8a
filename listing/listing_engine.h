#pragma once
#include <cstdint>
#include <string>

#include "file_system.h"
#include "listing_writer.h"
#include "run_host.h"
#include "settings/settings_store.h"

namespace tessory {

// Output modes of BuildListing; any other value only writes the temporary listing file.
inline constexpr std::int16_t kOutputShow = 0;
inline constexpr std::int16_t kOutputSave = 1;

enum class RunOutcome {
    Finished,       // document written (and shown or saved as the mode says)
    Stopped,        // RequestStop during the walk: no document
    Refused,        // a run was already in progress
    SaveCancelled,  // the user cancelled the save dialog
    WriteFailed,    // the temporary listing file could not be written (or saving failed)
};

// The file a failed run could not write, with the system's code for the reason (LastFileError).
struct FileFailure {
    std::string path;
    int error = 0;
};

// One listing run at a time: walks the folder and hands every listed folder to a writer. The
// settings are read once at the start of a run, so a change saved between runs takes effect at
// the next run.
class ListingEngine {
public:
    // Reads the process's store (ProcessSettings) as it is when each run starts.
    ListingEngine(FileSystem& fileSystem, RunHost& host);
    // Reads the given store, which must outlive the engine.
    ListingEngine(FileSystem& fileSystem, RunHost& host, const SettingsStore& settings);

    // The listing document in the host's temporary listing file: each folder's section is appended
    // there during the walk, and the finished document is written over it after the walk. Then it
    // is shown or saved as the mode says. folder is UTF-8, as the user gave it; it appears
    // unchanged in the heading.
    RunOutcome BuildListing(const std::string& folder, std::int16_t mode);
    // Walks folder and streams the listing to writer: Finished, Stopped (Closing not called),
    // Refused or WriteFailed (a writer call returned false; the walk ended there).
    RunOutcome WriteListing(const std::string& folder, ListingWriter& writer);
    // The Stop command: the walk ends at the next folder and the run yields no document.
    void RequestStop() { stopRequested_ = true; }
    bool StopRequested() const { return stopRequested_; }
    bool Running() const { return running_; }
    const RunTotals& Totals() const { return totals_; }
    const std::string& RootFolder() const { return rootFolder_; }
    // After BuildListing ended in WriteFailed: the file it could not write (empty path when
    // the failure was not a file's).
    const FileFailure& LastFailure() const { return failure_; }

private:
    RunOutcome Run(const std::string& folder, ListingWriter& writer);

    FileSystem& fileSystem_;
    RunHost& host_;
    const SettingsStore* settings_;  // nullptr: the process's store
    bool stopRequested_ = false;
    bool running_ = false;
    RunTotals totals_;
    std::string rootFolder_;
    FileFailure failure_;
};

}  // namespace tessory
