#pragma once
#include <csignal>
#include <iosfwd>
#include <string>
#include <vector>

namespace tessory {

// Set by the interrupt handler; the run stops at the next folder.
extern volatile std::sig_atomic_t gInterrupted;

// The whole tool: parses args, builds the listing with the user's INI settings (and the
// overrides) and writes it to the output file or out. Progress goes to err when progress is set.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress);

// $XDG_CACHE_HOME/tessory, or ~/.cache/tessory; created when missing.
std::string CacheFolder();

}  // namespace tessory
