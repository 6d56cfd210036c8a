#include <gtest/gtest.h>

#include "listing/column_values.h"
#include "listing/filters.h"
#include "listing/type_names.h"
#include "listing/wildcard.h"
#include "settings/memory_store.h"
#include "settings/setting_keys.h"

namespace tessory {
namespace {

struct SizeCase {
    std::uint64_t length;
    SizeUnit unit;
    const char* text;
};

TEST(SizeTextTest, UnitsAndBoundaries) {
    const SizeCase cases[] = {
        {0, SizeUnit::Dynamic, "0 Bytes"},          {1023, SizeUnit::Dynamic, "1023 Bytes"},
        {1024, SizeUnit::Dynamic, "1.0 KB"},        {1048576, SizeUnit::Dynamic, "1024.0 KB"},
        {1048577, SizeUnit::Dynamic, "1.0 MB"},     {1073741824, SizeUnit::Dynamic, "1024.0 MB"},
        {1073741825, SizeUnit::Dynamic, "1.0 GB"},  {100, SizeUnit::Kilo, "0.1 KB"},
        {2048, SizeUnit::Bytes, "2048 Bytes"},      {256, SizeUnit::Kilo, "0.3 KB"},
        {1048575, SizeUnit::Kilo, "1024.0 KB"},     {0, SizeUnit::Mega, "0.0 MB"},
        {8796093022208ull, SizeUnit::Dynamic, "8192.0 GB"},
        {18446744073709551615ull, SizeUnit::Bytes, "18446744073709551615 Bytes"},
    };
    for (const SizeCase& c : cases) EXPECT_EQ(SizeText(c.length, c.unit, '.'), c.text) << c.length;
    EXPECT_EQ(SizeText(1536, SizeUnit::Dynamic, ','), "1,5 KB");
}

TEST(ColumnValuesTest, ColoursExtensionsAttributesAndDates) {
    EXPECT_EQ(HtmlColour(12566463), "#BFBFBF");
    EXPECT_EQ(HtmlColour(255), "#FF0000");
    EXPECT_EQ(HtmlColour(16711680), "#0000FF");
    EXPECT_EQ(HtmlColour(0), "#000000");
    EXPECT_EQ(HtmlColour(-1), "#FFFFFF");
    EXPECT_EQ(HtmlColour(0x123456), "#563412");  // stored blue, green, red from the top
    EXPECT_EQ(HexByte(10), "0A");
    EXPECT_EQ(ExtensionText("report.final.doc"), "doc");
    EXPECT_EQ(ExtensionText(".profile"), "profile");
    EXPECT_EQ(ExtensionText("README"), "");
    EXPECT_EQ(ExtensionText("name."), "");
    EXPECT_EQ(AttributeText(kAttrArchive | kAttrReadOnly), "ar");
    EXPECT_EQ(AttributeText(kAttrSystem | kAttrHidden | kAttrReadOnly | kAttrArchive), "ahrs");
    EXPECT_EQ(AttributeText(0), "");
    // Out of range, a field is printed as it is; the last ones in range keep the fixed widths.
    const std::pair<DateTime, const char*> dates[] = {
        {{2004, 2, 3, 23, 59, 59}, "02.03.2004"}, {{9999, 99, 99}, "99.99.9999"}, {{0, 0, 0}, "00.00.0000"},
        {{10000, 2, 3}, "02.03.10000"},           {{2004, 100, 3}, "100.03.2004"}, {{2004, 2, 100}, "02.100.2004"},
        {{-1, 2, 3}, "02.03.-001"},               {{2004, -1, 3}, "-1.03.2004"},   {{2004, 2, -1}, "02.-1.2004"},
        {{1987, 12, 31}, "12.31.1987"},           {{5432, 10, 29}, "10.29.5432"},
    };
    for (const auto& [date, text] : dates) EXPECT_EQ(DateText(date, '.'), text);
    EXPECT_EQ(EscapeMarkup("a<b>&c"), "a&lt;b&gt;&c");
    // Style sheet texts: letters, digits and a few signs as they are, every other ASCII byte escaped.
    EXPECT_EQ(EscapeCss("azAZ09 -_,.\x80\xFF"), "azAZ09 -_,.\x80\xFF");
    EXPECT_EQ(EscapeCss("`{@[/:\x7F\x0F\x10"), "\\60 \\7b \\40 \\5b \\2f \\3a \\7f \\f \\10 ");
    // UTF-8 at the edges of each sequence length, kept; one past them, replaced.
    for (const char* valid : {"\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "\xC3\xA9\x7F"})
        EXPECT_EQ(ValidUtf8(valid), valid);
    for (const char* wrong : {"\xC1\xBF", "\xE0\x9F\x80", "\xED\xA0\x80", "\xF0\x8F\x80\x80", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80"})
        EXPECT_NE(ValidUtf8(wrong), wrong);
}

// The last extension decides, whatever its letter case; an unknown one is named in capitals.
TEST(TypeNamesTest, LookupByTheLastExtensionIgnoringCase) {
    EXPECT_EQ(TypeNameFromExtension("NOTES.TxT"), "Text Document");
    EXPECT_EQ(TypeNameFromExtension("backup.tar.GZ"), "GZ Archive");
    EXPECT_EQ(TypeNameFromExtension("a.b.Qux"), "QUX File");
    EXPECT_EQ(TypeNameFromExtension(".profile"), "PROFILE File");
    EXPECT_EQ(TypeNameFromExtension("trailing."), "File");
    EXPECT_EQ(TypeNameFromExtension("Makefile"), "File");
    // The first, last, shortest and longest of the table, and names just beside them.
    EXPECT_EQ(TypeNameFromExtension("a.7Z"), "7-Zip Archive");
    EXPECT_EQ(TypeNameFromExtension("a.zip"), "Compressed (zipped) Folder");
    EXPECT_EQ(TypeNameFromExtension("a.C"), "C Source File");
    EXPECT_EQ(TypeNameFromExtension("a.JPEG"), "JPEG Image");
    EXPECT_EQ(TypeNameFromExtension("a.jpegs"), "JPEGS File");
    EXPECT_EQ(TypeNameFromExtension("a.zi"), "ZI File");
    EXPECT_EQ(TypeNameFromExtension("a.zipx"), "ZIPX File");
    EXPECT_EQ(TypeNameFromExtension("a.b"), "B File");
}

struct MatchCase {
    const char* patterns;
    const char* text;
    PatternList::Result result;
};

TEST(WildcardTest, PatternTable) {
    using R = PatternList::Result;
    const MatchCase cases[] = {
        {"*.mp3;*.wav", "Song.MP3", R::Match},     {"*.mp3;*.wav", "a.wav", R::Match},
        {"*.mp3; *.wav", "a.wav", R::NoMatch},     {"report##.txt", "report07.txt", R::Match},
        {"report##.txt", "report7.txt", R::NoMatch}, {"report##.txt", "reportAB.txt", R::NoMatch},
        {"[a-c]*", "Beta", R::Match},              {"[a-c]*", "delta", R::NoMatch},
        {"[!a-c]*", "delta", R::Match},            {"[!a-c]*", "alpha", R::NoMatch},
        {"a[]b", "ab", R::Match},                  {"[*?#[]x", "#x", R::Match},
        {"[-z]", "-", R::Match},                   {"[a-]", "-", R::Match},
        {"?", "é", R::Match},                      {"É*", "élan", R::Match},
        {"*a*b*c", "xxaxxbxxbcxc", R::Match},      {"*a*b*c", "abca", R::NoMatch},
        {"", "x", R::NoMatch},                     {"x;", "", R::Match},
        {"*\\temp", "c:\\data\\temp", R::Match},   {"temp", "c:\\data\\temp", R::NoMatch},
        {"[abc", "a", R::Malformed},               {"x;[z-a]", "y", R::Malformed},
        {"y;[z-a]", "y", R::Match},
        {"ÿ", "Ÿ", R::Match},                      {"ź", "Ÿ", R::NoMatch},
        {"ά*", "ΆΛΦΑ", R::Match},                  {"ϊϋ", "ΪΫ", R::Match},
        {"report*", "report", R::Match},          {"report*", "repor", R::NoMatch},
    };
    for (const MatchCase& c : cases) {
        EXPECT_EQ(PatternList(c.patterns).FirstMatch(LowerText(c.text)), c.result) << c.patterns << " / " << c.text;
    }
}

// The first and last code point of each UTF-8 length decode to one character; below them, the
// overlong form and a byte that cannot start a sequence stand for themselves.
TEST(WildcardTest, LowerTextDecodesEachLengthAtItsEdges) {
    const std::pair<const char*, std::u32string> cases[] = {
        {"\x7F", U"\x7F"},                 {"\xC2\x80", U"\x80"},            {"\xDF\xBF", U"\x7FF"},
        {"\xE0\xA0\x80", U"\x800"},        {"\xEF\xBF\xBF", U"\xFFFF"},      {"\xF0\x90\x80\x80", U"\x10000"},
        {"\xF4\x8F\xBF\xBF", U"\x10FFFF"}, {"\xE0\x9F\xBF", U"\xE0\x9F\xBF"}, {"\xC1\xBF", U"\xE1\xBF"},  // Á lowered
        {"\xF4\x90\x80\x80", U"\xF4\x90\x80\x80"}, {"\xF0\x8F\xBF\xBF", U"\xF0\x8F\xBF\xBF"}, {"\x84\x80\x80\x80", U"\x84\x80\x80\x80"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(LowerText(text), expected) << testing::PrintToString(text);
}

class FilterTest : public ::testing::Test {
protected:
    void Set(const SettingKey& key, const std::string& value) { store.Write(key.section, key.name, value); }
    bool File(const std::string& name, std::uint64_t length = 50, DateTime modified = {2004, 2, 3, 12, 0, 45}) {
        return FilePasses(FileInfo{name, length, modified, 0u}, ReadListingSettings(store, now));
    }
    bool Folder(const std::string& path) { return FolderPasses(path, ReadListingSettings(store, now)); }
    MemoryStore store;
    DateTime now{2004, 2, 3, 12, 0, 0};
};

TEST_F(FilterTest, DefaultsPassEverything) {
    EXPECT_TRUE(File("anything.bin", 0));
    EXPECT_TRUE(Folder("C:\\"));
}

TEST_F(FilterTest, FolderListsAndMalformedPatternSkips) {
    Set(key::kFolInclude, "");
    EXPECT_FALSE(Folder("C:\\Data"));
    Set(key::kFolInclude, "*\\music*");
    EXPECT_FALSE(Folder("C:\\Users"));
    EXPECT_TRUE(Folder("C:\\Users\\Me\\Music\\Live"));
    Set(key::kFolInclude, "*");
    Set(key::kFolExclude, "*\\Backup");
    EXPECT_FALSE(Folder("C:\\Data\\backup"));
    Set(key::kFolExclude, "[x");
    EXPECT_FALSE(Folder("C:\\Data"));
    Set(key::kFolExclude, "");
    Set(key::kFolInclude, "[x");
    EXPECT_FALSE(Folder("C:\\Data"));
}

TEST_F(FilterTest, NameListsAndMalformedPatternLists) {
    Set(key::kFileExclude, "*.bak");
    EXPECT_FALSE(File("OLD.BAK"));
    EXPECT_TRUE(File("old.txt"));
    Set(key::kFileInclude, "*.txt");
    EXPECT_FALSE(File("a.doc"));
    Set(key::kFileInclude, "[z-a]");
    EXPECT_TRUE(File("a.doc"));
    Set(key::kFileInclude, "*.txt");
    Set(key::kFileExclude, "[x");
    EXPECT_TRUE(File("a.doc"));
}

TEST_F(FilterTest, SizeRangeIsInclusiveAndNeedsBothBounds) {
    Set(key::kFileSize, "1");
    Set(key::kFileSizeFrom, "100");
    EXPECT_TRUE(File("a", 5));  // upper bound empty: filter off
    Set(key::kFileSizeTo, "100");
    EXPECT_TRUE(File("a", 100));
    EXPECT_FALSE(File("a", 101));
    EXPECT_FALSE(File("a", 99));
    Set(key::kFileSizeTo, "lots");
    EXPECT_TRUE(File("a", 101));  // a bound that is not a number lists the file
    Set(key::kFileSizeTo, "10000000000");
    EXPECT_TRUE(File("big", 6000000000ull));
    Set(key::kFileSize, "2");
    Set(key::kFileSizeTo, "100");
    EXPECT_TRUE(File("a", 101));
}

TEST_F(FilterTest, SizeBoundsInTheUsersNumberFormat) {
    Set(key::kFileSize, "1");
    Set(key::kFileSizeFrom, "1,000");
    Set(key::kFileSizeTo, "2,000");
    EXPECT_FALSE(File("a", 999));
    EXPECT_TRUE(File("a", 2000));
    UserLocale german;
    german.decimalSeparator = ',';
    german.groupSeparator = ".";
    Set(key::kFileSizeFrom, "1.000");
    Set(key::kFileSizeTo, "1.000,5");
    EXPECT_FALSE(FilePasses(FileInfo{"a", 999, now, 0u}, ReadListingSettings(store, now, german)));
    EXPECT_TRUE(FilePasses(FileInfo{"a", 1000, now, 0u}, ReadListingSettings(store, now, german)));
}

TEST_F(FilterTest, TimeRangeComparesToTheSecond) {
    Set(key::kFileTime, "1");
    Set(key::kFileTimeFrom, "2/3/2004 11:00");
    Set(key::kFileTimeTo, "2/3/2004 12:00");
    EXPECT_FALSE(File("a", 1, {2004, 2, 3, 12, 0, 45}));
    EXPECT_TRUE(File("a", 1, {2004, 2, 3, 12, 0, 0}));
    EXPECT_TRUE(File("a", 1, {2004, 2, 3, 11, 0, 0}));
    EXPECT_FALSE(File("a", 1, {2004, 2, 3, 10, 59, 59}));
    Set(key::kFileTimeTo, "someday");
    EXPECT_TRUE(File("a", 1, {2030, 1, 1, 0, 0, 0}));
    store = MemoryStore();
    Set(key::kFileTime, "1");  // absent bounds stand for the moment of the run
    EXPECT_TRUE(File("a", 1, now));
    EXPECT_FALSE(File("a", 1, {2004, 2, 3, 12, 0, 1}));
}

TEST_F(FilterTest, NameFilterStillAppliesInsideTheSizeRange) {
    Set(key::kFileInclude, "*.txt");
    Set(key::kFileSize, "1");
    Set(key::kFileSizeFrom, "10");
    Set(key::kFileSizeTo, "100");
    EXPECT_FALSE(File("a.doc", 50));
    EXPECT_TRUE(File("a.txt", 50));
}

}  // namespace
}  // namespace tessory
