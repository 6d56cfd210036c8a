#pragma once
#include <tuple>

namespace tessory {

// A calendar date and time of day in local time, to the second.
struct DateTime {
    int year = 1900;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator<(const DateTime& a, const DateTime& b) {
        return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second) <
               std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second);
    }
    friend bool operator==(const DateTime& a, const DateTime& b) {
        return !(a < b) && !(b < a);
    }
    friend bool operator!=(const DateTime& a, const DateTime& b) { return !(a == b); }
};

// The current local date and time.
DateTime LocalNow();

// True when the fields name a real calendar date and a time of day.
bool IsValidDateTime(const DateTime& value);

}  // namespace tessory
