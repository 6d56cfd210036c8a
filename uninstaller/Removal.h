#pragma once
// The removal stages over narrow seams, so that their rules run the same on Windows and
// in the native tests.
#include <cstdint>
#include <string>
#include <vector>

#include "TextBuffer.h"

namespace corvel {

// What could not be removed, and what waits for the next restart. One entry per CR LF line.
struct RemovalLogs {
    TextBuffer files;
    TextBuffer directories;
    TextBuffer keys;
    TextBuffer inUse;
    // A restored file waits for the next restart to replace its target.
    bool replacementScheduled = false;
    bool anyNotRemoved() const { return !files.empty() || !directories.empty() || !keys.empty(); }
};

namespace syserr {
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kPathNotFound = 3;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kSharingViolation = 32;
constexpr uint32_t kLockViolation = 33;
}  // namespace syserr

// What a folder part of a path is, as far as acting through it is concerned.
struct FolderFacts {
    bool reparsePoint = false;
    bool hidden = false;
    bool system = false;
    std::string target;  // where a junction or symbolic link leads ("C:\\Users"); empty when unknown
};

// The system's own folders that its compatibility junctions stand in for, as full paths.
struct KnownFolders {
    std::string systemDrive;  // "C:"
    std::string profiles;     // "C:\\Users"
    std::string programData;  // "C:\\ProgramData"
    std::string publicFolder; // "C:\\Users\\Public"
};

class FileSystemSeam {
public:
    virtual ~FileSystemSeam() = default;
    virtual bool exists(const std::string& path) = 0;
    virtual void clearReadOnly(const std::string& path) = 0;
    // 0 on success, otherwise the system error code.
    virtual uint32_t deleteFile(const std::string& path) = 0;
    virtual uint32_t removeDirectory(const std::string& path) = 0;
    // Copies `from` to a new file in `folder`; the new file's path, or empty when it cannot.
    virtual std::string copyInto(const std::string& from, const std::string& folder) = 0;
    // Puts `from` in place of `to` in one rename (to may be missing); 0 or the system error code.
    virtual uint32_t replace(const std::string& from, const std::string& to) = 0;
    // Delayed until the next restart: `from` moved over `to`, or deleted when `to` is empty.
    // False when the system refuses the request.
    virtual bool moveAtRestart(const std::string& from, const std::string& to) = 0;
    virtual FolderFacts folderFacts(const std::string& folder) = 0;
    virtual KnownFolders knownFolders() = 0;
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
    enum class Read { kCount, kMissing, kUnreadable };
    // kUnreadable: the value is there but is no 32-bit count (another type or size).
    virtual Read read(const std::string& path, uint32_t& count) = 0;
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
    // One of the shared:: results, or anything else when the dialog could not be shown (which
    // counts as "No": only an explicit Yes removes a file).
    virtual int ask(const std::string& path) = 0;
};

// Which shared entries this record has already lowered, and which stages are complete, so
// that a run stopped part-way (or repeated after "/NOREMOVE") never lowers a count twice.
struct JournalState {
    uint32_t sharedDone = 0;  // entries 0 .. sharedDone - 1 of the Shared section are done
    uint32_t stages = 0;      // journal:: stage bits
};
namespace journal {
constexpr uint32_t kShared = 0x1;
constexpr uint32_t kBackups = 0x2;
constexpr uint32_t kFiles = 0x4;
constexpr uint32_t kDirectories = 0x8;
constexpr uint32_t kRegistry = 0x10;
constexpr uint32_t kComplete = 0x80;
}  // namespace journal

class JournalStore {
public:
    virtual ~JournalStore() = default;
    // Saves and returns only once the state is on disk; false when it cannot.
    virtual bool save(const JournalState& state) = 0;
};

class ProgressJournal {
public:
    ProgressJournal(JournalStore& store, const JournalState& loaded) : store_(store), state_(loaded) {}
    bool sharedDone(uint32_t index) const { return index < state_.sharedDone || stageDone(journal::kShared); }
    // False when the entry could not be written and flushed: the step must not be taken.
    bool markShared(uint32_t index);
    bool stageDone(uint32_t stage) const { return (state_.stages & stage) != 0; }
    bool markStage(uint32_t stage);
    const JournalState& state() const { return state_; }

private:
    JournalStore& store_;
    JournalState state_;
};

// The journal's name for one record in one uninstaller file: the record's hash and the file's
// volume serial number, file index and last-write time, as hexadecimal digits. All three stay
// with the file when it moves on its volume; the time also tells apart a new file that reuses
// a deleted one's index (file systems without sequence numbers in their indexes do that).
std::string journalName(uint64_t recordHash, uint32_t volumeSerial, uint64_t fileIndex, uint64_t lastWrite);

struct JournalIdentity {
    uint32_t volumeSerial = 0;
    uint64_t fileIndex = 0;
    uint64_t lastWrite = 0;
};
// False when `name` is not one that journalName makes.
bool parseJournalName(const std::string& name, uint64_t& recordHash, JournalIdentity& id);

// Whether the uninstaller file of an entry is still there, found by its identity alone (its
// path may have changed with a renamed folder or drive letter).
enum class FileLookup { kPresent, kGone, kUnknown };
class JournalFileLookup {
public:
    virtual ~JournalFileLookup() = default;
    virtual FileLookup find(const JournalIdentity& id) = 0;
};
// The entries that may go: only those whose file is known to be gone. `own` (this run's entry),
// names journalName did not make, and every doubt (an absent volume, a failed look-up) stay.
std::vector<std::string> prunableJournalEntries(const std::vector<std::string>& names, const std::string& own,
                                                JournalFileLookup& files);

// One of the system's own compatibility junctions (such as "C:\\Documents and Settings" for
// "C:\\Users"), known by what it is: hidden and system, at a known old name, leading to the very
// folder that name stands for. Who owns it proves nothing: a user who may write to an empty
// folder that Administrators own can turn it into a mount point that they still own.
bool compatibilityJunction(const std::string& link, const FolderFacts& facts, const KnownFolders& known);

// The folders `path` is reached through, outermost first, each as a full path: the drive or
// share root excluded, the last part too.
std::vector<std::string> folderParts(const std::string& path);

// False when a folder part of `path` (the drive or share root excluded, the last part too) is
// a reparse point other than a compatibility junction: acting through it could delete or
// overwrite files elsewhere.
bool safeToActOn(const std::string& path, FileSystemSeam& fs);

// `counts` null means the shared-DLL key could not be opened: the stage does nothing.
// `question` null counts as silent (everything whose count runs out is removed).
// `journal` (may be null) skips the entries already done and records each one before it acts;
// once an entry cannot be recorded, nothing more is lowered and the lines left are logged.
// True when the whole stage was done (and so may be marked complete).
bool removeSharedFiles(const TextBuffer& section, SharedCounts* counts, FileSystemSeam& fs,
                       SharedFileQuestion* question, bool silent, RemovalLogs& logs,
                       ProgressJournal* journal = nullptr);

struct BackupLine {
    std::string backup;
    std::string target;
    uint32_t versionMs = 0, versionLs = 0, timeHigh = 0, timeLow = 0;
};
// False when the line lacks its first field.
bool parseBackupLine(const TextBuffer& line, BackupLine& out);
// Decimal with 32-bit wrap-around, signed or unsigned; stops at the first non-digit.
uint32_t parseWrappedDecimal(const std::string& text);

// Restoring never loses a backup: it is deleted only once its target holds its content (or the
// replacement is scheduled for the next restart); otherwise it stays and the target is logged.
void processBackups(const TextBuffer& section, FileSystemSeam& fs, bool restore, RemovalLogs& logs);
void removeFiles(const TextBuffer& section, FileSystemSeam& fs, RemovalLogs& logs);
void removeDirectories(const TextBuffer& section, FileSystemSeam& fs, RemovalLogs& logs);

class RestartScheduler {
public:
    virtual ~RestartScheduler() = default;
    // False when the deletion could not be arranged.
    virtual bool deleteAtRestart(const std::string& path) = 0;
};
// Schedules every in-use entry longer than 3 bytes. A refused entry goes into the
// files-not-removed log. True when anything was scheduled (a restart is then needed).
bool scheduleInUse(RemovalLogs& logs, RestartScheduler& scheduler);

}  // namespace corvel
