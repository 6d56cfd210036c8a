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

// length / unit in the one-decimal form, computed in whole numbers so that no length loses precision.
std::string OneDecimal(std::uint64_t length, std::uint64_t unit, char separator) {
    std::uint64_t whole = length / unit;
    std::uint64_t tenths = ((length % unit) * 10 + unit / 2) / unit;
    if (tenths == 10) {
        ++whole;
        tenths = 0;
    }
    return std::to_string(whole) + separator + static_cast<char>('0' + tenths);
}

}  // namespace

std::string SizeText(std::uint64_t length, SizeUnit unit, char decimalSeparator) {
    constexpr std::uint64_t kKilo = 1024, kMega = 1048576, kGiga = 1073741824;
    switch (unit) {
    case SizeUnit::Bytes: return std::to_string(length) + " Bytes";
    case SizeUnit::Kilo: return OneDecimal(length, kKilo, decimalSeparator) + " KB";
    case SizeUnit::Mega: return OneDecimal(length, kMega, decimalSeparator) + " MB";
    case SizeUnit::Dynamic: break;
    }
    if (length < kKilo) return std::to_string(length) + " Bytes";
    if (length <= kMega) return OneDecimal(length, kKilo, decimalSeparator) + " KB";
    if (length <= kGiga) return OneDecimal(length, kMega, decimalSeparator) + " MB";
    return OneDecimal(length, kGiga, decimalSeparator) + " GB";
}

std::string ExtensionText(std::string_view name) {
    size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
}

std::string DateText(const DateTime& modified, char dateSeparator) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d%c%02d%c%04d", modified.month, dateSeparator, modified.day,
                  dateSeparator, modified.year);
    return buffer;
}

std::string AttributeText(std::uint32_t attributes) {
    std::string text;
    if (attributes & kAttrArchive) text += 'a';
    if (attributes & kAttrHidden) text += 'h';
    if (attributes & kAttrReadOnly) text += 'r';
    if (attributes & kAttrSystem) text += 's';
    return text;
}

std::string EscapeMarkup(std::string_view text) {
    if (text.find_first_of("<>") == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else out += c;
    }
    return out;
}

}  // namespace tessory
