#pragma once
// The removal stages' file operations on the real file system.
#include <string>

#include "Removal.h"

namespace corvel {

class Win32FileSystem : public FileSystemSeam {
public:
    bool exists(const std::string& path) override;
    void clearReadOnly(const std::string& path) override;
    uint32_t deleteFile(const std::string& path) override;
    uint32_t removeDirectory(const std::string& path) override;
    bool copyOver(const std::string& from, const std::string& to) override;
    bool lastWriteTime(const std::string& path, uint32_t& high, uint32_t& low) override;
    bool fileVersion(const std::string& path, uint32_t& ms, uint32_t& ls) override;
    void unregisterComServer(const std::string& path) override;
};

// Removes a file's COM registrations: a type library, a server (.exe) or an in-process server.
void unregisterComServer(const std::string& path);

}  // namespace corvel
