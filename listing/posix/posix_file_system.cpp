#include "posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <wctype.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <cstring>
#include <memory>

#include "listing/column_values.h"
#include "listing/type_names.h"

namespace tessory {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

DateTime LocalTimeOf(time_t seconds, std::optional<std::int32_t>& offset) {
    std::tm parts{};
    if (localtime_r(&seconds, &parts) != nullptr) offset = static_cast<std::int32_t>(parts.tm_gmtoff);
    return DateTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

// The C library's own case mapping for all of Unicode, whatever the process's locale; without a
// UTF-8 locale only ASCII letters are mapped.
locale_t UnicodeLocale() {
    static locale_t locale = [] {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
            if (locale_t l = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr))) return l;
        }
        return static_cast<locale_t>(nullptr);
    }();
    return locale;
}

char32_t Upper(char32_t c) {
    if (c < 0x80) return (c >= U'a' && c <= U'z') ? c - 32 : c;
    locale_t locale = UnicodeLocale();
    return locale ? static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), locale)) : c;
}

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

struct Entry {
    std::u16string key;
    std::string name;
    unsigned char type;
};

void FillFromStat(FileInfo& file, const struct stat& info) {
    file.length = static_cast<std::uint64_t>(info.st_size);
    file.modified = LocalTimeOf(info.st_mtime, file.modifiedOffset);
    std::uint32_t attributes = 0;
    if (file.name[0] == '.') attributes |= kAttrHidden;
    if (!(info.st_mode & S_IWUSR)) attributes |= kAttrReadOnly;
    file.attributes = attributes;
}

}  // namespace

std::u16string WalkOrderKey(std::string_view name) {
    std::u16string key;
    key.reserve(name.size());
    size_t i = 0;
    while (i < name.size()) {
        auto byte = static_cast<unsigned char>(name[i]);
        size_t length = Utf8SequenceLength(name, i);
        if (length == 0) {
            // A byte that is not UTF-8 sorts as the lone surrogate a byte-preserving decoder makes of it.
            key += static_cast<char16_t>(0xDC00 + byte);
            ++i;
            continue;
        }
        char32_t c = length == 1 ? byte : byte & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(name[i + k]) & 0x3F);
        AppendUtf16(key, Upper(c));
        i += length;
    }
    return key;
}

bool PosixFileSystem::ReadFolder(const std::string& folder, const std::function<void(const FileInfo&)>& onFile,
                                 std::vector<std::string>& subfolders) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) return false;
    int dirFd = dirfd(dir.get());
    // Storage order on POSIX file systems is arbitrary: list in the order a case-insensitive
    // Windows volume keeps, so that a listing is reproducible and reads like one made there.
    std::vector<Entry> entries;
    while (struct dirent* entry = readdir(dir.get())) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        entries.push_back(Entry{WalkOrderKey(name), name, entry->d_type});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.key != b.key ? a.key < b.key : a.name < b.name;  // names that differ only in case: by bytes
    });
    FileInfo file;
    for (Entry& entry : entries) {
        file.name = std::move(entry.name);
        const char* name = file.name.c_str();
        file.length.reset();
        file.modified.reset();
        file.modifiedOffset.reset();
        file.attributes.reset();
        struct stat info;
        unsigned char type = entry.type;
        if (type == DT_UNKNOWN && fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
            type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISLNK(info.st_mode) ? DT_LNK : DT_REG;
        }
        if (type == DT_DIR) {
            subfolders.push_back(JoinPath(folder, file.name));
            continue;
        }
        bool known = fstatat(dirFd, name, &info, 0) == 0;
        // A dangling link lists nothing; a linked folder is neither a file nor walked.
        if ((!known && type == DT_LNK) || (known && S_ISDIR(info.st_mode))) {
            ++linksNotFollowed_;
            continue;
        }
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
