#pragma once
// Deletion at restart on the 9x family: "NUL=" lines in the "[Rename]" section of wininit.ini.
#include "TextBuffer.h"

namespace corvel {

// Adds "NUL=" + shortPath to the text of an existing, non-empty wininit.ini. False when the
// line is already there (the text is left as it is).
bool addRenameEntry(TextBuffer& ini, const TextBuffer& shortPath);

// Puts the file `from` in place of `to` in one step; false when it cannot.
using ReplaceFileFn = bool (*)(const char* from, const char* to);

// Updates (or creates) the file at iniPath. The new text is written to a file beside it
// (iniPath + ".new") which then replaces it, so that a power cut never leaves other programs'
// entries half written. A file that exists but cannot be read in full is left untouched and the
// result is false; so is a failed write or replacement (the new file is then removed).
bool scheduleInWininit(const char* iniPath, bool iniExists, const TextBuffer& shortPath, ReplaceFileFn replace);

}  // namespace corvel
