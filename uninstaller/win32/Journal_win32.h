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

constexpr char kJournalRoot[] = "Software\\CorvelUninstaller\\Progress";

// Volume serial number, file index and last-write time: they stay with the file when it moves
// on its volume.
struct FileIdentity {
    bool known = false;
    uint32_t volumeSerial = 0;
    uint64_t fileIndex = 0;
    uint64_t lastWrite = 0;
};
FileIdentity fileIdentity(const std::string& path);

class Win32JournalStore : public JournalStore {
public:
    // Opens or creates the entry `name` and loads what it holds; false when the registry refuses.
    bool open(const std::string& name, JournalState& loaded);
    // Where the uninstaller file is now; the entry goes once no such file is there.
    void setPath(const std::string& path);
    bool save(const JournalState& state) override;

private:
    UniqueHKey key_;
};

// Deletes the entries whose uninstaller file is gone (nothing with their identity at their path).
void pruneJournal();

}  // namespace corvel
