#include "data_writers.h"

#include <cstring>
#include <ctime>

#include "listing/column_values.h"

namespace tessory {
namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t FieldsAsUtc(const DateTime& t) {
    return DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) * 86400 +
           t.hour * 3600 + t.minute * 60 + t.second;
}

// Offset of local time from UTC, in seconds, at a local time. Files of one folder mostly share
// the hour, and the time zone rules are slow to ask, so the last answer is kept per hour.
std::int64_t LocalOffset(const DateTime& local) {
    thread_local DateTime lastHour{-1, 0, 0, 0, 0, 0};  // mutate: skip (no file has a time of month 0)
    thread_local std::int64_t lastOffset = 0;
    DateTime hour = local;
    hour.minute = hour.second = 0;
    if (hour == lastHour) return lastOffset;
    std::tm fields{};
    fields.tm_year = local.year - 1900;
    fields.tm_mon = local.month - 1;
    fields.tm_mday = local.day;
    fields.tm_hour = local.hour;
    fields.tm_isdst = -1;
    const std::time_t epoch = std::mktime(&fields);
    lastOffset = epoch == static_cast<std::time_t>(-1) ? 0 : FieldsAsUtc(hour) - static_cast<std::int64_t>(epoch);
    lastHour = hour;
    return lastOffset;
}

// Written from the end of a buffer and appended at once: called several times for every file.
void AppendDigits(std::string& out, std::uint64_t v, int width) {
    char digits[24];
    char* start = digits + sizeof digits;
    do {
        *--start = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    for (int i = static_cast<int>(digits + sizeof digits - start); i < width && start > digits; ++i) *--start = '0';
    out.append(start, static_cast<size_t>(digits + sizeof digits - start));
}

bool ReadDigits(std::string_view text, size_t at, size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// True when every byte is printable ASCII other than the given specials: such text needs no
// repair and no quoting, which is what almost every name is.
template <char Special1, char Special2>
bool PlainAscii(std::string_view text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == Special1 || c == Special2) return false;
    }
    return true;  // mutate: skip (false only sends plain text down the full path, to the same result)
}

bool StartsFormula(std::string_view text) { return !text.empty() && std::strchr("=+-@\t\r", text[0]) != nullptr; }

void AppendCsvField(std::string& out, std::string_view text, bool guardFormulas) {
    if (guardFormulas && StartsFormula(text)) {
        out += CsvField(text, true);
    } else if (PlainAscii<',', '"'>(text)) {
        out.append(text);
    } else {
        out += CsvField(text);
    }
}

void AppendJsonString(std::string& out, std::string_view text) {
    if (PlainAscii<'"', '\\'>(text)) {
        out += '"';
        out.append(text);
        out += '"';
    } else {
        out += JsonString(text);
    }
}

}  // namespace

std::int64_t LocalToEpoch(const DateTime& local) { return FieldsAsUtc(local) - LocalOffset(local); }

std::string Iso8601Local(const DateTime& local) { return Iso8601(local, LocalOffset(local)); }

void AppendIso8601Local(std::string& out, const DateTime& local) { AppendIso8601(out, local, LocalOffset(local)); }

std::string Iso8601(const DateTime& local, std::int64_t offset) {
    std::string out;
    AppendIso8601(out, local, offset);
    return out;
}

void AppendIso8601(std::string& out, const DateTime& local, std::int64_t offset) {
    // Called for every file: fields of their usual widths go through one buffer and one append.
    const std::int64_t offsetMinutes = (offset < 0 ? -offset : offset) / 60;
    // mutate: skip on the next three lines (bounds of the quick way only: the long way writes the
    // same text for every value both take)
    if (local.year >= 0 && local.year <= 9999 && local.month >= 0 && local.month <= 99 && local.day >= 0 &&  // mutate: skip
        local.day <= 99 && local.hour >= 0 && local.hour <= 99 && local.minute >= 0 && local.minute <= 99 &&  // mutate: skip
        local.second >= 0 && local.second <= 99 && offset % 60 == 0 && offsetMinutes / 60 <= 99) {  // mutate: skip
        char text[25];
        const auto put = [&text](size_t at, std::int64_t value, size_t width) {
            for (size_t i = width; i-- > 0; value /= 10) text[at + i] = static_cast<char>('0' + value % 10);
        };
        put(0, local.year, 4);
        text[4] = '-';
        put(5, local.month, 2);
        text[7] = '-';
        put(8, local.day, 2);
        text[10] = 'T';
        put(11, local.hour, 2);
        text[13] = ':';
        put(14, local.minute, 2);
        text[16] = ':';
        put(17, local.second, 2);
        text[19] = offset < 0 ? '-' : '+';
        put(20, offsetMinutes / 60, 2);
        text[22] = ':';
        put(23, offsetMinutes % 60, 2);
        out.append(text, sizeof text);
        return;
    }
    if (local.year < 0) out += '-';
    if (local.year > 9999) out += '+';
    AppendDigits(out, static_cast<std::uint64_t>(local.year < 0 ? -static_cast<std::int64_t>(local.year) : local.year), 4);
    out += '-';
    AppendDigits(out, static_cast<std::uint64_t>(local.month), 2);
    out += '-';
    AppendDigits(out, static_cast<std::uint64_t>(local.day), 2);
    out += 'T';
    AppendDigits(out, static_cast<std::uint64_t>(local.hour), 2);
    out += ':';
    AppendDigits(out, static_cast<std::uint64_t>(local.minute), 2);
    out += ':';
    AppendDigits(out, static_cast<std::uint64_t>(local.second), 2);
    out += offset < 0 ? '-' : '+';
    if (offset < 0) offset = -offset;
    AppendDigits(out, static_cast<std::uint64_t>(offset / 3600), 2);
    out += ':';
    AppendDigits(out, static_cast<std::uint64_t>(offset / 60 % 60), 2);
    if (offset % 60 != 0) {  // zone rules of old, local mean time
        out += ':';
        AppendDigits(out, static_cast<std::uint64_t>(offset % 60), 2);
    }
}

void AppendModified(std::string& out, const ListedFile& file) {
    if (!file.modified) return;
    if (file.modifiedOffset) AppendIso8601(out, *file.modified, *file.modifiedOffset);
    else AppendIso8601Local(out, *file.modified);
}

std::string ModifiedText(const ListedFile& file) {
    std::string out;
    AppendModified(out, file);
    return out;
}

std::optional<std::int64_t> ModifiedEpoch(const ListedFile& file) {
    if (!file.modified) return std::nullopt;
    if (!file.modifiedOffset) return LocalToEpoch(*file.modified);
    return FieldsAsUtc(*file.modified) - *file.modifiedOffset;
}

std::optional<std::int64_t> ParseIso8601(std::string_view text) {
    // The year: four digits, or a sign and at least four.
    size_t at = 0;
    int sign = 1;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        sign = text[0] == '-' ? -1 : 1;
        at = 1;
    }
    size_t digits = 0;
    while (at + digits < text.size() && text[at + digits] >= '0' && text[at + digits] <= '9') ++digits;
    if (at == 0 ? digits != 4 : digits < 4 || digits > 9) return std::nullopt;
    int year = 0;
    ReadDigits(text, at, digits, year);
    text.remove_prefix(at + digits);
    DateTime t;
    t.year = sign * year;
    if (text.size() < 16 || text[0] != '-' || text[3] != '-' || text[6] != 'T' || text[9] != ':' ||
        text[12] != ':' || !ReadDigits(text, 1, 2, t.month) || !ReadDigits(text, 4, 2, t.day) ||
        !ReadDigits(text, 7, 2, t.hour) || !ReadDigits(text, 10, 2, t.minute) || !ReadDigits(text, 13, 2, t.second))
        return std::nullopt;
    static const int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > kDaysInMonth[t.month - 1] + (t.month == 2 && leap) ||
        t.hour > 23 || t.minute > 59 || t.second > 59)
        return std::nullopt;
    text.remove_prefix(15);
    std::int64_t offset = 0;
    if (text == "Z") {
        offset = 0;
    } else {
        int hours = 0, minutes = 0, seconds = 0;
        if ((text.size() != 6 && text.size() != 9) || (text[0] != '+' && text[0] != '-') || text[3] != ':' ||
            !ReadDigits(text, 1, 2, hours) || !ReadDigits(text, 4, 2, minutes) || minutes > 59 ||
            (text.size() == 9 && (text[6] != ':' || !ReadDigits(text, 7, 2, seconds) || seconds > 59)))
            return std::nullopt;
        offset = ((hours * 60 + minutes) * 60 + seconds) * (text[0] == '-' ? -1 : 1);
    }
    return FieldsAsUtc(t) - offset;
}

std::string CsvField(std::string_view text, bool guardFormulas) {
    std::string valid = ValidUtf8(text);
    if (guardFormulas && StartsFormula(valid)) valid.insert(0, 1, '\'');
    if (valid.find_first_of(",\"\r\n") == std::string::npos) return valid;
    std::string out = "\"";
    for (char c : valid) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string JsonString(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    const std::string valid = ValidUtf8(text);
    std::string out = "\"";
    for (char c : valid) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (byte < 0x20) {
                    out += "\\u00";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0xF];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

std::string RawNameText(std::string_view name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(name.size() + 8);
    for (size_t i = 0; i < name.size();) {
        const auto byte = static_cast<unsigned char>(name[i]);
        const size_t length = Utf8SequenceLength(name, i);
        if (length == 0 || byte == '%') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
            ++i;
        } else {
            out.append(name, i, length);
            i += length;
        }
    }
    return out;
}

std::optional<std::string> ParseRawNameText(std::string_view text) {
    const auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = hex(text[i + 1]), low = hex(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

void AppendRawNameField(std::string& out, const char* key, std::string_view name) {
    if (PlainAscii<'\0', '\0'>(name)) return;
    size_t i = 0;
    for (size_t length; i < name.size() && (length = Utf8SequenceLength(name, i)) != 0;) i += length;
    if (i == name.size()) return;  // well-formed, the usual case: nothing to add
    out += ", \"";
    out += key;
    out += "\": ";
    out += JsonString(RawNameText(name));
}

bool CsvListingWriter::Opening(const ListingSettings&, const std::string&) {
    return output_.Write("Folder,Name,Extension,Type,Size,Modified,Attributes\r\n");
}

bool CsvListingWriter::Folder(const ListedFolder& folder) {
    buffer_.clear();
    std::string path;
    AppendCsvField(path, folder.path, guardFormulas_);
    for (const ListedFile& file : folder.files) {
        buffer_ += path;
        buffer_ += ',';
        AppendCsvField(buffer_, file.name, guardFormulas_);
        buffer_ += ',';
        AppendCsvField(buffer_, file.extension, guardFormulas_);
        buffer_ += ',';
        AppendCsvField(buffer_, file.type, guardFormulas_);
        buffer_ += ',';
        if (file.length) AppendDigits(buffer_, *file.length, 1);
        buffer_ += ',';
        AppendModified(buffer_, file);
        buffer_ += ',';
        if (file.attributes) AppendAttributeText(buffer_, *file.attributes);
        buffer_ += "\r\n";
    }
    return output_.Write(buffer_);
}

bool CsvListingWriter::Closing(const RunTotals&) { return output_.Flush(); }

bool JsonListingWriter::Opening(const ListingSettings&, const std::string& startFolder) {
    std::string text = "{\"root\": " + JsonString(startFolder);
    AppendRawNameField(text, "rawRoot", startFolder);
    return output_.Write(text + ",\n \"folders\": [");
}

bool JsonListingWriter::Folder(const ListedFolder& folder) {
    buffer_.assign(first_ ? "\n  " : ",\n  ");
    first_ = false;
    buffer_ += "{\"path\": ";
    AppendJsonString(buffer_, folder.path);
    AppendRawNameField(buffer_, "rawPath", folder.path);
    if (!folder.readable) buffer_ += ", \"readable\": false";
    buffer_ += ", \"files\": [";
    bool firstFile = true;
    for (const ListedFile& file : folder.files) {
        buffer_ += firstFile ? "\n    {\"name\": " : ",\n    {\"name\": ";
        firstFile = false;
        AppendJsonString(buffer_, file.name);
        AppendRawNameField(buffer_, "rawName", file.name);
        buffer_ += ", \"extension\": ";
        AppendJsonString(buffer_, file.extension);
        buffer_ += ", \"type\": ";
        AppendJsonString(buffer_, file.type);
        buffer_ += ", \"size\": ";
        if (file.length) {
            AppendDigits(buffer_, *file.length, 1);
        } else {
            buffer_ += "null";
        }
        buffer_ += ", \"modified\": ";
        if (file.modified) {
            buffer_ += '"';
            AppendModified(buffer_, file);
            buffer_ += '"';
        } else {
            buffer_ += "null";
        }
        buffer_ += ", \"attributes\": ";
        if (file.attributes) {
            buffer_ += '"';  // letters only: nothing to escape
            AppendAttributeText(buffer_, *file.attributes);
            buffer_ += '"';
        } else {
            buffer_ += "null";
        }
        buffer_ += '}';
    }
    buffer_ += "],\n   \"fileCount\": " + std::to_string(folder.fileCount) +
               ", \"bytes\": " + std::to_string(folder.byteCount) + "}";
    return output_.Write(buffer_);
}

bool JsonListingWriter::Closing(const RunTotals& totals) {
    std::string text = "],\n \"totals\": {\"folders\": " + std::to_string(totals.folders) +
                       ", \"files\": " + std::to_string(totals.files) +
                       ", \"bytes\": " + std::to_string(totals.bytes) +
                       ", \"skippedFolders\": " + std::to_string(totals.skippedFolders) +
                       ", \"skippedFiles\": " + std::to_string(totals.skippedFiles) +
                       ", \"unreadableFolders\": " + std::to_string(totals.unreadableFolders) +
                       ", \"linksNotFollowed\": " + std::to_string(totals.linksNotFollowed) + "}}\n";
    return output_.Write(text) && output_.Flush();
}

}  // namespace tessory
