#include "posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <ctime>
#include <cstring>
#include <memory>

#include "listing/type_names.h"

namespace tessory {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

DateTime LocalTimeOf(time_t seconds) {
    std::tm parts{};
    localtime_r(&seconds, &parts);
    return DateTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

void FillFromStat(FileInfo& file, const struct stat& info) {
    file.length = static_cast<std::uint64_t>(info.st_size);
    file.modified = LocalTimeOf(info.st_mtime);
    std::uint32_t attributes = 0;
    if (file.name[0] == '.') attributes |= kAttrHidden;
    if (!(info.st_mode & S_IWUSR)) attributes |= kAttrReadOnly;
    file.attributes = attributes;
}

}  // namespace

bool PosixFileSystem::ReadFolder(const std::string& folder, const std::function<void(const FileInfo&)>& onFile,
                                 std::vector<std::string>& subfolders) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return false;
    int dirFd = dirfd(dir.get());
    FileInfo file;
    while (struct dirent* entry = readdir(dir.get())) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        file.name = name;
        file.length.reset();
        file.modified.reset();
        file.attributes.reset();
        struct stat info;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN && fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
            type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISLNK(info.st_mode) ? DT_LNK : DT_REG;
        }
        if (type == DT_DIR) {
            subfolders.push_back(JoinPath(folder, file.name));
            continue;
        }
        bool known = fstatat(dirFd, name, &info, 0) == 0;
        if (!known && type == DT_LNK) continue;  // a dangling link lists nothing
        if (known && S_ISDIR(info.st_mode)) continue;  // a linked folder is neither a file nor walked
        // A file that vanished between the listing and the query is still counted, without a length.
        if (known) FillFromStat(file, info);
        onFile(file);
    }
    return true;
}

std::string PosixFileSystem::TypeName(const std::string& fileName) { return TypeNameFromExtension(fileName); }

std::string PosixFileSystem::JoinPath(const std::string& folder, const std::string& name) const {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

}  // namespace tessory
