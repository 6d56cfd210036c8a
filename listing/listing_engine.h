#pragma once
#include <cstdint>
#include <string>

#include "file_system.h"
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

// Totals of the current or last run.
struct RunTotals {
    std::int64_t folders = 0;
    std::int64_t files = 0;
    std::uint64_t bytes = 0;
};

// One listing run at a time: walks the folder, writes the listing document to the host's
// temporary listing file and shows or saves it. The settings are read once at the start of a
// run, so a change saved between runs takes effect at the next run.
class ListingEngine {
public:
    // Reads the process's store (ProcessSettings) as it is when each run starts.
    ListingEngine(FileSystem& fileSystem, RunHost& host);
    // Reads the given store, which must outlive the engine.
    ListingEngine(FileSystem& fileSystem, RunHost& host, const SettingsStore& settings);

    // folder is UTF-8, as the user gave it; it appears unchanged in the heading.
    RunOutcome BuildListing(const std::string& folder, std::int16_t mode);
    // The Stop command: the walk ends at the next folder and the run yields no document.
    void RequestStop() { stopRequested_ = true; }
    bool StopRequested() const { return stopRequested_; }
    bool Running() const { return running_; }
    const RunTotals& Totals() const { return totals_; }
    const std::string& RootFolder() const { return rootFolder_; }

private:
    FileSystem& fileSystem_;
    RunHost& host_;
    const SettingsStore* settings_;  // nullptr: the process's store
    bool stopRequested_ = false;
    bool running_ = false;
    RunTotals totals_;
    std::string rootFolder_;
};

}  // namespace tessory
