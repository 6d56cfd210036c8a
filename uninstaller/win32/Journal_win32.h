#pragma once
// The progress journal in the registry: one key per record and uninstaller file, below
// HKEY_LOCAL_MACHINE\Software\CorvelUninstaller\Progress. It lives outside every installed
// folder, so it never keeps one from being removed.
#include <windows.h>

#include <cstdint>
#include <string>

#include "Handles_win32.h"
#include "Removal.h"

namespace corvel {

constexpr char kJournalParent[] = "Software\\CorvelUninstaller";
constexpr char kJournalRoot[] = "Software\\CorvelUninstaller\\Progress";

// Volume serial number, file index and last-write time: they stay with the file when it moves
// on its volume. The change time moves on whenever the file's content or metadata is changed
// (a copy over it, a rename of the file itself), but not when a folder above it is renamed.
struct FileIdentity {
    bool known = false;
    uint32_t volumeSerial = 0;
    uint64_t fileIndex = 0;
    uint64_t lastWrite = 0;
    uint64_t changeTime = 0;  // 0 where the file system keeps none
};
FileIdentity fileIdentity(const std::wstring& path);

class Win32JournalStore : public JournalStore {
public:
    // Opens or creates the entry `name` and loads what it holds; false when the registry refuses.
    // An entry last seen with another change time belongs to a file written since (a reinstall
    // copied over the old uninstaller): it starts afresh.
    bool open(const std::string& name, uint64_t changeTime, JournalState& loaded);
    // Where the uninstaller file is now, and its change time after this run moved it.
    void setPath(const std::wstring& path, uint64_t changeTime);
    bool save(const JournalState& state) override;

private:
    UniqueHKey key_;
};

// Finds an entry's file on its volume by file id, whatever its path is now.
class VolumeFileLookup : public JournalFileLookup {
public:
    FileLookup find(const JournalIdentity& id) override;
};

// Deletes the entries whose uninstaller file is known to be gone, never `own`, then the
// journal's keys when they are left empty.
void pruneJournal(const std::string& own, JournalFileLookup& files);

}  // namespace corvel
