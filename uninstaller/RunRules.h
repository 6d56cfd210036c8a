#pragma once
// Small rules of the run that need no platform: switches, the pre-removal command's verdict,
// the details text and the uninstaller's own names.
#include <cstdint>
#include <string>

#include "TextBuffer.h"

namespace corvel {

struct Switches {
    bool silent = false;
    bool noRemove = false;
    bool noQuery = false;
};
// Substring search in the upper-cased command line, program path included.
Switches parseSwitches(const TextBuffer& commandLine);

// Run codes "100" and "101", and an empty run code or command, mean no command is run.
bool shouldRunPreRemoval(const TextBuffer& runCode, const TextBuffer& command);
// A batch file (".BAT" or ".CMD" before any ".EXE", case-sensitive) passes with exit code 0;
// a program passes with any other exit code.
bool preRemovalPasses(const TextBuffer& command, uint32_t exitCode);

// Headings and logs (already UTF-8) of the three not-removed logs, in the order files,
// directories, keys; empty logs are left out and the last line break is dropped.
TextBuffer buildDetailsText(const TextBuffer headings[3], const TextBuffer logs[3]);
// A button caption as a dialog title: every "&" and "..." removed.
TextBuffer stripCaptionMarks(const TextBuffer& caption);

// The folder part of a path (up to, not including, its last backslash).
TextBuffer folderOf(const TextBuffer& path);

}  // namespace corvel
