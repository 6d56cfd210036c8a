#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/date_time.h"
#include "platform/user_locale.h"
#include "settings/settings_store.h"
#include "wildcard.h"

namespace tessory {

// Column indexes of a row: the order rows are sorted by (0 name, 1 type, 2 size, 3 date, 4 ext, 5 attributes).
enum Column : int { kColName = 0, kColType, kColSize, kColDate, kColExt, kColAttrib, kColumnCount };

enum class SizeUnit { Bytes, Kilo, Mega, Dynamic };

// Everything a run reads from the settings store, read once when the run starts.
struct ListingSettings {
    // Display
    std::array<bool, kColumnCount> shown{};        // by Column index
    std::array<std::string, kColumnCount> headings;  // by Column index
    SizeUnit sizeUnit = SizeUnit::Dynamic;
    // Output
    std::int16_t recursionLimit = -1;  // -1: no limit
    int sortColumn = -1;               // -1: enumeration order
    // Filter
    PatternList folderInclude{"*"};
    PatternList folderExclude{""};
    PatternList fileInclude{"*"};
    PatternList fileExclude{""};
    bool sizeRangeOn = false;
    std::optional<double> sizeFrom, sizeTo;  // empty when the text is not a number
    bool timeRangeOn = false;
    std::optional<DateTime> timeFrom, timeTo;  // empty when the text is not a date and time
    // HTML
    std::string folderFont = "Tahoma", fileFont = "Tahoma";
    int folderFontSize = 10, fileFontSize = 10;
    std::int32_t bodyBack = 16777215, folderBack = 0, folderFontColour = 16777215;
    std::int32_t fileBack = 12566463, fileBackOdd = 16777215, fileFontColour = 0;
    // Extras, off unless asked for
    bool summary = false;      // "Summary": the closing totals also say what was left out
    bool printLayout = false;  // "PrintLayout": print rules in the style sheet
    // Formats
    UserLocale locale;
};

// Reads the snapshot; now stands for an absent time bound.
ListingSettings ReadListingSettings(const SettingsStore& store, const DateTime& now,
                                    const UserLocale& locale = CurrentUserLocale());

// Level limit from "Recurse" and "RecurseDepth": -1 means no limit.
std::int16_t RecursionLimit(const SettingsStore& store);
// Column to sort on from the six order flags: -1 keeps enumeration order.
int SortColumn(const SettingsStore& store);
// True when a flag's text reads exactly 1.
bool FlagIsOn(const std::string& text);

}  // namespace tessory
