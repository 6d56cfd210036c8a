#include "file_io.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace tessory {

UniqueFile OpenFile(const std::string& path, const char* mode) {
    return UniqueFile(std::fopen(path.c_str(), mode));
}

bool FileExists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DeleteFileAt(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || !FileExists(path);
}

bool ReplaceFileWith(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

std::string ToFileText(const std::string& utf8) { return utf8; }

bool ToFileTextExactly(const std::string& utf8, std::string& out) {
    out = utf8;
    return true;
}

std::string FileTextToUtf8(const std::string& text) { return text; }

int LastFileError() { return errno; }

std::string FileErrorText(int error) { return std::strerror(error); }

}  // namespace tessory
