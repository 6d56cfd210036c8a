#pragma once
#include <string>

namespace tessory {

// The type name of a file from its extension, for platforms without shell type names: a known
// extension gives its usual name, another gives "EXT File", a name without one gives "File".
std::string TypeNameFromExtension(const std::string& fileName);

}  // namespace tessory
