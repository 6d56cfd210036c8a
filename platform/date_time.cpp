#include "date_time.h"

#include <ctime>

namespace tessory {

DateTime LocalNow() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &now);
#else
    localtime_r(&now, &parts);
#endif
    return DateTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                    parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

bool IsValidDateTime(const DateTime& v) {
    static const int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (v.year < 100 || v.year > 9999 || v.month < 1 || v.month > 12) return false;
    bool leap = (v.year % 4 == 0 && v.year % 100 != 0) || v.year % 400 == 0;
    int days = kDaysInMonth[v.month - 1] + (v.month == 2 && leap ? 1 : 0);
    return v.day >= 1 && v.day <= days && v.hour >= 0 && v.hour < 24 && v.minute >= 0 &&
           v.minute < 60 && v.second >= 0 && v.second < 60;
}

}  // namespace tessory
