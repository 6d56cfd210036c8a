#pragma once
#include <string>

namespace tessory {

enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

// The parts of the user's regional settings that stored texts and the listing depend on.
struct UserLocale {
    char decimalSeparator = '.';
    std::string groupSeparator = ",";  // UTF-8: some locales group digits with a no-break space
    char dateSeparator = '/';
    DateOrder dateOrder = DateOrder::MonthDayYear;
};

// The user's locale, read once per process (fixed US-style forms where the platform has no such rules).
const UserLocale& CurrentUserLocale();

}  // namespace tessory
