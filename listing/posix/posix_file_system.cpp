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

DateTime FromParts(const std::tm& parts) {
    return DateTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

// The calendar date of a day count from 1970-01-01 (proleptic Gregorian).
void CivilFromDays(std::int64_t days, DateTime& out) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    out.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
    out.month = static_cast<int>(month);
    out.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
}

}  // namespace

DateTime ShiftedUtc(std::int64_t seconds) {
    DateTime t;
    std::int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    auto rest = static_cast<int>(seconds - days * 86400);
    CivilFromDays(days, t);
    t.hour = rest / 3600;
    t.minute = rest / 60 % 60;
    t.second = rest % 60;
    return t;
}

DateTime LocalTimeCache::LocalTime(std::int64_t seconds) {
    std::optional<std::int32_t> offset;
    return LocalTime(seconds, offset);
}

DateTime LocalTimeCache::LocalTime(std::int64_t seconds, std::optional<std::int32_t>& offset) {
    // Files of a folder were mostly written close together: one time-zone lookup per quarter of an
    // hour does for all of them. The quarter's offset is used only where both of its ends agree
    // with the plain sum (no change of offset, no leap second inside it); otherwise ask each time.
    constexpr std::int64_t kSpan = 900;
    constexpr std::int64_t kFar = std::int64_t{1} << 50;  // beyond any calendar, and no overflow below
    if (seconds > -kFar && seconds < kFar) {
        const std::int64_t start = (seconds >= 0 ? seconds / kSpan : (seconds - kSpan + 1) / kSpan) * kSpan;
        if (!known_ || start != start_) {
            known_ = true;
            start_ = start;
            offset_.reset();
            std::tm first{}, last{};
            time_t a = static_cast<time_t>(start), b = static_cast<time_t>(start + kSpan - 1);
            if (localtime_r(&a, &first) && localtime_r(&b, &last) && first.tm_gmtoff == last.tm_gmtoff &&
                FromParts(first) == ShiftedUtc(start + first.tm_gmtoff) &&
                FromParts(last) == ShiftedUtc(start + kSpan - 1 + last.tm_gmtoff)) {
                offset_ = first.tm_gmtoff;
                startTime_ = FromParts(first);
            }
        }
        if (offset_) {
            offset = static_cast<std::int32_t>(*offset_);
            // Within the hour the quarter starts in, only the minutes and seconds move.
            const auto intoHour = static_cast<int>(startTime_.minute * 60 + startTime_.second + (seconds - start));
            if (intoHour >= 3600) return ShiftedUtc(seconds + *offset_);
            DateTime t = startTime_;
            t.minute = intoHour / 60;
            t.second = intoHour % 60;
            return t;
        }
    }
    std::tm parts{};
    time_t t = static_cast<time_t>(seconds);
    if (localtime_r(&t, &parts) != nullptr) offset = static_cast<std::int32_t>(parts.tm_gmtoff);
    return FromParts(parts);
}

namespace {

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
    std::string name;
    unsigned char type;
};

bool IsAscii(const char* name) {
    for (; *name; ++name) {
        if (static_cast<unsigned char>(*name) >= 0x80) return false;
    }
    return true;
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// WalkOrderKey order for ASCII names, without making the keys: an ASCII byte is one code unit.
bool AsciiKeyLess(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    for (;;) {
        // Bytes both names share upper-case alike: skip them eight at a time (names share prefixes).
        for (std::uint64_t x, y; i + 8 <= n; i += 8) {
            std::memcpy(&x, a.data() + i, 8);
            std::memcpy(&y, b.data() + i, 8);
            if (x != y) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
                i += static_cast<size_t>(__builtin_ctzll(x ^ y)) / 8;  // the first byte that differs
#endif
                break;
            }
        }
        while (i < n && a[i] == b[i]) ++i;
        if (i == n) break;
        char x = AsciiUpper(a[i]), y = AsciiUpper(b[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
        ++i;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // names that differ only in case: by bytes
}

void FillFromStat(FileInfo& file, const struct stat& info, LocalTimeCache& times) {
    file.length = static_cast<std::uint64_t>(info.st_size);
    file.modified = times.LocalTime(info.st_mtime, file.modifiedOffset);
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
    bool allAscii = true;
    while (struct dirent* entry = readdir(dir.get())) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        allAscii = allAscii && IsAscii(name);
        entries.push_back(Entry{name, ignoreEntryTypes_ ? static_cast<unsigned char>(DT_UNKNOWN) : entry->d_type});
    }
    // Sorted by index: moving an index is cheaper than moving an entry.
    std::vector<std::uint32_t> order(entries.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    if (allAscii) {
        std::sort(order.begin(), order.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return AsciiKeyLess(entries[a].name, entries[b].name); });
    } else {
        std::vector<std::u16string> keys;
        keys.reserve(entries.size());
        for (const Entry& entry : entries) keys.push_back(WalkOrderKey(entry.name));
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            // names that differ only in case: by bytes
            return keys[a] != keys[b] ? keys[a] < keys[b] : entries[a].name < entries[b].name;
        });
    }
    FileInfo file;
    for (std::uint32_t index : order) {
        Entry& entry = entries[index];
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
        if (known) FillFromStat(file, info, times_);
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
