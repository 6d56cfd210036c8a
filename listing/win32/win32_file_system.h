#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "listing/file_system.h"

namespace tessory {

// The walk on Windows: wide-character enumeration (one pass gives length, time and attributes,
// so a name the ANSI code page cannot hold keeps its true values) and the shell's type names.
// Folders that stand for another place (junctions, mount points, symbolic links) are not
// walked, so none can make the walk loop; other reparse points (cloud-synchronised or
// deduplicated folders) are ordinary folders to the walk.
class Win32FileSystem : public FileSystem {
public:
    bool ReadFolder(const std::string& folder, const std::function<void(const FileInfo&)>& onFile,
                    std::vector<std::string>& subfolders) override;
    // The shell's type name, from the name alone; asked once per extension in the life of this object.
    std::string TypeName(const std::string& fileName) override;
    std::string JoinPath(const std::string& folder, const std::string& name) const override;
    std::int64_t LinksNotFollowed() const override { return linksNotFollowed_; }

protected:
    // The enumeration's next entry (FindNextFileW); a seam for tests of a failure part way.
    virtual BOOL FindNext(HANDLE find, WIN32_FIND_DATAW& data);

private:
    BOOL NextEntry(HANDLE find, WIN32_FIND_DATAW& data);

    std::int64_t linksNotFollowed_ = 0;
    std::map<std::wstring, std::string> typeNames_;
};

// The path made absolute (relative parts and ".." resolved) and, when it reaches MAX_PATH, in the
// extended-length form "\\?\" that the file functions need beyond it; short paths stay as given.
std::wstring ExtendedLengthPath(const std::wstring& path);

// For its lifetime, a 32-bit program on 64-bit Windows sees the true System32 instead of SysWOW64
// (file-system redirection off). Keep it around single file-system calls only: a DLL loaded
// meanwhile would come from the wrong folder. Does nothing in 64-bit builds and where the system
// has no redirection (the functions are looked up at run time, so 32-bit Windows runs the program).
class FileSystemRedirectionOff {
public:
    FileSystemRedirectionOff();
    ~FileSystemRedirectionOff();
    FileSystemRedirectionOff(const FileSystemRedirectionOff&) = delete;
    FileSystemRedirectionOff& operator=(const FileSystemRedirectionOff&) = delete;

private:
    void* previous_ = nullptr;
    bool off_ = false;
};

// True for a reparse tag whose folder the walk enters: any tag that is not a name surrogate.
// No tag at all (0, as Wine reports a Unix link to a folder) is taken as a link.
bool WalksIntoReparsePoint(std::uint32_t tag);

}  // namespace tessory
