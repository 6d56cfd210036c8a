#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "settings/encodings.h"
#include "settings/ini_store.h"
#include "settings/memory_store.h"
#include "settings/setting_keys.h"

namespace tessory {
namespace {

// Every key of the four sections with its default, in the order of the settings tables; one row a
// key. nullptr stands for the current date and time.
struct DefaultRow {
    const char* section;
    const char* name;
    const char* value;
};
const DefaultRow kDefaults[] = {
    {"Filter", "FileInclude", "*"},
    {"Filter", "FileExclude", ""},
    {"Filter", "FolInclude", "*"},
    {"Filter", "FolExclude", ""},
    {"Filter", "FileTime", "0"},
    {"Filter", "FileTimeFrom", nullptr},
    {"Filter", "FileTimeTo", nullptr},
    {"Filter", "FileSize", "0"},
    {"Filter", "FileSizeFrom", ""},
    {"Filter", "FileSizeTo", ""},
    {"Output", "NoOrder", "1"},
    {"Output", "NameOrder", "0"},
    {"Output", "ExtOrder", "0"},
    {"Output", "SizeOrder", "0"},
    {"Output", "TypeOrder", "0"},
    {"Output", "DateOrder", "0"},
    {"Output", "Recurse", "Infinite"},
    {"Output", "RecurseDepth", "6"},
    {"Output", "Browser", "1"},
    {"Output", "Summary", "0"},
    {"Display", "Name", "1"},
    {"Display", "Ext", "0"},
    {"Display", "Type", "1"},
    {"Display", "Size", "1"},
    {"Display", "DateTime", "1"},
    {"Display", "Attrib", "0"},
    {"Display", "NameStr", "Name"},
    {"Display", "ExtStr", "Ext"},
    {"Display", "TypeStr", "Type"},
    {"Display", "SizeStr", "Size"},
    {"Display", "DateStr", "Date"},
    {"Display", "AttribStr", "Attrs"},
    {"Display", "NameWidth", "35"},
    {"Display", "ExtWidth", "6"},
    {"Display", "TypeWidth", "20"},
    {"Display", "SizeWidth", "10"},
    {"Display", "DateWidth", "12"},
    {"Display", "AttribWidth", "6"},
    {"Display", "DisplayFileSize", "Dynamic"},
    {"HTML", "BodyBack", "16777215"},
    {"HTML", "FolBack", "0"},
    {"HTML", "FolFontColor", "16777215"},
    {"HTML", "FolFont", "Tahoma"},
    {"HTML", "FolFontSize", "10"},
    {"HTML", "FileBack", "12566463"},
    {"HTML", "FileBackOdd", "16777215"},
    {"HTML", "FileFontColor", "0"},
    {"HTML", "FileFont", "Tahoma"},
    {"HTML", "FileFontSize", "10"},
    {"HTML", "PrintLayout", "0"},
};

TEST(CatalogueTest, EveryKeyInTableOrderReadsItsDefaultFromAnEmptyStore) {
    MemoryStore empty;
    InstallSettingsStore(&empty);
    const auto& keys = SettingCatalogue();
    EXPECT_EQ(keys.size(), std::size(kDefaults));
    for (size_t i = 0; i < std::min(keys.size(), std::size(kDefaults)); ++i) {
        const DefaultRow& row = kDefaults[i];
        EXPECT_EQ(std::string(keys[i].section) + "." + keys[i].name, std::string(row.section) + "." + row.name);
        const SettingKey* key = FindSettingKey(row.section, row.name);
        ASSERT_NE(key, nullptr) << row.name;
        DateTime before = LocalNow();
        std::string value = GetSetting(*key);
        DateTime after = LocalNow();
        if (row.value) {
            EXPECT_EQ(value, row.value) << row.name;
        } else {
            auto moment = ParseDateTime(value);
            ASSERT_TRUE(moment.has_value()) << row.name << ": " << value;
            EXPECT_FALSE(*moment < before || after < *moment) << row.name << ": " << value;
        }
    }
    InstallSettingsStore(nullptr);
    EXPECT_EQ(FindSettingKey("filter", "FileTimeto"), &keys[6]);
    EXPECT_EQ(FindSettingKey("Filter", "Nope"), nullptr);
}

TEST(ProcessStoreTest, GetAndSaveGoThroughTheInstalledStore) {
    MemoryStore store;
    InstallSettingsStore(&store);
    EXPECT_EQ(GetSetting(key::kRecurseDepth), "6");
    EXPECT_TRUE(SaveSetting(key::kRecurseDepth, ""));
    EXPECT_EQ(GetSetting("OUTPUT", "recursedepth", "6"), "");  // an existing empty text stays empty
    EXPECT_TRUE(SaveSetting("Filter", "FileTimeTo", "2/3/2004 12:00"));
    EXPECT_EQ(GetSetting("Filter", "FileTimeto", ""), "2/3/2004 12:00");
    store.SetReadOnly(true);
    EXPECT_FALSE(SaveSetting(key::kBrowser, "0"));
    InstallSettingsStore(nullptr);
    EXPECT_EQ(GetSetting(key::kRecurseDepth), "6");
}

TEST(OverlayStoreTest, OverridesReadsWithoutTouchingTheBase) {
    MemoryStore base;
    base.Write("Output", "Recurse", "No");
    base.Write("Output", "Browser", "0");
    OverlayStore overlay(base);
    overlay.Write("output", "RECURSE", "Depth");
    EXPECT_EQ(overlay.Read("Output", "Recurse"), "Depth");
    EXPECT_EQ(overlay.Read("Output", "Browser"), "0");
    EXPECT_EQ(base.Read("Output", "Recurse"), "No");
}

class IniStoreTest : public ::testing::Test {
protected:
    IniStoreTest() {
        folder = std::filesystem::temp_directory_path() / ("tessory-ini-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                                           std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        std::filesystem::create_directories(folder);
        path = (folder / "Ombrel.ini").string();
    }
    ~IniStoreTest() override { std::filesystem::remove_all(folder); }
    std::string Contents() {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::filesystem::path folder;
    std::string path;
};

TEST_F(IniStoreTest, WritesPersistAndKeepForeignLines) {
    std::ofstream(path, std::ios::binary) << "; kept comment\r\n[Output]\r\nRecurse=No\r\nUnknown=keep me\r\n\r\n[Other]\r\nx=1\r\n";
    {
        IniStore store(path);
        EXPECT_EQ(store.Read("OUTPUT", "recurse"), "No");
        EXPECT_TRUE(store.Write("Output", "RECURSE", "Depth"));
        EXPECT_TRUE(store.Write("output", "RecurseDepth", " 3 "));
        EXPECT_TRUE(store.Write("Filter", "FileInclude", "*.mp3; *.wav"));
        EXPECT_TRUE(store.Write("Filter", "FileExclude", ""));
        EXPECT_FALSE(store.Write("Filter", "FileInclude", "two\nlines"));
    }
    IniStore reopened(path);
    EXPECT_EQ(reopened.Read("Output", "Recurse"), "Depth");
    EXPECT_EQ(reopened.Read("Output", "RecurseDepth"), " 3 ");
    EXPECT_EQ(reopened.Read("Filter", "FileInclude"), "*.mp3; *.wav");
    EXPECT_EQ(reopened.Read("Filter", "FileExclude"), "");
    EXPECT_EQ(reopened.Read("Filter", "FolInclude"), std::nullopt);
    EXPECT_EQ(reopened.Read("Other", "Recurse"), std::nullopt);
    std::string text = Contents();
    EXPECT_NE(text.find("; kept comment"), std::string::npos);
    EXPECT_NE(text.find("Unknown=keep me\nRecurseDepth= 3 \n"), std::string::npos);
    EXPECT_NE(text.find("[Other]\nx=1"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
}

// The new file is written through a link to the device that is always full: the write fails, the
// old file stays as it was, and nothing of the attempt is left behind.
TEST_F(IniStoreTest, AWriteThatCannotBeFlushedFailsAndKeepsTheFile) {
#ifdef _WIN32
    GTEST_SKIP() << "no full device to link to";
#else
    std::ofstream(path, std::ios::binary) << "[Output]\nRecurse=No\n";
    std::filesystem::create_symlink("/dev/full", path + ".new");
    IniStore store(path);
    EXPECT_FALSE(store.Write("Output", "Recurse", "Depth"));
    EXPECT_EQ(Contents(), "[Output]\nRecurse=No\n");
    EXPECT_EQ(IniStore(path).Read("Output", "Recurse"), "No");
    EXPECT_FALSE(std::filesystem::is_symlink(path + ".new"));
#endif
}

TEST_F(IniStoreTest, WriteIntoAMissingFolderFailsAndLeavesNothing) {
    IniStore store((folder / "missing" / "Ombrel.ini").string());
    EXPECT_EQ(store.Read("Output", "Recurse"), std::nullopt);
    EXPECT_FALSE(store.Write("Output", "Recurse", "No"));
    EXPECT_EQ(store.Read("Output", "Recurse"), std::nullopt);
}

// Hand-edited files: blanks around headers and keys, an empty section name, comment keys, a
// line that only ends like a header.
TEST_F(IniStoreTest, HandEditedLinesReadAsTheirAuthorMeantThem) {
    std::ofstream(path, std::ios::binary) << "\t [Sec]   \r\n \tk1\t = v1\r\n;c=1\n#h=2\nx]\n k2=v2\n[]\nk3=v3\n";
    IniStore store(path);
    EXPECT_EQ(store.Read("Sec", "k1"), " v1");
    EXPECT_EQ(store.Read("Sec", ";c"), std::nullopt);
    EXPECT_EQ(store.Read("Sec", "#h"), std::nullopt);
    EXPECT_EQ(store.Read("Sec", "k2"), "v2");  // "x]" is no header; one blank before a key goes
    EXPECT_TRUE(SameName("Output", "oUTPUT"));
    EXPECT_FALSE(SameName("Output", "Xutput"));
    EXPECT_EQ(store.Read("", "k3"), "v3");
    EXPECT_FALSE(store.Write("Sec", "a]", "v"));
    EXPECT_FALSE(store.Write("s]", "a", "v"));
    // Another process's write since this store was opened is kept, and a new section is set off
    // by a blank line.
    std::ofstream(path, std::ios::binary) << "[Other]\nx=1\n";
    EXPECT_TRUE(store.Write("New", "k", "v"));
    EXPECT_EQ(Contents(), "[Other]\nx=1\n\n[New]\nk=v\n");
}

#ifndef _WIN32
TEST(IniStorePathTest, AnEmptyHomeMeansTheCurrentFolder) {
    const char* home = std::getenv("HOME");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string savedHome = home ? home : "", savedConfig = config ? config : "";
    ::setenv("HOME", "", 1);
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(IniStore::DefaultPath(), "./.config/Ombrel.ini");
    if (home) ::setenv("HOME", savedHome.c_str(), 1);
    if (config) ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
}
#endif

TEST_F(IniStoreTest, AKeyNewToAnEmptySectionGoesRightUnderItsHeader) {
    std::ofstream(path, std::ios::binary) << "[Output]\n[Other]\nx=1\n";
    EXPECT_TRUE(IniStore(path).Write("Output", "Recurse", "No"));
    EXPECT_EQ(Contents(), "[Output]\nRecurse=No\n[Other]\nx=1\n");
}

// The new text is written beside the file, but a folder of that name cannot be replaced by it.
TEST_F(IniStoreTest, WriteOverAFolderFailsAndLeavesNothing) {
    std::filesystem::create_directories(path);
    IniStore store(path);
    EXPECT_FALSE(store.Write("Output", "Recurse", "No"));
    EXPECT_EQ(store.Read("Output", "Recurse"), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
}

TEST(EncodingsTest, NumbersFlagsAndColours) {
    EXPECT_EQ(ReadFlag("1"), 1);
    EXPECT_EQ(ReadFlag(" 2abc"), 2);
    EXPECT_EQ(ReadFlag(""), 0);
    EXPECT_EQ(ReadFlag("yes"), 0);
    EXPECT_EQ(FlagText(true), "1");
    EXPECT_DOUBLE_EQ(LeadingNumber("-2.5x"), -2.5);
    EXPECT_DOUBLE_EQ(LeadingNumber("-12.25x"), -12.25);
    EXPECT_DOUBLE_EQ(*ParseDecimal("12.25", UserLocale{}), 12.25);
    // Views that end before the text does: nothing past their end is read.
    EXPECT_DOUBLE_EQ(LeadingNumber(std::string_view("12").substr(0, 1)), 1);
    EXPECT_DOUBLE_EQ(LeadingNumber(std::string_view("0.25").substr(0, 3)), 0.2);
    EXPECT_EQ(ParseFontSize(std::string_view("11.55").substr(0, 3)), 11);
    EXPECT_EQ(ParseUserNumber(std::string_view("1,0005").substr(0, 5)), 1000);
    EXPECT_EQ(ParseFontSize(std::string_view("12").substr(0, 1)), 1);
    EXPECT_EQ(ParseFontSize(std::string_view("1.5").substr(0, 1)), 1);
    EXPECT_EQ(ParseUserNumber(std::string_view("1.5").substr(0, 1)), 1);
    EXPECT_EQ(ParseUserNumber(std::string_view("1.25").substr(0, 3)), 1.2);
    EXPECT_EQ(ParseUserNumber(std::string_view("100,5").substr(0, 4)), std::nullopt);
    EXPECT_EQ(ParseDateTime(std::string_view("2/3/2004 14:05:09").substr(0, 14)), (DateTime{2004, 2, 3, 14, 5, 0}));
    EXPECT_EQ(ParseDateTime(std::string_view("2/3/2004").substr(0, 7)), (DateTime{200, 2, 3, 0, 0, 0}));
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
    EXPECT_EQ(RoundHalfEven(1e10), INT_MAX);
    EXPECT_EQ(RoundHalfEven(-1e10), INT_MIN);
    EXPECT_EQ(ReadFlag("99999999999"), INT_MAX);
    EXPECT_EQ(ReadFlag("-99999999999"), INT_MIN);
    EXPECT_EQ(ParseColour("16777215"), 16777215);
    EXPECT_EQ(ParseColour("-1"), -1);
    EXPECT_EQ(ParseColour("2147483647"), INT32_MAX);
    EXPECT_EQ(ParseColour("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseColour("2147483648"), std::nullopt);
    EXPECT_EQ(ParseColour("4294967296"), std::nullopt);
    EXPECT_EQ(ParseColour("red"), std::nullopt);
    EXPECT_EQ(ColourText(12566463), "12566463");
}

// Option buttons and the browser mark: the fraction counts before the test against 0.
TEST(EncodingsTest, FlagNotZeroReadsTheWholeLeadingNumber) {
    const std::pair<const char*, bool> cases[] = {
        {"1", true},    {"0", false},    {"", false},     {"abc", false},   {"2", true},
        {" 1", true},   {"-1", true},    {"0x1", false},  {"1abc", true},   {"99999999999999999999", true},
        {"0.5", true},  {".5", true},    {"-0.0", false}, {"0,5", false},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(FlagNotZero(text), expected) << text;
}

TEST(EncodingsTest, FontSizesRoundHalfToEven) {
    UserLocale comma;
    comma.decimalSeparator = ',';
    EXPECT_EQ(ParseFontSize("9.75"), 10);
    EXPECT_EQ(ParseFontSize("10.5"), 10);
    EXPECT_EQ(ParseFontSize("11.5"), 12);
    EXPECT_EQ(ParseFontSize("11,5", comma), 12);
    EXPECT_EQ(ParseFontSize("big"), std::nullopt);
    EXPECT_EQ(ParseFontSize("11x5"), std::nullopt) << "only the locale's separator or a point";
    EXPECT_EQ(ParseFontSize(""), std::nullopt);
    EXPECT_EQ(FontSizeText(10), "10");
    EXPECT_EQ(FontSizeText(9.75, comma), "9,75");
}

TEST(EncodingsTest, UserNumbersTakeTheLocalesGroupAndDecimalSeparators) {
    UserLocale us, de, fr, nb, odd;
    de.decimalSeparator = fr.decimalSeparator = nb.decimalSeparator = odd.decimalSeparator = ',';
    de.groupSeparator = ".";
    fr.groupSeparator = "\xE2\x80\xAF";  // narrow no-break space
    nb.groupSeparator = "\xC2\xA0";      // no-break space
    odd.groupSeparator = ",";           // the same as the decimal separator: no grouping
    struct Case {
        const UserLocale& locale;
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {us, "1,000", 1000},          {us, " 1,000,000.5 ", 1000000.5}, {us, "1.000", 1},
        {us, "-2,500", -2500},        {us, "1,,000", std::nullopt},     {us, ",100", std::nullopt},
        {us, "100,", std::nullopt},   {us, "1,000.5,0", std::nullopt},  {us, "", std::nullopt},
        {de, "1.000", 1000},          {de, "1.000,5", 1000.5},          {de, "2,5", 2.5},
        {de, "1.000.", std::nullopt}, {fr, "1\xE2\x80\xAF" "000", 1000}, {fr, "1 000,25", 1000.25},
        {nb, "1 000,5", 1000.5},      {us, "1 000", std::nullopt},      {odd, "1,5", 1.5},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseUserNumber(c.text, c.locale), c.value) << c.text;
}

TEST(EncodingsTest, DatesInTheStoredFormsAndLocales) {
    UserLocale us, de;
    de.dateSeparator = '.';
    de.dateOrder = DateOrder::DayMonthYear;
    DateTime t{2004, 2, 3, 14, 5, 0};
    EXPECT_EQ(DateTimeText(t, us), "2/3/2004 14:05");
    EXPECT_EQ(DateTimeText(t, de), "03.02.2004 14:05");
    EXPECT_EQ(ParseDateTime(DateTimeText(t, de), de), t);
    EXPECT_EQ(ParseDateTime(GeneralDateTimeText({2004, 2, 3, 14, 5, 9}, us), us), (DateTime{2004, 2, 3, 14, 5, 9}));
    EXPECT_EQ(ParseDateTime("2/3/2004 2:05 PM", us), t);
    EXPECT_EQ(ParseDateTime("12/30/2004 12:00:00 AM", us), (DateTime{2004, 12, 30, 0, 0, 0}));
    EXPECT_EQ(ParseDateTime("2004-02-03 14:05", us), t);
    EXPECT_EQ(ParseDateTime("2/3/2004 2:05 pm", us), t);
    EXPECT_EQ(ParseDateTime("2/3/2004 1:00 PM", us), (DateTime{2004, 2, 3, 13, 0, 0}));
    // Two-digit years: up to 29 in this century, from 30 in the last; three digits stay as written.
    const std::pair<const char*, int> years[] = {{"2/3/04", 2004}, {"2/3/29", 2029}, {"2/3/30", 1930},
                                                 {"2/3/31", 1931}, {"2/3/99", 1999}, {"2/3/100", 100}};
    for (const auto& [text, year] : years) EXPECT_EQ(ParseDateTime(text, us), (DateTime{year, 2, 3, 0, 0, 0})) << text;
    // A locale whose date separator is none of "/", "-" and ".".
    UserLocale blank = de;
    blank.dateSeparator = ' ';
    EXPECT_EQ(DateTimeText(t, blank), "03 02 2004 14:05");
    EXPECT_EQ(ParseDateTime("03 02 2004 14:05", blank), t);
    EXPECT_EQ(ParseDateTime("03 02 2004 14:05", de), std::nullopt);
    for (const char* bad : {"", "soon", "2/30/2004", "2/3/2004 25:00", "2/3/2004 1:00 XM", "2/3-2004", "2/3/2004x",
                            "2/3/2004 2:005", "2/3/2004 0:00 AM", "2/3/2004 13:00 PM", "2/3/2004 :05", "2/3/2004 14x05",
                            "2/3/02004", "2/3/2004 014:05", "2/3/2004 14:05:009"})
        EXPECT_EQ(ParseDateTime(bad, us), std::nullopt) << bad;
}

}  // namespace
}  // namespace tessory
