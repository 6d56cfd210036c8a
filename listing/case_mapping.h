#pragma once
#include <string>

namespace tessory {

// Lower-cases code points in place, keeping the length: the system's own lower-casing on
// Windows (so matching agrees with the file system's idea of letter case there), the simple
// case folding of the Unicode data elsewhere.
void LowerCodePoints(std::u32string& text);

}  // namespace tessory
