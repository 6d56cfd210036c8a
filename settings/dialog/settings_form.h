#pragma once
// What the settings dialog shows, as plain values: the Win32 dialog copies its controls to and
// from this, and LoadSettings/SaveSettings map it onto the settings store.

#include <array>
#include <cstdint>
#include <string>

#include "platform/date_time.h"
#include "platform/user_locale.h"
#include "settings/dialog/colour_schemes.h"
#include "settings/settings_store.h"

namespace tessory::settings {

// One sample label: the HTML keys live in these properties while the dialog is open.
struct SampleLabel {
  std::uint32_t backColor = 0;
  std::uint32_t foreColor = 0;
  std::string fontName;
  double fontSize = 0;  // fractions are kept until saved; loading gives whole points
};

// Option groups hold the index of the selected option, or kNoOption.
constexpr int kNoOption = -1;

// Sort options in the order their keys are read and written (not the order on screen).
enum SortOption { kNoOrder, kNameOrder, kExtOrder, kSizeOrder, kTypeOrder, kDateOrder, kSortOptionCount };
enum RecurseOption { kRecurseInfinite, kNoRecursion, kRecurseDepth, kRecurseOptionCount };
enum SizeUnitOption { kByteSize, kKBSize, kMBSize, kDynamicSize, kSizeUnitOptionCount };

// Column rows in screen order: Name, Type, Extension, Size, Date Time, Attributes.
constexpr int kColumnRowCount = 6;

struct SettingsForm {
  std::string txtInclude, txtSkip, txtIncludeFol, txtSkipFol;
  // Date pickers 1 and 3 show the date part, time pickers 2 and 4 the time part.
  DateTime DTPicker1, DTPicker2, DTPicker3, DTPicker4;
  bool chFileTime = false, chFileSize = false;
  std::string txtFromSize, txtToSize;
  int sortOrder = kNoOption;
  int recursion = kNoOption;
  std::string txtDepth;
  bool chSummary = false;      // "Summary": the totals also say what the walk left out
  std::array<bool, kColumnRowCount> columnChecks{};
  std::array<std::string, kColumnRowCount> Text1, Text2;
  int sizeUnit = kNoOption;
  SampleLabel lblBody, lblFolder, lblFile, lblFileOdd;
  bool chPrintLayout = false;  // "PrintLayout": print rules in the style sheet
  bool chShellExt = false;
};

// Fills every control value from the store (absent keys give their defaults); chShellExt is
// left alone: the folder verb is asked separately.
void LoadSettings(const SettingsStore& store, SettingsForm& form,
                  const UserLocale& locale = CurrentUserLocale());

// Writes every key of the four sections except "Browser", section by section; a failed write
// does not stop the others. False when any write failed.
bool SaveSettings(SettingsStore& store, const SettingsForm& form,
                  const UserLocale& locale = CurrentUserLocale());

// The date of one picker with the hours and minutes of another; seconds dropped.
DateTime CombinedDateTime(const DateTime& date, const DateTime& time);

// "Fill Current Time": all four pickers show the moment given.
void FillCurrentTime(SettingsForm& form, const DateTime& now);

// Sets the sample labels' colours and font names, keeping their font sizes.
void ApplyScheme(SettingsForm& form, const ColourScheme& scheme);

// Applies the scheme whose name is `text` exactly; false (and no change) for any other text.
bool Combo1_Click(SettingsForm& form, const std::string& text);

// What the font dialog hands back; bold, italic and the like are not part of it.
struct FontChoice {
  std::string name;
  std::uint32_t color = 0;
  double size = 0;
};
void ApplyFontChoice(SampleLabel& label, const FontChoice& choice);
FontChoice FontChoiceOf(const SampleLabel& label);

}  // namespace tessory::settings
