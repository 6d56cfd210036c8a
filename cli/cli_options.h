#pragma once
#include <string>
#include <utility>
#include <vector>

namespace tessory {

// Exit codes of the native tool.
enum ExitCode : int {
    kExitOk = 0,
    kExitWriteFailed = 1,  // the listing could not be written
    kExitUsage = 2,        // bad command line
    kExitNoFolder = 3,     // the folder does not exist or is not a folder
    // --compare, like diff: 0 nothing changed, 1 something changed, 2 trouble (the earlier
    // listing is unreadable or not a listing, or the report could not be written).
    kExitChanged = 1,
    kExitCompareTrouble = 2,
    kExitStopped = 130,    // interrupted (Ctrl-C): no document
};

struct SettingOverride {
    std::string section;
    std::string key;
    std::string value;
};

struct CliOptions {
    std::string folder;
    std::string output;  // empty: standard output
    std::vector<SettingOverride> overrides;
    std::string format = "html";  // html, csv or json
    std::string compareWith;      // an earlier JSON listing to compare FOLDER with
    bool guardFormulas = false;   // CSV: a cell that a spreadsheet would take as a formula gets a "'"
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name; on failure returns false and sets error.
bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error);

extern const char kCliUsage[];

}  // namespace tessory
