#include "encodings.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>

namespace tessory {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Reads an unsigned decimal number at pos; false when there is no digit.
bool ReadNumber(std::string_view text, size_t& pos, int& value, int maxDigits) {
    size_t start = pos;
    value = 0;
    while (pos < text.size() && IsDigit(text[pos]) && pos - start < static_cast<size_t>(maxDigits)) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    return pos > start && (pos >= text.size() || !IsDigit(text[pos]));
}

std::string TwoDigits(int value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

std::string DateText(const DateTime& v, const UserLocale& locale) {
    std::string sep(1, locale.dateSeparator);
    std::string year = std::to_string(v.year);
    switch (locale.dateOrder) {
    case DateOrder::DayMonthYear: return TwoDigits(v.day) + sep + TwoDigits(v.month) + sep + year;
    case DateOrder::YearMonthDay: return year + sep + TwoDigits(v.month) + sep + TwoDigits(v.day);
    case DateOrder::MonthDayYear: break;
    }
    return std::to_string(v.month) + sep + std::to_string(v.day) + sep + year;
}

}  // namespace

double LeadingNumber(std::string_view text, char decimalSeparator) {
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
    double value = 0;
    while (pos < text.size() && IsDigit(text[pos])) value = value * 10 + (text[pos++] - '0');
    if (pos < text.size() && text[pos] == decimalSeparator) {
        double scale = 0.1;
        for (++pos; pos < text.size() && IsDigit(text[pos]); ++pos, scale /= 10)
            value += (text[pos] - '0') * scale;
    }
    return negative ? -value : value;
}

int RoundHalfEven(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(std::nearbyint(value));
}

int ReadFlag(std::string_view text) {
    double value = LeadingNumber(text);
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

bool FlagNotZero(std::string_view text) { return LeadingNumber(text) != 0.0; }

std::string FlagText(bool on) { return on ? "1" : "0"; }

std::optional<double> ParseDecimal(std::string_view text, const UserLocale& locale) {
    text = Trim(text);
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
    double value = 0;
    size_t digits = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos, ++digits) value = value * 10 + (text[pos] - '0');
    if (pos < text.size() && (text[pos] == locale.decimalSeparator || text[pos] == '.')) {
        double scale = 0.1;
        for (++pos; pos < text.size() && IsDigit(text[pos]); ++pos, ++digits, scale /= 10)
            value += (text[pos] - '0') * scale;
    }
    if (digits == 0 || pos != text.size()) return std::nullopt;
    return negative ? -value : value;
}

std::optional<double> ParseUserNumber(std::string_view text, const UserLocale& locale) {
    text = Trim(text);
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
    std::string_view group = locale.groupSeparator;
    if (group == std::string_view(&locale.decimalSeparator, 1)) group = {};
    const bool noBreakSpace = group == "\xC2\xA0" || group == "\xE2\x80\xAF";
    double value = 0;
    size_t digits = 0;
    while (pos < text.size()) {
        if (IsDigit(text[pos])) {
            value = value * 10 + (text[pos++] - '0');
            ++digits;
            continue;
        }
        size_t separator = 0;
        if (!group.empty() && text.substr(pos, group.size()) == group) separator = group.size();
        else if (noBreakSpace && text[pos] == ' ') separator = 1;
        // A group separator counts only between two digits.
        if (separator == 0 || digits == 0 || pos + separator >= text.size() || !IsDigit(text[pos + separator])) break;
        pos += separator;
    }
    if (pos < text.size() && (text[pos] == locale.decimalSeparator || (text[pos] == '.' && group != "."))) {
        double scale = 0.1;
        for (++pos; pos < text.size() && IsDigit(text[pos]); ++pos, ++digits, scale /= 10)
            value += (text[pos] - '0') * scale;
    }
    if (digits == 0 || pos != text.size()) return std::nullopt;
    return negative ? -value : value;
}

std::optional<std::int32_t> ParseColour(std::string_view text) {
    auto value = ParseDecimal(text);
    if (!value) return std::nullopt;
    double rounded = std::nearbyint(*value);
    if (rounded < -2147483648.0 || rounded > 2147483647.0) return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}

std::string ColourText(std::uint32_t colour) { return std::to_string(colour); }

std::optional<int> ParseFontSize(std::string_view text, const UserLocale& locale) {
    auto value = ParseDecimal(text, locale);
    if (!value) return std::nullopt;
    return RoundHalfEven(*value);
}

std::string FontSizeText(double points, const UserLocale& locale) {
    char buffer[32];
    if (points == std::floor(points) && std::fabs(points) < 1e9) {
        std::snprintf(buffer, sizeof buffer, "%.0f", points);
        return buffer;
    }
    std::snprintf(buffer, sizeof buffer, "%.2f", points);
    std::string text = buffer;
    while (text.back() == '0') text.pop_back();
    for (char& c : text)
        if (c == '.') c = locale.decimalSeparator;
    return text;
}

std::string DateTimeText(const DateTime& v, const UserLocale& locale) {
    return DateText(v, locale) + " " + TwoDigits(v.hour) + ":" + TwoDigits(v.minute);
}

std::string GeneralDateTimeText(const DateTime& v, const UserLocale& locale) {
    return DateTimeText(v, locale) + ":" + TwoDigits(v.second);
}

std::optional<DateTime> ParseDateTime(std::string_view text, const UserLocale& locale) {
    text = Trim(text);
    size_t pos = 0;
    int parts[3];
    size_t firstDigits = 0;
    char separator = 0;
    for (int i = 0; i < 3; ++i) {
        size_t start = pos;
        if (!ReadNumber(text, pos, parts[i], 4)) return std::nullopt;
        if (i == 0) firstDigits = pos - start;
        if (i < 2) {
            if (pos >= text.size()) return std::nullopt;
            char c = text[pos];
            bool known = c == '/' || c == '-' || c == '.' || c == locale.dateSeparator;
            if (!known || (separator && c != separator)) return std::nullopt;
            separator = c;
            ++pos;
        }
    }
    DateTime v;
    int year;
    if (firstDigits == 4 || locale.dateOrder == DateOrder::YearMonthDay) {
        year = parts[0], v.month = parts[1], v.day = parts[2];
    } else if (locale.dateOrder == DateOrder::DayMonthYear) {
        v.day = parts[0], v.month = parts[1], year = parts[2];
    } else {
        v.month = parts[0], v.day = parts[1], year = parts[2];
    }
    if (year < 100) year += year < 30 ? 2000 : 1900;
    v.year = year;

    std::string_view rest = Trim(text.substr(pos));
    if (!rest.empty()) {
        if (pos < text.size() && !IsBlank(text[pos])) return std::nullopt;
        size_t t = 0;
        if (!ReadNumber(rest, t, v.hour, 2) || t >= rest.size() || rest[t] != ':') return std::nullopt;
        ++t;
        if (!ReadNumber(rest, t, v.minute, 2)) return std::nullopt;
        if (t < rest.size() && rest[t] == ':') {
            ++t;
            if (!ReadNumber(rest, t, v.second, 2)) return std::nullopt;
        }
        std::string_view marker = Trim(rest.substr(t));
        if (!marker.empty()) {
            bool pm = marker == "PM" || marker == "pm";
            bool am = marker == "AM" || marker == "am";
            if ((!pm && !am) || v.hour < 1 || v.hour > 12) return std::nullopt;
            v.hour = (v.hour % 12) + (pm ? 12 : 0);
        }
    }
    if (!IsValidDateTime(v)) return std::nullopt;
    return v;
}

}  // namespace tessory
