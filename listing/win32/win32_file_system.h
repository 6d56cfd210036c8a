#pragma once
#include <map>
#include <string>

#include "listing/file_system.h"

namespace tessory {

// The walk on Windows: wide-character enumeration (one pass gives length, time and attributes,
// so a name the ANSI code page cannot hold keeps its true values) and the shell's type names.
// Folder links (reparse points) are not walked, so a junction cannot make the walk loop.
class Win32FileSystem : public FileSystem {
public:
    bool ReadFolder(const std::string& folder, const std::function<void(const FileInfo&)>& onFile,
                    std::vector<std::string>& subfolders) override;
    // The shell's type name, from the name alone; asked once per extension in the life of this object.
    std::string TypeName(const std::string& fileName) override;
    std::string JoinPath(const std::string& folder, const std::string& name) const override;

private:
    std::map<std::wstring, std::string> typeNames_;
};

}  // namespace tessory
