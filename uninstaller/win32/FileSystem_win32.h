#pragma once
// The removal stages' file operations on the real file system.
#include <windows.h>

#include <string>

#include "Removal.h"

namespace corvel {

class Win32FileSystem : public FileSystemSeam {
public:
    bool exists(const std::string& path) override;
    void clearReadOnly(const std::string& path) override;
    uint32_t deleteFile(const std::string& path) override;
    uint32_t removeDirectory(const std::string& path) override;
    std::string copyInto(const std::string& from, const std::string& folder) override;
    uint32_t replace(const std::string& from, const std::string& to) override;
    bool moveAtRestart(const std::string& from, const std::string& to) override;
    FolderFacts folderFacts(const std::string& folder) override;
    KnownFolders knownFolders() override;
    bool lastWriteTime(const std::string& path, uint32_t& high, uint32_t& low) override;
    bool fileVersion(const std::string& path, uint32_t& ms, uint32_t& ls) override;
    void unregisterComServer(const std::string& path) override;

private:
    KnownFolders known_;
    bool knownRead_ = false;
};

// An ANSI path as UTF-16 for the wide functions, with "\\\\?\\" before it once it is MAX_PATH
// characters or longer.
std::wstring longPath(const std::string& ansiPath);

// The flush of a restored backup's copy; tests put one in that fails or records.
using FlushFunction = BOOL(WINAPI*)(HANDLE);
void setFlushFunction(FlushFunction fn);

// Where the names of a restored backup's copies start (the tick count and process id); tests
// put a fixed one in to plant something at the first name. Null restores it.
using CopyNameSeed = DWORD (*)();
void setCopyNameSeed(CopyNameSeed fn);

// Runs once the folder parts of a path are held and checked, right before it is deleted;
// tests put one in that tries to swap a folder. Null removes it.
using AfterFoldersHeldHook = void (*)(const std::string& path);
void setAfterFoldersHeldHook(AfterFoldersHeldHook hook);

// Whether deletions go through SetFileInformationByHandle where the system has it; tests turn
// it off to take the deletion by path of systems without it.
void setDeleteByHandle(bool allowed);

// Where a junction or symbolic link leads, as its substitute name ("\\??\\C:\\Users"); empty
// when `path` is neither, or cannot be read.
std::string reparseTarget(const std::string& path);
// The system's own folders, from the profile list in the registry.
KnownFolders readKnownFolders();

// Loads an in-process server for its unregistration: with the safe search flags where the
// system knows them (SetDefaultDllDirectories is present), by full path with the altered
// search order otherwise. `load` is LoadLibraryExA; tests put a recording one in.
using LoadLibraryExFunction = HMODULE(WINAPI*)(LPCSTR, HANDLE, DWORD);
bool searchFlagsSupported();
HMODULE loadServerLibrary(const std::string& path, LoadLibraryExFunction load, bool searchFlags);

// Removes a file's COM registrations: a type library, a server (.exe) or an in-process server.
void unregisterComServer(const std::string& path);

}  // namespace corvel
