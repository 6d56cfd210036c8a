#include "settings/dialog/settings_form.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "settings/encodings.h"
#include "settings/memory_store.h"
#include "settings/setting_keys.h"

namespace tessory::settings {
namespace {

const UserLocale kUsLocale{'.', ",", '/', DateOrder::MonthDayYear};
const UserLocale kGermanLocale{',', ".", '.', DateOrder::DayMonthYear};

DateTime StartOfMinute(DateTime t) {
  t.second = 0;
  return t;
}

// Records the order of writes on top of a memory store.
class RecordingStore : public MemoryStore {
 public:
  bool Write(std::string_view section, std::string_view key, std::string_view value) override {
    writes.emplace_back(std::string(section) + "/" + std::string(key), std::string(value));
    return MemoryStore::Write(section, key, value);
  }
  std::vector<std::pair<std::string, std::string>> writes;
};

class SettingsFormTest : public ::testing::Test {
 protected:
  SettingsForm Loaded(const UserLocale& locale = kUsLocale) {
    SettingsForm form;
    LoadSettings(store, form, locale);
    return form;
  }
  std::string Stored(const SettingKey& k) { return store.Read(k.section, k.name).value_or("<absent>"); }
  void Put(const SettingKey& k, const std::string& text) { store.Write(k.section, k.name, text); }

  RecordingStore store;
};

TEST_F(SettingsFormTest, EmptyStoreOpensWithEveryDefault) {
  const SettingsForm form = Loaded();
  EXPECT_EQ(form.txtInclude, "*");
  EXPECT_EQ(form.txtSkip, "");
  EXPECT_EQ(form.txtIncludeFol, "*");
  EXPECT_EQ(form.txtSkipFol, "");
  EXPECT_FALSE(form.chFileTime);
  EXPECT_FALSE(form.chFileSize);
  EXPECT_EQ(form.sortOrder, kNoOrder);
  EXPECT_EQ(form.recursion, kRecurseInfinite);
  EXPECT_EQ(form.txtDepth, "6");
  const std::array<bool, kColumnRowCount> checks{true, true, false, true, true, false};
  EXPECT_EQ(form.columnChecks, checks);
  const std::array<std::string, kColumnRowCount> headings{"Name", "Type", "Ext", "Size", "Date", "Attrs"};
  const std::array<std::string, kColumnRowCount> widths{"35", "20", "6", "10", "12", "6"};
  EXPECT_EQ(form.Text1, headings);
  EXPECT_EQ(form.Text2, widths);
  EXPECT_EQ(form.sizeUnit, kDynamicSize);
  EXPECT_EQ(form.lblBody.backColor, 16777215u);
  EXPECT_EQ(form.lblFolder.backColor, 0u);
  EXPECT_EQ(form.lblFolder.foreColor, 16777215u);
  EXPECT_EQ(form.lblFolder.fontName, "Tahoma");
  EXPECT_EQ(form.lblFolder.fontSize, 10);
  EXPECT_EQ(form.lblFile.backColor, 12566463u);
  EXPECT_EQ(form.lblFileOdd.backColor, 16777215u);
  EXPECT_EQ(form.lblFile.foreColor, 0u);
  EXPECT_EQ(form.lblFile.fontName, "Tahoma");
  EXPECT_EQ(form.lblFile.fontSize, 10);
  EXPECT_TRUE(store.writes.empty()) << "opening must not write";
}

TEST_F(SettingsFormTest, SaveWritesEveryKeyButBrowserInCatalogueOrder) {
  ASSERT_TRUE(SaveSettings(store, Loaded(), kUsLocale));
  std::vector<std::string> expected;
  for (const SettingKey& k : SettingCatalogue()) {
    if (!SameName(k.name, key::kBrowser.name)) expected.push_back(std::string(k.section) + "/" + k.name);
  }
  std::vector<std::string> written;
  for (const auto& w : store.writes) written.push_back(w.first);
  EXPECT_EQ(written, expected);
  EXPECT_EQ(Stored(key::kBrowser), "<absent>");
  EXPECT_EQ(Stored(key::kExtStr), "Ext");
  EXPECT_EQ(Stored(key::kTypeWidth), "20");
  EXPECT_EQ(Stored(key::kFolFontSize), "10");
}

TEST_F(SettingsFormTest, ColumnRowsMapTypeBeforeExtension) {
  SettingsForm form = Loaded();
  form.columnChecks = {false, false, true, false, false, false};
  form.Text1[1] = "Kind";
  form.Text2[2] = "9";
  SaveSettings(store, form, kUsLocale);
  EXPECT_EQ(Stored(key::kExt), "1");
  EXPECT_EQ(Stored(key::kType), "0");
  EXPECT_EQ(Stored(key::kTypeStr), "Kind");
  EXPECT_EQ(Stored(key::kExtWidth), "9");
}

struct SortCase {
  std::vector<std::pair<const SettingKey*, std::string>> stored;
  int expected;
};

class SortFlagsTest : public SettingsFormTest, public ::testing::WithParamInterface<SortCase> {};

TEST_P(SortFlagsTest, LastNonZeroFlagInKeyOrderWins) {
  for (const auto& [k, text] : GetParam().stored) Put(*k, text);
  SettingsForm form = Loaded();
  EXPECT_EQ(form.sortOrder, GetParam().expected);
  SaveSettings(store, form, kUsLocale);
  const SettingKey* keys[] = {&key::kNoOrder, &key::kNameOrder, &key::kExtOrder,
                              &key::kSizeOrder, &key::kTypeOrder, &key::kDateOrder};
  for (int i = 0; i < kSortOptionCount; ++i)
    EXPECT_EQ(Stored(*keys[i]), i == GetParam().expected ? "1" : "0") << keys[i]->name;
}

INSTANTIATE_TEST_SUITE_P(
    Flags, SortFlagsTest,
    ::testing::Values(SortCase{{{&key::kNoOrder, "1"}, {&key::kDateOrder, "1"}}, kDateOrder},
                      SortCase{{{&key::kNoOrder, "0"}}, kNoOption},
                      SortCase{{{&key::kNoOrder, "x"}, {&key::kSizeOrder, "2"}}, kSizeOrder},
                      SortCase{{{&key::kNoOrder, "0"}, {&key::kExtOrder, " -1"}, {&key::kTypeOrder, "0"}}, kExtOrder}));

TEST_F(SettingsFormTest, UnknownChoiceWordsSelectNothingAndSaveEmptyText) {
  Put(key::kRecurse, "infinite");
  Put(key::kDisplayFileSize, "KB");
  SettingsForm form = Loaded();
  EXPECT_EQ(form.recursion, kNoOption);
  EXPECT_EQ(form.sizeUnit, kNoOption);
  SaveSettings(store, form, kUsLocale);
  EXPECT_EQ(Stored(key::kRecurse), "");
  EXPECT_EQ(Stored(key::kDisplayFileSize), "");
  // One past the last choice (3 recursion words, 4 units) is no choice either.
  form.recursion = 3;
  form.sizeUnit = 4;
  Put(key::kRecurse, "No");
  Put(key::kDisplayFileSize, "Kb");
  SaveSettings(store, form, kUsLocale);
  EXPECT_EQ(Stored(key::kRecurse), "");
  EXPECT_EQ(Stored(key::kDisplayFileSize), "");
}

TEST_F(SettingsFormTest, ChoiceWordsRoundTrip) {
  for (const char* unit : {"Bytes", "Kb", "Mb", "Dynamic"}) {
    Put(key::kDisplayFileSize, unit);
    SaveSettings(store, Loaded(), kUsLocale);
    EXPECT_EQ(Stored(key::kDisplayFileSize), unit);
  }
  for (const char* recursion : {"Infinite", "No", "Depth"}) {
    Put(key::kRecurse, recursion);
    SaveSettings(store, Loaded(), kUsLocale);
    EXPECT_EQ(Stored(key::kRecurse), recursion);
  }
}

TEST_F(SettingsFormTest, FreeTextIsKeptExactlyIncludingEmptyAndOddEntries) {
  Put(key::kRecurseDepth, "");
  Put(key::kFileSizeFrom, "-5");
  Put(key::kFileInclude, " *.mp3; *.wav");
  SettingsForm form = Loaded();
  EXPECT_EQ(form.txtDepth, "");
  form.txtToSize = "lots";
  SaveSettings(store, form, kUsLocale);
  EXPECT_EQ(Stored(key::kRecurseDepth), "");
  EXPECT_EQ(Stored(key::kFileSizeFrom), "-5");
  EXPECT_EQ(Stored(key::kFileSizeTo), "lots");
  EXPECT_EQ(Stored(key::kFileInclude), " *.mp3; *.wav");
}

TEST_F(SettingsFormTest, CheckBoxesTickOnlyForOneAndSaveZeroOrOne) {
  Put(key::kFileTime, "1");
  Put(key::kFileSize, "2");
  Put(key::kExt, "1abc");
  Put(key::kName, "");
  Put(key::kPrintLayout, "1");
  SettingsForm form = Loaded();
  EXPECT_TRUE(form.chFileTime);
  EXPECT_FALSE(form.chFileSize);
  EXPECT_TRUE(form.columnChecks[2]);
  EXPECT_FALSE(form.columnChecks[0]);
  EXPECT_TRUE(form.chPrintLayout);
  EXPECT_FALSE(form.chSummary);  // absent: off
  form.chSummary = true;
  form.chPrintLayout = false;
  SaveSettings(store, form, kUsLocale);
  EXPECT_EQ(Stored(key::kFileTime), "1");
  EXPECT_EQ(Stored(key::kFileSize), "0");
  EXPECT_EQ(Stored(key::kSummary), "1");
  EXPECT_EQ(Stored(key::kPrintLayout), "0");
}

struct PointSizeCase {
  const char* stored;
  double shown;
};

class PointSizeTest : public SettingsFormTest, public ::testing::WithParamInterface<PointSizeCase> {};

TEST_P(PointSizeTest, StoredSizeOpensAsWholePoints) {
  Put(key::kFileFontSize, GetParam().stored);
  EXPECT_EQ(Loaded().lblFile.fontSize, GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PointSizeTest,
                         ::testing::Values(PointSizeCase{"9.75", 10}, PointSizeCase{"10.5", 10},
                                           PointSizeCase{"11.5", 12}, PointSizeCase{"12", 12},
                                           PointSizeCase{"big", 10}, PointSizeCase{"0", 10},
                                           PointSizeCase{"-8", 10}, PointSizeCase{"", 10},
                                           PointSizeCase{"1", 1}, PointSizeCase{"1638", 1638},
                                           PointSizeCase{"1639", 10}));

TEST_F(SettingsFormTest, FontSizeUsesTheUsersDecimalSeparator) {
  SettingsForm form = Loaded(kGermanLocale);
  form.lblFile.fontSize = 11.5;
  SaveSettings(store, form, kGermanLocale);
  EXPECT_EQ(Stored(key::kFileFontSize), "11,5");
  EXPECT_EQ(Loaded(kGermanLocale).lblFile.fontSize, 12);
}

TEST_F(SettingsFormTest, ColourThatDoesNotConvertOpensWithTheDefault) {
  Put(key::kBodyBack, "blue");
  Put(key::kFolBack, "-1");
  Put(key::kFileBack, "16777216");
  Put(key::kFileBackOdd, "255");
  Put(key::kFolFontColor, "0");            // the ends of the range are colours: black
  Put(key::kFileFontColor, "16777215");    // and white
  const SettingsForm form = Loaded();
  EXPECT_EQ(form.lblBody.backColor, 16777215u);
  EXPECT_EQ(form.lblFolder.backColor, 0u);
  EXPECT_EQ(form.lblFile.backColor, 12566463u);
  EXPECT_EQ(form.lblFileOdd.backColor, 255u);
  EXPECT_EQ(form.lblFolder.foreColor, 0u);
  EXPECT_EQ(form.lblFile.foreColor, 16777215u);
}

TEST_F(SettingsFormTest, TimeBoundsTakeDateFromOnePickerAndTimeFromTheOther) {
  SettingsForm form = Loaded();
  form.DTPicker1 = {2024, 2, 29, 23, 59, 59};
  form.DTPicker2 = {1999, 1, 1, 7, 5, 42};
  form.DTPicker3 = {2025, 12, 31, 0, 0, 0};
  form.DTPicker4 = {2000, 6, 6, 18, 30, 0};
  SaveSettings(store, form, kUsLocale);
  EXPECT_EQ(Stored(key::kFileTimeFrom), "2/29/2024 07:05");
  EXPECT_EQ(Stored(key::kFileTimeTo), "12/31/2025 18:30");
  // Read back under another spelling of the key, as the time filter asks for it.
  ASSERT_TRUE(store.Read("filter", "FileTimeto").has_value());
  const SettingsForm reopened = Loaded();
  EXPECT_EQ(reopened.DTPicker1, (DateTime{2024, 2, 29, 7, 5, 0}));
  EXPECT_EQ(reopened.DTPicker2, reopened.DTPicker1);
  EXPECT_EQ(reopened.DTPicker4, (DateTime{2025, 12, 31, 18, 30, 0}));
}

TEST_F(SettingsFormTest, AbsentOrUnreadableTimeBoundsOpenAtThePresent) {
  Put(key::kFileTimeFrom, "yesterday");
  const DateTime before = StartOfMinute(LocalNow());
  const SettingsForm form = Loaded();
  const DateTime after = LocalNow();
  for (const DateTime& picker : {form.DTPicker1, form.DTPicker2, form.DTPicker3, form.DTPicker4}) {
    EXPECT_FALSE(picker < before);
    EXPECT_FALSE(after < picker);
  }
}

TEST_F(SettingsFormTest, FillCurrentTimeGivesBothBoundsTheSameMinute) {
  SettingsForm form = Loaded();
  FillCurrentTime(form, DateTime{2026, 3, 4, 9, 15, 44});
  SaveSettings(store, form, kGermanLocale);
  EXPECT_EQ(Stored(key::kFileTimeFrom), "04.03.2026 09:15");
  EXPECT_EQ(Stored(key::kFileTimeTo), Stored(key::kFileTimeFrom));
}

TEST_F(SettingsFormTest, FailedWritesAreReportedAndDoNotStopTheRest) {
  class FailingOneKey : public MemoryStore {
   public:
    bool Write(std::string_view section, std::string_view key, std::string_view value) override {
      if (SameName(key, "FolInclude")) return false;
      return MemoryStore::Write(section, key, value);
    }
  } failing;
  EXPECT_FALSE(SaveSettings(failing, Loaded(), kUsLocale));
  EXPECT_TRUE(failing.Read("HTML", "FileFontSize").has_value());
  EXPECT_TRUE(SaveSettings(store, Loaded(), kUsLocale));
}

TEST(ColourSchemes, ListHoldsTheEightNamesInOrderWithTheSharedValues) {
  // Name, even-row, odd-row and folder header backgrounds, as the stored decimal texts give them.
  const struct {
    const char* name;
    std::uint32_t fileBack, fileBackOdd, folBack;
  } rows[] = {
      {"Cool Green", 15794160, 13434327, 2839808}, {"Cool Blue", 16772829, 16762250, 16744448},
      {"Cool Yellow", 14548991, 11599871, 65535},  {"Nice Grey", 11513775, 15724527, 8421504},
      {"Princess Pink", 11060735, 14017279, 4227327}, {"Denim Blue", 16772055, 16769217, 8404992},
      {"Black Grey", 9408399, 14671839, 0},        {"Brick Red", 9803263, 13421823, 128},
  };
  for (int i = 0; i < kColourSchemeCount; ++i) {
    const ColourScheme& s = ColourSchemes()[i];
    EXPECT_STREQ(s.name, rows[i].name);
    EXPECT_EQ(FindColourScheme(rows[i].name), &s);
    EXPECT_EQ(s.fileBack, rows[i].fileBack) << s.name;
    EXPECT_EQ(s.fileBackOdd, rows[i].fileBackOdd) << s.name;
    EXPECT_EQ(s.folBack, rows[i].folBack) << s.name;
    EXPECT_EQ(s.bodyBack, 16777215u);
    EXPECT_EQ(s.fileFontColor, 0u);
    EXPECT_EQ(s.folFontColor, 16777215u);
    EXPECT_STREQ(s.folFont, "Tahoma");
    EXPECT_STREQ(s.fileFont, "Tahoma");
  }
  EXPECT_EQ(FindColourScheme("brick red"), nullptr);
  EXPECT_EQ(FindColourScheme("Brick Red "), nullptr);
  EXPECT_EQ(FindColourScheme(""), nullptr);
}

TEST_F(SettingsFormTest, BrickRedThenSaveStoresTheSchemeAndKeepsFontSizes) {
  SettingsForm form = Loaded();
  ApplyFontChoice(form.lblFile, FontChoice{"Arial", 255, 14});
  form.lblFolder.fontSize = 8.5;
  ASSERT_TRUE(Combo1_Click(form, "Brick Red"));
  SaveSettings(store, form, kUsLocale);
  EXPECT_EQ(Stored(key::kBodyBack), "16777215");
  EXPECT_EQ(Stored(key::kFileBack), "9803263");
  EXPECT_EQ(Stored(key::kFileBackOdd), "13421823");
  EXPECT_EQ(Stored(key::kFileFontColor), "0");
  EXPECT_EQ(Stored(key::kFolBack), "128");
  EXPECT_EQ(Stored(key::kFolFontColor), "16777215");
  EXPECT_EQ(Stored(key::kFolFont), "Tahoma");
  EXPECT_EQ(Stored(key::kFileFont), "Tahoma");
  EXPECT_EQ(Stored(key::kFileFontSize), "14");
  EXPECT_EQ(Stored(key::kFolFontSize), "8.5");
}

TEST_F(SettingsFormTest, SchemesApplyOnlyOnAnExactNameAndCanBeChosenAgain) {
  SettingsForm form = Loaded();
  EXPECT_FALSE(Combo1_Click(form, "cool blue"));
  EXPECT_EQ(form.lblFolder.backColor, 0u);
  Combo1_Click(form, "Cool Blue");
  form.lblFileOdd.backColor = 255;
  Combo1_Click(form, "Cool Blue");
  EXPECT_EQ(form.lblFileOdd.backColor, 16762250u);
  EXPECT_EQ(form.lblFile.backColor, 16772829u);
  EXPECT_EQ(form.lblFolder.backColor, 16744448u);
}

}  // namespace
}  // namespace tessory::settings
