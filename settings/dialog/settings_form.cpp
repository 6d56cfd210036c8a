#include "settings/dialog/settings_form.h"

#include <optional>
#include <utility>
#include <vector>

#include "settings/encodings.h"
#include "settings/setting_keys.h"

namespace tessory::settings {
namespace {

// The colour and point-size ranges a sample label can show; other stored texts give the default.
constexpr std::int64_t kLargestColour = 0xFFFFFF;
constexpr int kSmallestPointSize = 1;
constexpr int kLargestPointSize = 1638;

const SettingKey* const kSortKeys[kSortOptionCount] = {&key::kNoOrder,   &key::kNameOrder,
                                                       &key::kExtOrder,  &key::kSizeOrder,
                                                       &key::kTypeOrder, &key::kDateOrder};
const char* const kRecurseWords[kRecurseOptionCount] = {word::kInfinite, word::kNo, word::kDepth};
const char* const kSizeUnitWords[kSizeUnitOptionCount] = {word::kBytes, word::kKb, word::kMb,
                                                          word::kDynamic};

// Column rows in screen order: flag, heading and width keys.
struct ColumnKeys {
  const SettingKey* flag;
  const SettingKey* heading;
  const SettingKey* width;
};
const ColumnKeys kColumns[kColumnRowCount] = {
    {&key::kName, &key::kNameStr, &key::kNameWidth},
    {&key::kType, &key::kTypeStr, &key::kTypeWidth},
    {&key::kExt, &key::kExtStr, &key::kExtWidth},
    {&key::kSize, &key::kSizeStr, &key::kSizeWidth},
    {&key::kDateTime, &key::kDateStr, &key::kDateWidth},
    {&key::kAttrib, &key::kAttribStr, &key::kAttribWidth},
};

std::uint32_t ReadColour(const SettingsStore& store, const SettingKey& k) {
  std::optional<std::int32_t> colour = ParseColour(ReadSetting(store, k));
  if (!colour || *colour < 0 || *colour > kLargestColour) colour = ParseColour(k.defaultText);
  return static_cast<std::uint32_t>(colour.value_or(0));
}

double ReadPointSize(const SettingsStore& store, const SettingKey& k, const UserLocale& locale) {
  std::optional<int> size = ParseFontSize(ReadSetting(store, k), locale);
  if (!size || *size < kSmallestPointSize || *size > kLargestPointSize)
    size = ParseFontSize(k.defaultText, locale);
  return size.value_or(0);
}

// A stored bound that does not convert opens as the present moment.
DateTime ReadDateTime(const SettingsStore& store, const SettingKey& k, const UserLocale& locale) {
  return ParseDateTime(ReadSetting(store, k), locale).value_or(LocalNow());
}

// Only 1 ticks a box: the listing acts on exactly 1, so the box shows what a listing will do.
bool ReadCheck(const SettingsStore& store, const SettingKey& k) {
  return ReadFlag(ReadSetting(store, k)) == 1;
}

// The word's index in the list, or kNoOption for any other text.
template <std::size_t N>
int ReadChoiceWord(const SettingsStore& store, const SettingKey& k, const char* const (&words)[N]) {
  const std::string text = ReadSetting(store, k);
  for (std::size_t i = 0; i < N; ++i) {
    if (text == words[i]) return static_cast<int>(i);
  }
  return kNoOption;
}

template <std::size_t N>
std::string ChoiceWordText(int selected, const char* const (&words)[N]) {
  return (selected >= 0 && selected < static_cast<int>(N)) ? words[selected] : "";
}

void LoadLabel(const SettingsStore& store, SampleLabel& label, const SettingKey& back,
               const SettingKey& fore, const SettingKey& font, const SettingKey& size,
               const UserLocale& locale) {
  label.backColor = ReadColour(store, back);
  label.foreColor = ReadColour(store, fore);
  label.fontName = ReadSetting(store, font);
  label.fontSize = ReadPointSize(store, size, locale);
}

}  // namespace

void LoadSettings(const SettingsStore& store, SettingsForm& form, const UserLocale& locale) {
  form.txtInclude = ReadSetting(store, key::kFileInclude);
  form.txtSkip = ReadSetting(store, key::kFileExclude);
  form.txtIncludeFol = ReadSetting(store, key::kFolInclude);
  form.txtSkipFol = ReadSetting(store, key::kFolExclude);

  form.DTPicker1 = form.DTPicker2 = ReadDateTime(store, key::kFileTimeFrom, locale);
  form.DTPicker3 = form.DTPicker4 = ReadDateTime(store, key::kFileTimeTo, locale);

  form.chFileTime = ReadCheck(store, key::kFileTime);
  form.chFileSize = ReadCheck(store, key::kFileSize);
  form.txtFromSize = ReadSetting(store, key::kFileSizeFrom);
  form.txtToSize = ReadSetting(store, key::kFileSizeTo);

  // Selecting an option clears the others, so the last non-zero key in this order wins.
  for (int i = 0; i < kSortOptionCount; ++i) {
    const bool selected = FlagNotZero(ReadSetting(store, *kSortKeys[i]));
    if (selected) {
      form.sortOrder = i;
    } else if (form.sortOrder == i) {
      form.sortOrder = kNoOption;
    }
  }

  const int recursion = ReadChoiceWord(store, key::kRecurse, kRecurseWords);
  if (recursion != kNoOption) form.recursion = recursion;
  form.txtDepth = ReadSetting(store, key::kRecurseDepth);
  form.chSummary = ReadCheck(store, key::kSummary);

  for (int row = 0; row < kColumnRowCount; ++row) {
    form.columnChecks[row] = ReadCheck(store, *kColumns[row].flag);
    form.Text1[row] = ReadSetting(store, *kColumns[row].heading);
    form.Text2[row] = ReadSetting(store, *kColumns[row].width);
  }

  const int sizeUnit = ReadChoiceWord(store, key::kDisplayFileSize, kSizeUnitWords);
  if (sizeUnit != kNoOption) form.sizeUnit = sizeUnit;

  form.lblBody.backColor = ReadColour(store, key::kBodyBack);
  LoadLabel(store, form.lblFolder, key::kFolBack, key::kFolFontColor, key::kFolFont,
            key::kFolFontSize, locale);
  LoadLabel(store, form.lblFile, key::kFileBack, key::kFileFontColor, key::kFileFont,
            key::kFileFontSize, locale);
  form.lblFileOdd.backColor = ReadColour(store, key::kFileBackOdd);
  form.chPrintLayout = ReadCheck(store, key::kPrintLayout);
}

bool SaveSettings(SettingsStore& store, const SettingsForm& form, const UserLocale& locale) {
  std::vector<std::pair<const SettingKey*, std::string>> texts = {
      {&key::kFileInclude, form.txtInclude},
      {&key::kFileExclude, form.txtSkip},
      {&key::kFolInclude, form.txtIncludeFol},
      {&key::kFolExclude, form.txtSkipFol},
      {&key::kFileTime, FlagText(form.chFileTime)},
      {&key::kFileTimeFrom, DateTimeText(CombinedDateTime(form.DTPicker1, form.DTPicker2), locale)},
      {&key::kFileTimeTo, DateTimeText(CombinedDateTime(form.DTPicker3, form.DTPicker4), locale)},
      {&key::kFileSize, FlagText(form.chFileSize)},
      {&key::kFileSizeFrom, form.txtFromSize},
      {&key::kFileSizeTo, form.txtToSize},
      {&key::kRecurse, ChoiceWordText(form.recursion, kRecurseWords)},
      {&key::kRecurseDepth, form.txtDepth},
      {&key::kSummary, FlagText(form.chSummary)},
      {&key::kDisplayFileSize, ChoiceWordText(form.sizeUnit, kSizeUnitWords)},
      {&key::kBodyBack, ColourText(form.lblBody.backColor)},
      {&key::kFolBack, ColourText(form.lblFolder.backColor)},
      {&key::kFolFontColor, ColourText(form.lblFolder.foreColor)},
      {&key::kFolFont, form.lblFolder.fontName},
      {&key::kFolFontSize, FontSizeText(form.lblFolder.fontSize, locale)},
      {&key::kFileBack, ColourText(form.lblFile.backColor)},
      {&key::kFileBackOdd, ColourText(form.lblFileOdd.backColor)},
      {&key::kFileFontColor, ColourText(form.lblFile.foreColor)},
      {&key::kFileFont, form.lblFile.fontName},
      {&key::kFileFontSize, FontSizeText(form.lblFile.fontSize, locale)},
      {&key::kPrintLayout, FlagText(form.chPrintLayout)},
  };
  for (int i = 0; i < kSortOptionCount; ++i) texts.emplace_back(kSortKeys[i], FlagText(form.sortOrder == i));
  for (int row = 0; row < kColumnRowCount; ++row) {
    texts.emplace_back(kColumns[row].flag, FlagText(form.columnChecks[row]));
    texts.emplace_back(kColumns[row].heading, form.Text1[row]);
    texts.emplace_back(kColumns[row].width, form.Text2[row]);
  }

  // The catalogue gives the order: section by section, each in the order of its table.
  bool ok = true;
  for (const SettingKey& k : SettingCatalogue()) {
    for (const auto& [which, text] : texts) {
      if (SameName(which->section, k.section) && SameName(which->name, k.name)) {
        if (!store.Write(k.section, k.name, text)) ok = false;
        break;
      }
    }
  }
  return ok;
}

DateTime CombinedDateTime(const DateTime& date, const DateTime& time) {
  DateTime result = date;
  result.hour = time.hour;
  result.minute = time.minute;
  result.second = 0;
  return result;
}

void FillCurrentTime(SettingsForm& form, const DateTime& now) {
  form.DTPicker1 = form.DTPicker2 = form.DTPicker3 = form.DTPicker4 = now;
}

void ApplyScheme(SettingsForm& form, const ColourScheme& scheme) {
  form.lblBody.backColor = scheme.bodyBack;
  form.lblFolder.backColor = scheme.folBack;
  form.lblFile.backColor = scheme.fileBack;
  form.lblFileOdd.backColor = scheme.fileBackOdd;
  form.lblFolder.foreColor = scheme.folFontColor;
  form.lblFile.foreColor = scheme.fileFontColor;
  form.lblFolder.fontName = scheme.folFont;
  form.lblFile.fontName = scheme.fileFont;
}

bool Combo1_Click(SettingsForm& form, const std::string& text) {
  const ColourScheme* scheme = FindColourScheme(text);
  if (scheme == nullptr) return false;
  ApplyScheme(form, *scheme);
  return true;
}

void ApplyFontChoice(SampleLabel& label, const FontChoice& choice) {
  label.fontName = choice.name;
  label.foreColor = choice.color;
  label.fontSize = choice.size;
}

FontChoice FontChoiceOf(const SampleLabel& label) {
  return FontChoice{label.fontName, label.foreColor, label.fontSize};
}

}  // namespace tessory::settings
