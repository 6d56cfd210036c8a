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

// Only a Yes (IDYES, 6) to the confirmation goes on; a message box that failed (0) is no consent.
bool isConsent(int messageBoxResult);

// The single-instance mutex name "Global\cvun_" + product + "_mutex", one for every logged-on
// user, made valid for any product: "%" and a backslash (which would name a namespace) are
// written as "%25" and "%5C", so that no two products share a name, and a name past the
// system's limit of 259 characters keeps its start and gets a hash of the whole product name
// instead of its end. `global` false leaves out the "Global\" (systems without that namespace).
constexpr int kMaxMutexName = 259;
TextBuffer mutexName(const TextBuffer& product, bool global = true);

// What creating the mutex tells: this is the only run; another run (or another kind of object
// under the name) holds it; or the system has no global namespace and the plain name is to be used.
enum class InstanceCheck { kOnly, kAnother, kNoGlobalNamespace };
InstanceCheck checkInstance(bool created, uint32_t lastError, bool global);

// The folder part of a path (up to, not including, its last backslash).
TextBuffer folderOf(const TextBuffer& path);

}  // namespace corvel
