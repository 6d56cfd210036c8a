#pragma once
// The removal stages over narrow seams, so that their rules run the same on Windows and
// in the native tests.
#include <cstdint>
#include <string>

#include "TextBuffer.h"

namespace corvel {

// What could not be removed, and what waits for the next restart. One entry per CR LF line.
struct RemovalLogs {
    TextBuffer files;
    TextBuffer directories;
    TextBuffer keys;
    TextBuffer inUse;
    bool anyNotRemoved() const { return !files.empty() || !directories.empty() || !keys.empty(); }
};

namespace syserr {
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kPathNotFound = 3;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kSharingViolation = 32;
}  // namespace syserr

class FileSystemSeam {
public:
    virtual ~FileSystemSeam() = default;
    virtual bool exists(const std::string& path) = 0;
    virtual void clearReadOnly(const std::string& path) = 0;
    // 0 on success, otherwise the system error code.
    virtual uint32_t deleteFile(const std::string& path) = 0;
    virtual uint32_t removeDirectory(const std::string& path) = 0;
    virtual bool copyOver(const std::string& from, const std::string& to) = 0;
    // False when the file cannot be opened for reading.
    virtual bool lastWriteTime(const std::string& path, uint32_t& high, uint32_t& low) = 0;
    // False when the file has no readable version resource.
    virtual bool fileVersion(const std::string& path, uint32_t& ms, uint32_t& ls) = 0;
    virtual void unregisterComServer(const std::string& path) = 0;
};

// The shared-DLL reference counts (values named by the file path).
class SharedCounts {
public:
    virtual ~SharedCounts() = default;
    // False when the value is missing or unreadable.
    virtual bool read(const std::string& path, uint32_t& count) = 0;
    virtual void write(const std::string& path, uint32_t count) = 0;
    virtual void remove(const std::string& path) = 0;
};

namespace shared {
constexpr int kYes = 1005;
constexpr int kNo = 1006;
constexpr int kYesToAll = 1007;
constexpr int kNoToAll = 1008;
}  // namespace shared

class SharedFileQuestion {
public:
    virtual ~SharedFileQuestion() = default;
    // One of the shared:: results, or anything else when the dialog could not be shown.
    virtual int ask(const std::string& path) = 0;
};

// `counts` null means the shared-DLL key could not be opened: the stage does nothing.
// `question` null counts as silent (everything whose count runs out is removed).
void removeSharedFiles(const TextBuffer& section, SharedCounts* counts, FileSystemSeam& fs,
                       SharedFileQuestion* question, bool silent);

struct BackupLine {
    std::string backup;
    std::string target;
    uint32_t versionMs = 0, versionLs = 0, timeHigh = 0, timeLow = 0;
};
// False when the line lacks its first field.
bool parseBackupLine(const TextBuffer& line, BackupLine& out);
// Decimal with 32-bit wrap-around, signed or unsigned; stops at the first non-digit.
uint32_t parseWrappedDecimal(const std::string& text);

void processBackups(const TextBuffer& section, FileSystemSeam& fs, bool restore);
void removeFiles(const TextBuffer& section, FileSystemSeam& fs, RemovalLogs& logs);
void removeDirectories(const TextBuffer& section, FileSystemSeam& fs, RemovalLogs& logs);

}  // namespace corvel
