#include "FileSystem_win32.h"

#include <windows.h>

#include <vector>

#include "Handles_win32.h"
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

bool Win32FileSystem::copyOver(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
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
