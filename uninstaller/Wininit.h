#pragma once
// Deletion at restart on the 9x family: "NUL=" lines in the "[Rename]" section of wininit.ini.
#include "TextBuffer.h"

namespace corvel {

// Adds "NUL=" + shortPath to the text of an existing, non-empty wininit.ini. False when the
// line is already there (the text is left as it is).
bool addRenameEntry(TextBuffer& ini, const TextBuffer& shortPath);

// Updates (or creates) the file at iniPath. A file that exists but cannot be read in full is
// left untouched and the result is false; so is a failed write.
bool scheduleInWininit(const char* iniPath, bool iniExists, const TextBuffer& shortPath);

}  // namespace corvel
