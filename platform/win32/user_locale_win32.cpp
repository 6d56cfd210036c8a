#include <windows.h>

#include "../user_locale.h"
#include "wide_text_win32.h"

namespace tessory {
namespace {

char FirstChar(LCTYPE type, char fallback) {
    wchar_t buffer[16] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 16) <= 0) return fallback;
    return (buffer[0] > 0 && buffer[0] < 128) ? static_cast<char>(buffer[0]) : fallback;
}

std::string Text(LCTYPE type, const char* fallback) {
    wchar_t buffer[16] = {};
    const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 16);
    return length > 0 ? Narrow(std::wstring(buffer, static_cast<size_t>(length - 1))) : fallback;
}

UserLocale ReadUserLocale() {
    UserLocale locale;
    locale.decimalSeparator = FirstChar(LOCALE_SDECIMAL, '.');
    locale.groupSeparator = Text(LOCALE_STHOUSAND, ",");
    locale.dateSeparator = FirstChar(LOCALE_SDATE, '/');
    switch (FirstChar(LOCALE_IDATE, '0')) {
    case '1': locale.dateOrder = DateOrder::DayMonthYear; break;
    case '2': locale.dateOrder = DateOrder::YearMonthDay; break;
    default: locale.dateOrder = DateOrder::MonthDayYear; break;
    }
    return locale;
}

}  // namespace

const UserLocale& CurrentUserLocale() {
    static const UserLocale locale = ReadUserLocale();
    return locale;
}

}  // namespace tessory
