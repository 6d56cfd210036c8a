#pragma once
#include <csignal>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace tessory {

// Set by the interrupt handler; the run stops at the next folder.
extern volatile std::sig_atomic_t gInterrupted;

// Makes SIGINT, SIGTERM and SIGHUP set gInterrupted, so that a run they end leaves no file behind.
void StopOnSignals();

// The whole tool: parses args, builds the listing with the user's INI settings (and the
// overrides) and writes it to the output file or out. Progress goes to err when progress is set.
// out is written as the listing is made when outIsPipeOrTerminal, else once it is complete.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress,
           bool outIsPipeOrTerminal = false);

// Text that is safe to print on a terminal: control characters (C0, DEL, C1) and bytes that
// are not well-formed UTF-8 are shown as \xHH (\u00HH for C1 characters).
std::string TerminalText(std::string_view text);

}  // namespace tessory
