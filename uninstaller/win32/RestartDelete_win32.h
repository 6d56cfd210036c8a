#pragma once
#include <string>

namespace corvel {

// Deletes the file when the computer next starts: a delayed move on the NT family, otherwise
// a "NUL=" line in wininit.ini. False when neither could be arranged (for instance a
// wininit.ini that exists but cannot be read in full, which is then left untouched).
bool deleteAtRestart(const std::string& path);

}  // namespace corvel
