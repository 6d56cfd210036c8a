#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/date_time.h"
#include "platform/user_locale.h"

namespace tessory {

// The leading decimal number of a text: leading blanks, an optional sign, digits and a fraction
// with the given separator. A text that starts with no number reads 0.
double LeadingNumber(std::string_view text, char decimalSeparator = '.');
// Flags and choice flags: the leading number, truncated to a whole number (clamped to int).
int ReadFlag(std::string_view text);
// Option buttons and the "Use internal browser" mark: set when the leading number, fraction
// included, is not 0 ("0.5" is set).
bool FlagNotZero(std::string_view text);
// "1" for true, "0" for anything else.
std::string FlagText(bool on);

// Rounds to the nearest whole number, a half to the even neighbour; clamped to int.
int RoundHalfEven(double value);

// A colour text as a 32-bit value; nothing when the text is not a whole decimal number that fits.
std::optional<std::int32_t> ParseColour(std::string_view text);
std::string ColourText(std::uint32_t colour);

// A decimal text as a number (the user's decimal separator, or a point); nothing when the whole
// text, apart from surrounding blanks, is not a number.
std::optional<double> ParseDecimal(std::string_view text, const UserLocale& locale = CurrentUserLocale());

// A number as the user writes it: blanks around it, an optional sign, digits with the locale's
// group separator between them (a plain blank also stands for a no-break space), and a fraction
// after the locale's decimal separator, or after a point where the point does not group digits.
// Nothing when the text is not such a number.
std::optional<double> ParseUserNumber(std::string_view text, const UserLocale& locale = CurrentUserLocale());

// A font size text as whole points (half to even); nothing when it is not a number.
std::optional<int> ParseFontSize(std::string_view text, const UserLocale& locale = CurrentUserLocale());
// A point size as stored: whole sizes without a fraction, others with the user's separator.
std::string FontSizeText(double points, const UserLocale& locale = CurrentUserLocale());

// The stored date-and-time form: short date, one blank, hours:minutes in 24-hour form.
std::string DateTimeText(const DateTime& value, const UserLocale& locale = CurrentUserLocale());
// The general date-and-time text (with seconds): the default of the two time bounds.
std::string GeneralDateTimeText(const DateTime& value, const UserLocale& locale = CurrentUserLocale());
// Reads a date with an optional time ("h:mm", "h:mm:ss", optional AM/PM); also accepts the
// ISO form yyyy-mm-dd. Nothing when the text is not a date and time.
std::optional<DateTime> ParseDateTime(std::string_view text, const UserLocale& locale = CurrentUserLocale());

}  // namespace tessory
