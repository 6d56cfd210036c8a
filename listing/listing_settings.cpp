#include "listing_settings.h"

#include "settings/encodings.h"
#include "settings/setting_keys.h"

namespace tessory {
namespace {

std::int32_t ColourSetting(const SettingsStore& store, const SettingKey& key) {
    // A stored text that is not a colour falls back to the key's default colour.
    auto colour = ParseColour(ReadSetting(store, key));
    return colour ? *colour : *ParseColour(key.defaultText);
}

int FontSizeSetting(const SettingsStore& store, const SettingKey& key, const UserLocale& locale) {
    auto size = ParseFontSize(ReadSetting(store, key), locale);
    return size ? *size : *ParseFontSize(key.defaultText, locale);
}

bool Flag(const SettingsStore& store, const SettingKey& key) { return FlagIsOn(ReadSetting(store, key)); }

}  // namespace

bool FlagIsOn(const std::string& text) { return LeadingNumber(text) == 1.0; }

std::int16_t RecursionLimit(const SettingsStore& store) {
    std::string recurse = ReadSetting(store, key::kRecurse);
    if (recurse == word::kInfinite) return -1;
    if (recurse != word::kDepth) return 0;
    int depth = RoundHalfEven(LeadingNumber(ReadSetting(store, key::kRecurseDepth)));
    // Depths beyond the 16-bit range are clamped: huge means "all levels", very negative means none.
    if (depth > INT16_MAX) return INT16_MAX;
    if (depth < INT16_MIN) return INT16_MIN;
    return static_cast<std::int16_t>(depth);
}

int SortColumn(const SettingsStore& store) {
    struct Choice {
        const SettingKey& key;
        int column;
    };
    static const Choice kChoices[] = {
        {key::kNoOrder, -1},  {key::kNameOrder, kColName}, {key::kExtOrder, kColExt},
        {key::kSizeOrder, kColSize}, {key::kTypeOrder, kColType}, {key::kDateOrder, kColDate},
    };
    for (const Choice& choice : kChoices) {
        if (Flag(store, choice.key)) return choice.column;
    }
    return kColName;
}

ListingSettings ReadListingSettings(const SettingsStore& store, const DateTime& now, const UserLocale& locale) {
    ListingSettings s;
    s.locale = locale;
    const SettingKey* flags[kColumnCount] = {&key::kName, &key::kType, &key::kSize,
                                             &key::kDateTime, &key::kExt, &key::kAttrib};
    const SettingKey* headings[kColumnCount] = {&key::kNameStr, &key::kTypeStr, &key::kSizeStr,
                                                &key::kDateStr, &key::kExtStr, &key::kAttribStr};
    for (int c = 0; c < kColumnCount; ++c) {
        s.shown[c] = Flag(store, *flags[c]);
        s.headings[c] = ReadSetting(store, *headings[c]);
    }
    std::string unit = ReadSetting(store, key::kDisplayFileSize);
    s.sizeUnit = unit == word::kBytes ? SizeUnit::Bytes
               : unit == word::kKb    ? SizeUnit::Kilo
               : unit == word::kMb    ? SizeUnit::Mega
                                      : SizeUnit::Dynamic;

    s.recursionLimit = RecursionLimit(store);
    s.sortColumn = SortColumn(store);

    s.folderInclude = PatternList(ReadSetting(store, key::kFolInclude));
    s.folderExclude = PatternList(ReadSetting(store, key::kFolExclude));
    s.fileInclude = PatternList(ReadSetting(store, key::kFileInclude));
    s.fileExclude = PatternList(ReadSetting(store, key::kFileExclude));

    std::string sizeFrom = ReadSetting(store, key::kFileSizeFrom);
    std::string sizeTo = ReadSetting(store, key::kFileSizeTo);
    s.sizeRangeOn = Flag(store, key::kFileSize) && !sizeFrom.empty() && !sizeTo.empty();
    if (s.sizeRangeOn) {
        s.sizeFrom = ParseUserNumber(sizeFrom, locale);
        s.sizeTo = ParseUserNumber(sizeTo, locale);
    }
    s.timeRangeOn = Flag(store, key::kFileTime);
    if (s.timeRangeOn) {
        auto from = store.Read(key::kFileTimeFrom.section, key::kFileTimeFrom.name);
        auto to = store.Read(key::kFileTimeTo.section, key::kFileTimeTo.name);
        s.timeFrom = from ? ParseDateTime(*from, locale) : std::optional<DateTime>(now);
        s.timeTo = to ? ParseDateTime(*to, locale) : std::optional<DateTime>(now);
    }

    s.folderFont = ReadSetting(store, key::kFolFont);
    s.fileFont = ReadSetting(store, key::kFileFont);
    s.folderFontSize = FontSizeSetting(store, key::kFolFontSize, locale);
    s.fileFontSize = FontSizeSetting(store, key::kFileFontSize, locale);
    s.bodyBack = ColourSetting(store, key::kBodyBack);
    s.folderBack = ColourSetting(store, key::kFolBack);
    s.folderFontColour = ColourSetting(store, key::kFolFontColor);
    s.fileBack = ColourSetting(store, key::kFileBack);
    s.fileBackOdd = ColourSetting(store, key::kFileBackOdd);
    s.fileFontColour = ColourSetting(store, key::kFileFontColor);
    s.summary = FlagIsOn(ReadSetting(store, key::kSummary));
    s.printLayout = FlagIsOn(ReadSetting(store, key::kPrintLayout));
    return s;
}

}  // namespace tessory
