#include "column_values.h"

#include <cstdio>

#include "file_system.h"

namespace tessory {

std::string HexByte(int value) {
    static const char kDigits[] = "0123456789ABCDEF";
    return {kDigits[(value >> 4) & 0xF], kDigits[value & 0xF]};
}

std::string HtmlColour(std::int32_t colour) {
    auto value = static_cast<std::uint32_t>(colour);
    return "#" + HexByte(value & 0xFF) + HexByte((value & 0xFF00) / 256) + HexByte((value & 0xFF0000) / 65536);
}

namespace {

void AppendDecimal(std::string& out, std::uint64_t value) {
    char digits[20];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) out += digits[--n];
}

// length / unit in the one-decimal form, computed in whole numbers so that no length loses precision.
void AppendOneDecimal(std::string& out, std::uint64_t length, std::uint64_t unit, char separator) {
    std::uint64_t whole = length / unit;
    std::uint64_t tenths = ((length % unit) * 10 + unit / 2) / unit;
    if (tenths == 10) {
        ++whole;
        tenths = 0;
    }
    AppendDecimal(out, whole);
    out += separator;
    out += static_cast<char>('0' + tenths);
}

}  // namespace

void AppendSizeText(std::string& out, std::uint64_t length, SizeUnit unit, char decimalSeparator) {
    constexpr std::uint64_t kKilo = 1024, kMega = 1048576, kGiga = 1073741824;
    switch (unit) {
    case SizeUnit::Bytes: AppendDecimal(out, length); out += " Bytes"; return;
    case SizeUnit::Kilo: AppendOneDecimal(out, length, kKilo, decimalSeparator); out += " KB"; return;
    case SizeUnit::Mega: AppendOneDecimal(out, length, kMega, decimalSeparator); out += " MB"; return;
    case SizeUnit::Dynamic: break;
    }
    if (length < kKilo) {
        AppendDecimal(out, length);
        out += " Bytes";
    } else if (length <= kMega) {
        AppendOneDecimal(out, length, kKilo, decimalSeparator);
        out += " KB";
    } else if (length <= kGiga) {
        AppendOneDecimal(out, length, kMega, decimalSeparator);
        out += " MB";
    } else {
        AppendOneDecimal(out, length, kGiga, decimalSeparator);
        out += " GB";
    }
}

std::string SizeText(std::uint64_t length, SizeUnit unit, char decimalSeparator) {
    std::string text;
    AppendSizeText(text, length, unit, decimalSeparator);
    return text;
}

std::string ExtensionText(std::string_view name) {
    size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
}

void AppendDateText(std::string& out, const DateTime& modified, char dateSeparator) {
    if (modified.month < 0 || modified.month > 99 || modified.day < 0 || modified.day > 99 || modified.year < 0 ||
        modified.year > 9999) {
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, "%02d%c%02d%c%04d", modified.month, dateSeparator, modified.day,
                      dateSeparator, modified.year);
        out += buffer;
        return;
    }
    // Called for every listed file: digits by hand rather than through printf.
    auto digit = [](int value) { return static_cast<char>('0' + value % 10); };
    int y = modified.year;
    const char text[] = {digit(modified.month / 10), digit(modified.month), dateSeparator, digit(modified.day / 10),
                         digit(modified.day),         dateSeparator,         digit(y / 1000), digit(y / 100),
                         digit(y / 10),               digit(y)};
    out.append(text, sizeof text);
}

std::string DateText(const DateTime& modified, char dateSeparator) {
    std::string text;
    AppendDateText(text, modified, dateSeparator);
    return text;
}

void AppendAttributeText(std::string& out, std::uint32_t attributes) {
    if (attributes & kAttrArchive) out += 'a';
    if (attributes & kAttrHidden) out += 'h';
    if (attributes & kAttrReadOnly) out += 'r';
    if (attributes & kAttrSystem) out += 's';
}

std::string AttributeText(std::uint32_t attributes) {
    std::string text;
    AppendAttributeText(text, attributes);
    return text;
}

std::string EscapeMarkup(std::string_view text, bool ampersands) {
    if (text.find_first_of(ampersands ? "<>&" : "<>") == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '&' && ampersands) out += "&amp;";
        else out += c;
    }
    return out;
}

std::string EscapeCss(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = byte >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == ' ' || c == '-' || c == '_' || c == ',' || c == '.';
        if (plain) {
            out += c;
        } else {
            out += '\\';
            if (byte >= 0x10) out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
            out += ' ';
        }
    }
    return out;
}

namespace {

// Length of the well-formed sequence starting at text[i], or 0 when it is ill-formed; then
// *skip is the length of its maximal ill-formed prefix (at least 1).
size_t Utf8SequenceLength(std::string_view text, size_t i, size_t* skip) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;        // overlong
        else if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;        // overlong
        else if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
        *skip = 1;
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        if (i + k >= text.size()) {
            *skip = k;
            return 0;
        }
        unsigned char c = byte(i + k);
        bool ok = k == 1 ? (c >= low && c <= high) : (c >= 0x80 && c <= 0xBF);
        if (!ok) {
            *skip = k;
            return 0;
        }
    }
    return length;
}

}  // namespace

size_t Utf8SequenceLength(std::string_view text, size_t i) {
    if (static_cast<unsigned char>(text[i]) < 0x80) return 1;
    size_t skip = 0;
    return Utf8SequenceLength(text, i, &skip);
}

std::string ValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    if (i == text.size()) return std::string(text);
    std::string out(text.substr(0, i));
    out.reserve(text.size() + 8);
    while (i < text.size()) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            out += text[i++];
            continue;
        }
        size_t skip = 0;
        size_t length = Utf8SequenceLength(text, i, &skip);
        if (length) {
            out.append(text, i, length);
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            i += skip;
        }
    }
    return out;
}

}  // namespace tessory
