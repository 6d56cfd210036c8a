#include "FileSystem_win32.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "Handles_win32.h"
#include "RestartDelete_win32.h"
#include "SystemLibraries_win32.h"

namespace corvel {

bool Win32FileSystem::exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Win32FileSystem::clearReadOnly(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

uint32_t Win32FileSystem::deleteFile(const std::string& path) {
    return DeleteFileA(path.c_str()) ? 0 : GetLastError();
}

uint32_t Win32FileSystem::removeDirectory(const std::string& path) {
    return RemoveDirectoryA(path.c_str()) ? 0 : GetLastError();
}

std::string Win32FileSystem::copyInto(const std::string& from, const std::string& folder) {
    char name[MAX_PATH + 1] = {};
    if (!GetTempFileNameA(folder.c_str(), "cvr", 0, name)) return std::string();
    if (!CopyFileA(from.c_str(), name, FALSE)) {
        DeleteFileA(name);
        return std::string();
    }
    // On disk before it replaces anything, so that a power cut cannot leave a torn target.
    UniqueHandle copy(CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (copy.valid()) FlushFileBuffers(copy.get());
    return name;
}

uint32_t Win32FileSystem::replace(const std::string& from, const std::string& to) {
    clearReadOnly(to);
    return replaceFileAtOnce(from.c_str(), to.c_str()) ? 0 : GetLastError();
}

bool Win32FileSystem::moveAtRestart(const std::string& from, const std::string& to) {
    if (to.empty()) return deleteAtRestart(from);
    return delayedMoveFunction()(from.c_str(), to.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != 0;
}

FolderLink Win32FileSystem::folderLink(const std::string& folder) {
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return FolderLink::kPlain;
    return trustedOwner(reparsePointOwner(folder)) ? FolderLink::kTrusted : FolderLink::kUntrusted;
}

std::string reparsePointOwner(const std::string& path) {
    // The reparse point itself, not what it points to.
    UniqueHandle file(CreateFileA(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
    if (!file.valid()) return std::string();
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
        return std::string();
    }
    std::string result;
    char* text = nullptr;
    if (owner && ConvertSidToStringSidA(owner, &text)) {
        result = text;
        LocalFree(text);
    }
    LocalFree(descriptor);
    return result;
}

bool Win32FileSystem::lastWriteTime(const std::string& path, uint32_t& high, uint32_t& low) {
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) return false;
    FILETIME written = {};
    if (!GetFileTime(file.get(), nullptr, nullptr, &written)) written = FILETIME();
    high = written.dwHighDateTime;
    low = written.dwLowDateTime;
    return true;
}

bool Win32FileSystem::fileVersion(const std::string& path, uint32_t& ms, uint32_t& ls) {
    DWORD size = 0;
    if (!versionInfoSize(path.c_str(), size)) return false;
    std::vector<char> data(size);
    void* fixed = nullptr;
    UINT length = 0;
    if (!versionInfo(path.c_str(), size, data.data()) || !versionQuery(data.data(), "\\", &fixed, &length) ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    ms = info->dwFileVersionMS;
    ls = info->dwFileVersionLS;
    return true;
}

void Win32FileSystem::unregisterComServer(const std::string& path) { corvel::unregisterComServer(path); }

}  // namespace corvel
