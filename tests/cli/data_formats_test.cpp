// CSV, JSON and --compare through the tool itself; JSON output is read back with nlohmann-json,
// an independent parser.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <sstream>

#include <nlohmann/json.hpp>

#include "../listing/fakes.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/compare.h"
#include "cli/data_writers.h"
#include "listing/document.h"
#include "platform/file_io.h"

namespace tessory {
namespace {

// Central European rules, given inline so that no time zone database is needed.
class BerlinTime {
public:
    BerlinTime() {
        if (const char* tz = std::getenv("TZ")) old_ = tz;
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
    ~BerlinTime() {
        if (old_) setenv("TZ", old_->c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> old_;
};

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string ReadWhole(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
}

ListedFile Named(const char* name) {
    ListedFile file;
    file.name = name;
    return file;
}

TEST(DataTextTest, QuotingEscapingAndTimes) {
    EXPECT_EQ(CsvField("plain name.txt"), "plain name.txt");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\r\nlines"), "\"two\r\nlines\"");
    EXPECT_EQ(CsvField("bad\xFF"), "bad\xEF\xBF\xBD");
    EXPECT_EQ(JsonString("q\"b\\s\x01\n\xC3"), "\"q\\\"b\\\\s\\u0001\\n\xEF\xBF\xBD\"");
    EXPECT_EQ(JsonString("unit\x1Fsep\x7F"), "\"unit\\u001fsep\x7F\"");
    EXPECT_EQ(JsonString("tab\tcr\r"), "\"tab\\tcr\\r\"");

    BerlinTime berlin;
    EXPECT_EQ(Iso8601Local({2026, 12, 7, 9, 5, 0}), "2026-12-07T09:05:00+01:00");
    EXPECT_EQ(Iso8601Local({2026, 7, 1, 23, 59, 58}), "2026-07-01T23:59:58+02:00");
    EXPECT_EQ(ParseIso8601("2026-12-07T09:05:00+01:00"), 1796630700);
    EXPECT_EQ(ParseIso8601("2026-12-07T08:05:00Z"), 1796630700);
    EXPECT_EQ(ParseIso8601("2024-02-29T13:30:00+01:30"), 1709208000);
    EXPECT_EQ(ParseIso8601("2026-02-28T23:59:59Z"), 1772323199);  // both sides of March 1st, by date(1)
    EXPECT_EQ(ParseIso8601("2026-03-01T00:00:00Z"), 1772323200);
    EXPECT_EQ(LocalToEpoch({2026, 12, 7, 9, 5, 0}), 1796630700);
    for (const char* wrong : {"", "2026-12-07 09:05:00+01:00", "2026-02-30T00:00:00Z", "2026-12-07T09:05:00+0100",
                              "12026-01-01T00:00:00Z", "+026-01-01T00:00:00Z", "2026-12-07T09:05:00+01:00:6",
                              "2026-12-32T00:00:00Z", "2026-04-31T00:00:00Z", "2025-02-29T00:00:00Z",
                              "2026-12-07T09:05:00+01", "2026-12-07T09:05"})
        EXPECT_FALSE(ParseIso8601(wrong).has_value()) << wrong;

    // Offsets of old zone rules, with seconds; years outside 0 to 9999 with their sign.
    struct Instant {
        DateTime local;
        std::int64_t offset;
        const char* text;
        std::int64_t epoch;
    };
    const Instant instants[] = {
        {{1937, 6, 30, 23, 59, 59}, 1172, "1937-06-30T23:59:59+00:19:32", -1025741973},
        {{1900, 1, 1, 0, 0, 0}, -(4 * 3600 + 56 * 60 + 2), "1900-01-01T00:00:00-04:56:02", -2208971038},
        {{-1, 1, 1, 0, 0, 0}, 0, "-0001-01-01T00:00:00+00:00", -62198755200},
        {{0, 1, 1, 0, 0, 0}, 0, "0000-01-01T00:00:00+00:00", -62167219200},
        {{10000, 1, 1, 1, 0, 0}, 3600, "+10000-01-01T01:00:00+01:00", 253402300800},
        // 400 years (146097 days) before 0000-03-01, the first day after a leap day in year 0.
        {{-400, 3, 1, 0, 0, 0}, 0, "-0400-03-01T00:00:00+00:00", -62167219200 + 60 * 86400 - 146097LL * 86400},
        {{2100, 3, 1, 0, 0, 0}, 0, "2100-03-01T00:00:00+00:00", 4102444800 + 59 * 86400},  // no leap day in 2100
    };
    for (const Instant& i : instants) {
        EXPECT_EQ(Iso8601(i.local, i.offset), i.text);
        EXPECT_EQ(ParseIso8601(i.text), i.epoch) << i.text;
    }
}

// The edges of the ISO 8601 times read back from an old listing; epochs by Python's datetime.
TEST(DataTextTest, TimesAtTheEdgesOfEachField) {
    const std::pair<const char*, std::int64_t> taken[] = {
        {"2024-02-29T00:00:00Z", 1709164800}, {"2000-02-29T00:00:00Z", 951782400},
        {"2026-01-31T00:00:00Z", 1769817600}, {"2026-03-31T00:00:00Z", 1774915200},
        {"2026-04-30T00:00:00Z", 1777507200}, {"2026-05-31T00:00:00Z", 1780185600},
        {"2026-06-30T00:00:00Z", 1782777600}, {"2026-07-31T00:00:00Z", 1785456000},
        {"2026-08-31T00:00:00Z", 1788134400}, {"2026-09-30T00:00:00Z", 1790726400},
        {"2026-10-31T00:00:00Z", 1793404800}, {"2026-11-30T00:00:00Z", 1795996800},
        {"2026-12-31T23:59:59+23:59", 1798675259}, {"2026-12-31T23:59:59-01:00", 1798765199},
        {"2026-12-31T23:59:59+01:00:59", 1798757940}, {"2026-12-07T09:05:00+05:30", 1796614500},
    };
    for (const auto& [text, epoch] : taken) EXPECT_EQ(ParseIso8601(text), epoch) << text;
    EXPECT_TRUE(ParseIso8601("+123456789-01-01T00:00:00Z").has_value());  // nine digits of year at most
    for (const char* wrong : {"1900-02-29T00:00:00Z", "2100-02-29T00:00:00Z", "2026-01-32T00:00:00Z",
                              "2026-03-32T00:00:00Z", "2026-05-32T00:00:00Z", "2026-06-31T00:00:00Z",
                              "2026-07-32T00:00:00Z", "2026-08-32T00:00:00Z", "2026-09-31T00:00:00Z",
                              "2026-10-32T00:00:00Z", "2026-11-31T00:00:00Z", "2026-00-10T00:00:00Z",
                              "2026-13-10T00:00:00Z", "2026-12-00T00:00:00Z", "2026-12-07T24:00:00Z",
                              "2026-12-07T09:60:00Z", "2026-12-07T09:05:60Z", "2026-12-07T09:05:00+01:60",
                              "2026-12-07T09:05:00+01:00:60", "2026-12-07T09:05:00*01:00", "2026-12-07T09:05:00+01-00",
                              "2026/12-07T09:05:00Z", "2026-12/07T09:05:00Z", "2026-1a-07T09:05:00Z",
                              "+1234567890-01-01T00:00:00Z", "x026-12-07T09:05:00Z"})
        EXPECT_FALSE(ParseIso8601(wrong).has_value()) << wrong;
    // Written: offsets with seconds, and years 0 and 9999 on the long way that such offsets take.
    EXPECT_EQ(Iso8601({2026, 12, 7, 9, 5, 0}, 59 * 60), "2026-12-07T09:05:00+00:59");
    EXPECT_EQ(Iso8601({2026, 12, 7, 9, 5, 0}, 5 * 3600 + 30 * 60), "2026-12-07T09:05:00+05:30");
    EXPECT_EQ(Iso8601({2026, 12, 7, 9, 5, 0}, 3599), "2026-12-07T09:05:00+00:59:59");
    EXPECT_EQ(Iso8601({2026, 12, 7, 9, 5, 0}, 3601), "2026-12-07T09:05:00+01:00:01");
    EXPECT_EQ(Iso8601({0, 1, 1, 0, 0, 0}, 1), "0000-01-01T00:00:00+00:00:01");
    EXPECT_EQ(Iso8601({9999, 12, 31, 0, 0, 0}, -1), "9999-12-31T00:00:00-00:00:01");
    // Quoting and escaping at their edges.
    EXPECT_EQ(CsvField("a\nb"), "\"a\nb\"");
    EXPECT_EQ(CsvField(","), "\",\"");
    EXPECT_EQ(CsvField("\rx", true), "\"'\rx\"");
    EXPECT_EQ(JsonString("a b\x1F"), "\"a b\\u001f\"");
    EXPECT_EQ(RawNameText("a%b\xFF"), "a%25b%FF");
    EXPECT_EQ(ParseRawNameText("%00%09%0A%0F%0a%0f%90%A0%F0%a0%f0a%41"),
              std::string("\x00\x09\x0A\x0F\x0A\x0F\x90\xA0\xF0\xA0\xF0" "aA", 13));
    for (const char* wrong : {"%/0", "%:0", "%@0", "%G0", "%`0", "%g0", "%0/", "%0:", "%0@", "%0G", "%0`", "%0g", "%4", "a%"})
        EXPECT_FALSE(ParseRawNameText(wrong).has_value()) << wrong;
}

class DataFormatTest : public ::testing::Test {
protected:
    DataFormatTest() {
        setenv("XDG_CONFIG_HOME", home.Path().c_str(), 1);
        std::filesystem::create_directories(tree.Path() / "b" / "deep");
        std::filesystem::create_directories(tree.Path() / "A");
        std::filesystem::create_directories(tree.Path() / "c");
        Put("x, \"y\".txt", "hello");
        Put("A/one.bin", "1");
        Put("b/deep/two", "22");
        Put("c/three.txt", "333");
        Put("b/skip.tmp", "4444");
        Stamp("x, \"y\".txt", {2026, 12, 7, 9, 5, 0});
        std::filesystem::create_directory_symlink(tree.Path() / "A", tree.Path() / "b" / "to-A");
        std::filesystem::create_symlink(tree.Path() / "gone", tree.Path() / "A" / "dangling");
    }
    void Put(const std::string& name, const std::string& text) { std::ofstream(tree.File(name)) << text; }
    void Stamp(const std::string& name, const DateTime& local) {
        const timeval times[2] = {{LocalToEpoch(local), 0}, {LocalToEpoch(local), 0}};
        ASSERT_EQ(utimes(tree.File(name).c_str(), times), 0);
    }
    int Run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return RunCli(args, out, err, false);
    }
    std::string Root() const { return tree.Path().string(); }

    BerlinTime berlin;
    ScratchFolder home, tree;
    std::ostringstream out, err;
};

TEST_F(DataFormatTest, CsvHasOneQuotedRowPerListedFileAndJsonTheWholeShape) {
    const std::vector<std::string> filter = {"--set", "Filter.FileExclude=*.tmp", "--set", "Filter.FolExclude=*/c"};
    std::vector<std::string> args = filter;
    args.insert(args.end(), {"-q", "--format", "csv", Root()});
    ASSERT_EQ(Run(args), kExitOk) << err.str();
    const std::string csv = out.str();
    EXPECT_EQ(csv.substr(0, csv.find("\r\n") + 2), "Folder,Name,Extension,Type,Size,Modified,Attributes\r\n");
    EXPECT_NE(csv.find("\r\n" + Root() + ",\"x, \"\"y\"\".txt\",txt,Text Document,5,2026-12-07T09:05:00+01:00,\r\n"),
              std::string::npos)
        << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);  // heading, x, one.bin, two
    EXPECT_EQ(csv.find("skip.tmp"), std::string::npos);
    EXPECT_TRUE(err.str().empty());

    args = filter;
    args.insert(args.end(), {"--format", "json", Root()});
    ASSERT_EQ(Run(args), kExitOk) << err.str();
    const nlohmann::json listing = nlohmann::json::parse(out.str());
    EXPECT_EQ(listing["root"], Root());
    std::vector<std::string> paths;
    for (const auto& folder : listing["folders"]) paths.push_back(folder["path"]);
    EXPECT_EQ(paths, (std::vector<std::string>{Root(), Root() + "/A", Root() + "/b", Root() + "/b/deep"}));
    const auto& first = listing["folders"][0]["files"][0];
    EXPECT_EQ(first["name"], "x, \"y\".txt");
    EXPECT_EQ(first["extension"], "txt");
    EXPECT_EQ(first["size"], 5);
    EXPECT_EQ(first["modified"], "2026-12-07T09:05:00+01:00");
    EXPECT_EQ(listing["folders"][2]["fileCount"], 1);  // b holds skip.tmp, counted though left out
    EXPECT_EQ(listing["folders"][2]["bytes"], 4);
    const nlohmann::json totals = {{"folders", 4}, {"files", 4},          {"bytes", 12},
                                   {"skippedFolders", 1}, {"skippedFiles", 1}, {"unreadableFolders", 0},
                                   {"linksNotFollowed", 2}};
    EXPECT_EQ(listing["totals"], totals);
    EXPECT_EQ(err.str(),
              "tessory: Left out: 1 folder by the folder filter, 1 file by the file filters, 0 folders that could "
              "not be read, 2 links not followed.\n");

    // The layout, byte for byte: a folder a line, a file a line, so that listings diff well.
    std::filesystem::create_directories(tree.Path() / "e" / "s");
    Put("e/f.txt", "1");
    Stamp("e/f.txt", {2026, 12, 7, 9, 5, 0});
    std::filesystem::permissions(tree.File("e/f.txt"), std::filesystem::perms::owner_read |
                                                           std::filesystem::perms::group_read |
                                                           std::filesystem::perms::others_read);  // read-only: "r"
    const std::string e = Root() + "/e";
    ASSERT_EQ(Run({"-q", "--format", "csv", e}), kExitOk) << err.str();
    EXPECT_EQ(out.str(), "Folder,Name,Extension,Type,Size,Modified,Attributes\r\n" + e +
                             ",f.txt,txt,Text Document,1,2026-12-07T09:05:00+01:00,r\r\n");
    ASSERT_EQ(Run({"-q", "--format", "json", e}), kExitOk) << err.str();
    EXPECT_EQ(out.str(),
              "{\"root\": \"" + e + "\",\n"
              " \"folders\": [\n"
              "  {\"path\": \"" + e + "\", \"files\": [\n"
              "    {\"name\": \"f.txt\", \"extension\": \"txt\", \"type\": \"Text Document\", \"size\": 1, "
              "\"modified\": \"2026-12-07T09:05:00+01:00\", \"attributes\": \"r\"}],\n"
              "   \"fileCount\": 1, \"bytes\": 1},\n"
              "  {\"path\": \"" + e + "/s\", \"files\": [],\n"
              "   \"fileCount\": 0, \"bytes\": 0}],\n"
              " \"totals\": {\"folders\": 2, \"files\": 1, \"bytes\": 1, \"skippedFolders\": 0, \"skippedFiles\": 0, "
              "\"unreadableFolders\": 0, \"linksNotFollowed\": 0}}\n");
    // Read back with the details it may leave out given as null: still the same tree.
    std::string text = out.str();
    const std::string details = "\"type\": \"Text Document\", \"size\": 1, \"modified\": \"2026-12-07T09:05:00+01:00\", "
                                "\"attributes\": \"r\"";
    ASSERT_NE(text.find(details), std::string::npos);
    text.replace(text.find(details), details.size(), "\"type\": null, \"size\": 1, \"modified\": \"2026-12-07T09:05:00+01:00\", "
                                                     "\"attributes\": null");
    ScratchFolder work;
    std::ofstream(work.File("old.json")) << text;
    EXPECT_EQ(Run({"-q", "--compare", work.File("old.json"), e}), kExitOk) << out.str() << err.str();
}

TEST_F(DataFormatTest, FormulaGuardIsOffUnlessAskedFor) {
    std::filesystem::create_directories(tree.Path() / "@d");
    for (const char* name : {"=1+2", "+x", "-y", "@d/z", "\tt", "a=b", "=c,d"}) Put(name, "1");
    const std::vector<std::string> rows[] = {
        {",=1+2,", ",+x,", ",-y,", "/@d,z,", ",\tt,", ",a=b,", ",\"=c,d\",,File"},
        {",'=1+2,", ",'+x,", ",'-y,", "/@d,z,", ",'\tt,", ",a=b,", ",\"'=c,d\",,File"},
    };
    for (bool guard : {false, true}) {
        std::vector<std::string> args = {"-q", "--format", "csv", Root()};
        if (guard) args.insert(args.begin(), "--guard-formulas");
        ASSERT_EQ(Run(args), kExitOk) << err.str();
        for (const std::string& row : rows[guard]) EXPECT_NE(out.str().find(row), std::string::npos) << row << out.str();
    }
    EXPECT_EQ(CsvField("@d/z", true), "'@d/z");
    EXPECT_EQ(CsvField("-1", false), "-1");

    // The change report too: a removed file's name, from the old listing.
    ScratchFolder work;
    const std::string old = work.File("old.json");
    ASSERT_EQ(Run({"-q", "--format", "json", "-o", old, Root()}), kExitOk);
    std::filesystem::remove(tree.File("=1+2"));
    ASSERT_EQ(Run({"-q", "--guard-formulas", "--format", "csv", "--compare", old, Root()}), kExitChanged);
    EXPECT_NE(out.str().find("removed," + Root() + ",'=1+2,1,,"), std::string::npos) << out.str();
}

TEST_F(DataFormatTest, TimesInTheRepeatedAutumnHourKeepTheirOwnOffset) {
    Put("first", "1");
    Put("second", "2");
    const timeval first[2] = {{1603585800, 0}, {1603585800, 0}};  // 2020-10-25T00:30:00Z
    const timeval second[2] = {{1603589400, 0}, {1603589400, 0}};  // an hour later, the same local time
    ASSERT_EQ(utimes(tree.File("first").c_str(), first), 0);
    ASSERT_EQ(utimes(tree.File("second").c_str(), second), 0);
    ASSERT_EQ(Run({"-q", "--format", "csv", "--set", "Output.Recurse=No", Root()}), kExitOk) << err.str();
    EXPECT_NE(out.str().find(",first,,File,1,2020-10-25T02:30:00+02:00,"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find(",second,,File,1,2020-10-25T02:30:00+01:00,"), std::string::npos) << out.str();
    // Each reads back as its own instant: swapping the two times is a change.
    ScratchFolder work;
    const std::string old = work.File("old.json");
    ASSERT_EQ(Run({"-q", "--format", "json", "-o", old, Root()}), kExitOk);
    ASSERT_EQ(Run({"-q", "--compare", old, Root()}), kExitOk) << out.str();
    ASSERT_EQ(utimes(tree.File("first").c_str(), second), 0);
    ASSERT_EQ(Run({"-q", "--format", "json", "--compare", old, Root()}), kExitChanged);
    EXPECT_EQ(nlohmann::json::parse(out.str()).at("changes").at(0).at("name"), "first");
}

TEST_F(DataFormatTest, NamesThatAreNotUtf8CompareByTheirBytes) {
    Put("x\xFF", "1");
    Put("x\xFE", "2");
    Put("x\xEF\xBF\xBD", "3");  // U+FFFD itself
    Put("100%\xFF", "4");
    Put("unit\x1F", "6");  // a control character, escaped in the JSON
    for (const char* folder : {"d\xFF", "d\xEF\xBF\xBD", "d\xEF\xA4\x80"}) {  // U+FFFD, U+F900: sort apart from 0xFF
        std::filesystem::create_directories(tree.Path() / folder);
        Put(std::string(folder) + "/in", "5");
    }
    ScratchFolder work;
    const std::string old = work.File("old.json");
    ASSERT_EQ(Run({"-q", "--format", "json", "-o", old, Root()}), kExitOk) << err.str();
    const nlohmann::json listing = nlohmann::json::parse(ReadWhole(old));
    std::vector<std::string> names;
    for (const auto& file : listing.at("folders").at(0).at("files"))
        names.push_back(file.at("name").get<std::string>() + " " + file.value("rawName", "-"));
    EXPECT_EQ(names, (std::vector<std::string>{"100%\xEF\xBF\xBD 100%25%FF", "unit\x1F -", "x, \"y\".txt -",
                                               "x\xEF\xBF\xBD x%FE", "x\xEF\xBF\xBD x%FF", "x\xEF\xBF\xBD -"}));
    EXPECT_EQ(listing.at("folders").at(5).at("rawPath"), Root() + "/d%FF");
    ASSERT_EQ(Run({"-q", "--format", "json", Root() + "/d\xFF"}), kExitOk) << err.str();
    EXPECT_EQ(nlohmann::json::parse(out.str()).at("rawRoot"), Root() + "/d%FF");

    ASSERT_EQ(Run({"-q", "--compare", old, Root()}), kExitOk) << out.str() << err.str();
    std::filesystem::remove(tree.File("x\xFE"));
    ASSERT_EQ(Run({"-q", "--format", "json", "--compare", old, Root()}), kExitChanged) << err.str();
    const nlohmann::json report = nlohmann::json::parse(out.str());
    ASSERT_EQ(report.at("changes").size(), 1u) << out.str();
    EXPECT_EQ(report.at("changes").at(0).at("change"), "removed");
    EXPECT_EQ(report.at("changes").at(0).at("name"), "x\xEF\xBF\xBD");

    // The raw form wins over the readable one, whichever comes first.
    std::string text = ReadWhole(old);
    const std::string readableFirst = "{\"name\": \"x\xEF\xBF\xBD\", \"rawName\": \"x%FF\"";
    const size_t at = text.find(readableFirst);
    ASSERT_NE(at, std::string::npos) << text;
    text.replace(at, readableFirst.size(), "{\"rawName\": \"x%FF\", \"name\": \"x\xEF\xBF\xBD\"");
    std::ofstream(old, std::ios::trunc) << text;
    ASSERT_EQ(Run({"-q", "--format", "json", "--compare", old, Root()}), kExitChanged) << err.str();
    EXPECT_EQ(nlohmann::json::parse(out.str()).at("changes"), report.at("changes"));
}

// Paths below the root, and the walk's order of them.
TEST(CompareTest, RelativePathsAndTheirWalkOrder) {
    const std::pair<const char*, std::optional<std::string>> below[] = {
        {"/r/a", "a"}, {"/r//a", "a"}, {"/r", ""}, {"/ra", std::nullopt}, {"/x/a", std::nullopt}, {"/q", std::nullopt},
    };
    for (const auto& [path, relative] : below) EXPECT_EQ(RelativePath(path, "/r"), relative) << path;
    EXPECT_EQ(RelativePath("/a", "/"), "a");
    // Each name whole, a folder before its subfolders, and those before its later siblings.
    const std::tuple<const char*, const char*, bool> order[] = {
        {"x/ab", "x/b", true}, {"x/b", "x/ab", false}, {"x", "x/a", true}, {"x/a/z", "x/b", true}, {"x/a", "x/a", false},
    };
    for (const auto& [a, b, less] : order) EXPECT_EQ(WalkOrderLess(a, b), less) << a << " " << b;
}

// The three reports of the same changes, byte for byte.
TEST(CompareTest, ChangeReportsAreWrittenAsDocumented) {
    const std::string root = "/r", sub = "/r/s";
    const ChangeRecord records[] = {
        {Change::FileChanged, &root, "a.txt", 2, 10, "2026-12-07T09:05:00+01:00", "2026-12-07T09:06:00+01:00"},
        {Change::FileChanged, &root, "b", 5, 5, "x", "y"},
        {Change::FolderAdded, &sub, {}, {}, {}, {}, {}},
        {Change::FileAdded, &sub, "n", {}, 1, {}, "z"},
        {Change::FileRemoved, &sub, "o", 3, {}, "w", {}},
    };
    ChangeTotals totals;
    totals.filesAdded = 1;
    totals.filesRemoved = 2;
    totals.filesChanged = 3;
    totals.foldersAdded = 4;
    totals.foldersRemoved = 5;
    totals.foldersUnreadable = 6;
    ListingSettings settings;
    const auto written = [&](const std::function<std::unique_ptr<ChangeReport>(ListingOutput&)>& make) {
        UniqueFile file(std::tmpfile());
        ListingOutput output(file.get());
        std::unique_ptr<ChangeReport> report = make(output);
        EXPECT_TRUE(report->Begin(settings, "old.json", "/r"));
        for (const ChangeRecord& record : records) EXPECT_TRUE(report->Record(record));
        EXPECT_TRUE(report->End(totals));
        return ReadWhole(file.get());
    };
    EXPECT_EQ(written([](ListingOutput& out) { return MakeCsvChangeReport(out); }),
              "Change,Folder,Name,OldSize,NewSize,OldModified,NewModified\r\n"
              "changed,/r,a.txt,2,10,2026-12-07T09:05:00+01:00,2026-12-07T09:06:00+01:00\r\n"
              "changed,/r,b,5,5,x,y\r\n"
              "folder added,/r/s,,,,,\r\n"
              "added,/r/s,n,,1,,z\r\n"
              "removed,/r/s,o,3,,w,\r\n");
    EXPECT_EQ(written([](ListingOutput& out) { return MakeJsonChangeReport(out); }),
              "{\"old\": \"old.json\",\n \"root\": \"/r\",\n \"changes\": [\n"
              "  {\"change\": \"changed\", \"folder\": \"/r\", \"name\": \"a.txt\", \"oldSize\": 2, \"newSize\": 10, "
              "\"oldModified\": \"2026-12-07T09:05:00+01:00\", \"newModified\": \"2026-12-07T09:06:00+01:00\"},\n"
              "  {\"change\": \"changed\", \"folder\": \"/r\", \"name\": \"b\", \"oldSize\": 5, \"newSize\": 5, "
              "\"oldModified\": \"x\", \"newModified\": \"y\"},\n"
              "  {\"change\": \"folder added\", \"folder\": \"/r/s\"},\n"
              "  {\"change\": \"added\", \"folder\": \"/r/s\", \"name\": \"n\", \"oldSize\": null, \"newSize\": 1, "
              "\"oldModified\": null, \"newModified\": \"z\"},\n"
              "  {\"change\": \"removed\", \"folder\": \"/r/s\", \"name\": \"o\", \"oldSize\": 3, \"newSize\": null, "
              "\"oldModified\": \"w\", \"newModified\": null}],\n"
              " \"totals\": {\"filesAdded\": 1, \"filesRemoved\": 2, \"filesChanged\": 3, \"foldersAdded\": 4, "
              "\"foldersRemoved\": 5, \"foldersUnreadable\": 6}}\n");
    const std::string table = "<table border=\"0\" cellspacing=\"1\" cellpadding=\"3\" width=\"100%\">";
    const auto folder = [&](const char* path) {
        return std::string("<table border=\"0\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"><tr><td class=\"dir\">") +
               path + "</td></tr></table>\r\n" + table;
    };
    const auto row = [](const char* style, const char* change, const char* name, const char* size, const char* time) {
        return std::string("<tr class=\"") + style + "\"><td width=\"15%\">" + change + "</td><td width=\"45%\">" + name +
               "</td><td width=\"20%\">" + size + "</td><td width=\"20%\">" + time + "</td></tr>\r\n";
    };
    const std::string html = written([](ListingOutput& out) { return MakeHtmlChangeReport(out); });
    const std::string head = DocumentHead(settings, DocumentText::Utf8);
    ASSERT_EQ(html.compare(0, head.size(), head), 0) << html.substr(0, 300);
    EXPECT_EQ(html.substr(head.size()),
              "\r\n<h2>Changes in /r since old.json</h2>\r\n" + table +
                  "<tr><td width=\"15%\"><b>Change</b></td><td width=\"45%\"><b>Name</b></td>"
                  "<td width=\"20%\"><b>Size</b></td><td width=\"20%\"><b>Modified</b></td></tr></table>\r\n" +
                  folder("/r") +
                  row("fileOdd", "changed", "a.txt", "2 &rarr; 10",
                      "2026-12-07T09:05:00+01:00 &rarr; 2026-12-07T09:06:00+01:00") +
                  row("file", "changed", "b", "5", "x &rarr; y") + "</table><br>\r\n" + folder("/r/s") +
                  row("fileOdd", "folder added", "", "", "") + row("file", "added", "n", "1", "z") +
                  row("fileOdd", "removed", "o", "3", "w") +
                  "</table><br>\r\n<br><table border=\"0\" cellspacing=\"1\" cellpadding=\"3\" width=\"100%\">"
                  "<tr class=\"dir\"><td>Files added: 1, removed: 2, changed: 3. Folders added: 4, removed: 5, "
                  "unreadable: 6.</td></tr></table></body></html>");
}

// A reader given up early (the walk failed) stops its thread, which waits to hand over a folder.
TEST(CompareTest, AReaderLeftPartWayStops) {
    ScratchFolder work;
    const std::string old = work.File("old.json");
    std::ofstream(old) << R"({"root": "/r", "folders": [{"path": "/r"}, {"path": "/r/a"}, {"path": "/r/b"}], "totals": {}})";
    OldListingReader reader(old);
    ASSERT_TRUE(reader.Start());
    EXPECT_EQ(reader.Root(), "/r");
    OldFolder first;
    ASSERT_TRUE(reader.Next(first));
    EXPECT_EQ(first.path, "/r");

    OldListingReader folder(work.Path().string());
    EXPECT_FALSE(folder.Start());
    EXPECT_EQ(folder.Error(), "cannot read " + work.Path().string() + ": it is a folder, not a listing");
}

TEST(CompareTest, AFolderThatCannotBeReadNowIsReportedAsSuchNotItsFiles) {
    ScratchFolder work;
    const std::string old = work.File("old.json");
    std::ofstream(old) << R"({"root": "/r", "folders": [
        {"path": "/r", "files": [{"name": "a"}]},
        {"path": "/r/u", "files": [{"name": "b"}, {"name": "c"}]},
        {"path": "/r/u/sub", "files": [{"name": "d"}]},
        {"path": "/r/ux", "files": []},
        {"path": "/r/v", "files": [{"name": "e"}]}], "totals": {}})";
    ListingSettings settings;
    // The JSON report of comparing the folders walked now with the old listing.
    const auto report = [&](const std::vector<const ListedFolder*>& walked) {
        UniqueFile file(std::tmpfile());
        ListingOutput output(file.get());
        OldListingReader reader(old);
        EXPECT_TRUE(reader.Start());
        auto changes = MakeJsonChangeReport(output);
        CompareWriter compare(reader, old, *changes);
        bool ok = compare.Opening(settings, "/r");
        for (const ListedFolder* folder : walked) ok = ok && compare.Folder(*folder);
        EXPECT_TRUE(ok && compare.Closing({})) << reader.Error();
        EXPECT_TRUE(compare.Totals().Any());
        return nlohmann::json::parse(ReadWhole(file.get()));
    };
    ListedFolder r, u, v;
    r.path = "/r";
    r.files = {Named("a")};
    u.path = "/r/u";
    u.readable = false;
    v.path = "/r/v";
    v.files = {Named("e")};
    const nlohmann::json changes = report({&r, &u, &v});
    // /r/ux only starts like /r/u: not below it.
    EXPECT_EQ(changes.at("changes"), nlohmann::json::parse(R"([{"change": "folder unreadable", "folder": "/r/u"},
                                                                {"change": "folder removed", "folder": "/r/ux"}])"));
    EXPECT_EQ(changes.at("totals").at("foldersUnreadable"), 1);

    // The start folder itself unreadable now: nothing below it is reported.
    ListedFolder unreadableRoot;
    unreadableRoot.path = "/r";
    unreadableRoot.readable = false;
    EXPECT_EQ(report({&unreadableRoot}).at("changes"),
              nlohmann::json::parse(R"([{"change": "folder unreadable", "folder": "/r"}])"));

    // The listing says which folders could not be read, and the bytes of a name that is not
    // UTF-8 from its first byte on.
    UniqueFile listingFile(std::tmpfile());
    ListingOutput listingOutput(listingFile.get());
    JsonListingWriter writer(listingOutput);
    ListedFolder badName = r;
    badName.files.push_back(Named("\xFF" "b"));
    ASSERT_TRUE(writer.Opening(settings, "/r") && writer.Folder(badName) && writer.Folder(u) && writer.Closing({}));
    const nlohmann::json listing = nlohmann::json::parse(ReadWhole(listingFile.get()));
    EXPECT_FALSE(listing.at("folders").at(0).contains("readable"));
    EXPECT_EQ(listing.at("folders").at(0).at("files").at(1).at("rawName"), "%FFb");
    EXPECT_EQ(listing.at("folders").at(1).at("readable"), false);
}

TEST_F(DataFormatTest, CompareReportsWhatChangedAndExitsLikeDiff) {
    ScratchFolder work;
    const std::string old = work.File("old.json");
    ASSERT_EQ(Run({"-q", "--format", "json", "-o", old, Root()}), kExitOk) << err.str();
    ASSERT_EQ(Run({"-q", "--compare", old, Root()}), kExitOk) << out.str() << err.str();

    Put("b/deep/two", "twenty-two");  // changed size
    Stamp("x, \"y\".txt", {2026, 12, 7, 9, 6, 0});  // changed time only
    std::filesystem::remove(tree.File("A/one.bin"));
    std::filesystem::remove_all(tree.Path() / "c");
    std::filesystem::create_directories(tree.Path() / "B2");
    Put("B2/new.txt", "n");
    ASSERT_EQ(Run({"-q", "--format", "json", "--compare", old, Root()}), kExitChanged) << err.str();
    const nlohmann::json report = nlohmann::json::parse(out.str());
    std::vector<std::string> changes;
    for (const auto& c : report.at("changes"))
        changes.push_back(c.at("change").get<std::string>() + " " +
                          c.at("folder").get<std::string>().substr(Root().size()) + " " + c.value("name", ""));
    EXPECT_EQ(changes, (std::vector<std::string>{"changed  x, \"y\".txt", "removed /A one.bin", "changed /b/deep two",
                                                 "folder added /B2 ", "added /B2 new.txt", "folder removed /c ",
                                                 "removed /c three.txt"}));
    // at(): a missing change fails this test instead of aborting the program.
    EXPECT_EQ(report.at("changes").at(2).at("oldSize"), 2);
    EXPECT_EQ(report.at("changes").at(2).at("newSize"), 10);
    const nlohmann::json totals = {{"filesAdded", 1},     {"filesRemoved", 2},   {"filesChanged", 2},
                                   {"foldersAdded", 1},   {"foldersRemoved", 1}, {"foldersUnreadable", 0}};
    EXPECT_EQ(report.at("totals"), totals);

    ASSERT_EQ(Run({"-q", "--compare", old, Root()}), kExitChanged);
    EXPECT_NE(out.str().find("<td class=\"dir\">" + Root() + "/B2</td>"), std::string::npos);

    Put("B2/&lt;b&gt;.txt", "m");  // a name that spells markup shows as written
    ASSERT_EQ(Run({"-q", "--compare", old, Root()}), kExitChanged);
    EXPECT_NE(out.str().find("&amp;lt;b&amp;gt;.txt"), std::string::npos);
}

TEST_F(DataFormatTest, AnOldListingThatIsCutShortOrNotAListingIsTrouble) {
    ScratchFolder work;
    const std::string old = work.File("old.json");
    ASSERT_EQ(Run({"-q", "--format", "json", "-o", old, Root()}), kExitOk);
    std::string whole;
    {
        std::ifstream in(old);
        whole.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::ofstream(work.File("cut.json")) << whole.substr(0, whole.size() / 2);
    std::ofstream(work.File("other.json")) << "{\"root\": \"x\",\n \"folders\": [{\"path\": \"x\", \"colour\": 1}]}";
    std::ofstream(work.File("array.json")) << "[1, 2]";
    const std::string output = work.File("report.html");
    for (const char* name : {"cut.json", "other.json", "array.json", "missing.json"}) {
        EXPECT_EQ(Run({"-q", "-o", output, "--compare", work.File(name), Root()}), kExitCompareTrouble) << name;
        EXPECT_EQ(err.str().rfind("tessory: ", 0), 0u) << err.str();
        EXPECT_NE(err.str().find(work.File(name)), std::string::npos) << err.str();
        EXPECT_FALSE(std::filesystem::exists(output));
    }
    EXPECT_NE(err.str().find("No such file"), std::string::npos);
    Run({"-q", "--compare", work.File("cut.json"), Root()});
    EXPECT_NE(err.str().find("line"), std::string::npos) << err.str();
    Run({"-q", "--compare", work.File("other.json"), Root()});
    EXPECT_NE(err.str().find("line 2, column"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("unexpected key \"colour\""), std::string::npos) << err.str();
}

TEST_F(DataFormatTest, TextsFromTheOldListingAreEscapedInEveryReport) {
    ScratchFolder work;
    const std::string old = work.File("old.json");
    const std::string hostile = "x,<script>alert(1)</script>\r\n\"y";
    std::ofstream(old) << "{\"root\": " << nlohmann::json(Root()) << ", \"folders\": [{\"path\": "
                       << nlohmann::json(Root()) << ", \"files\": [{\"name\": \"x, \\\"y\\\".txt\", \"size\": 1, "
                       << "\"modified\": " << nlohmann::json(hostile) << "}]}], \"totals\": {}}";
    const auto only = [&](const char* format) {
        return std::vector<std::string>{"-q", "--set", "Filter.FolInclude=nothing", "--set",
                                        "Filter.FolInclude=" + Root(), "--set", "Output.Recurse=No",
                                        "--format", format, "--compare", old, Root()};
    };
    ASSERT_EQ(Run(only("html")), kExitChanged) << err.str();
    EXPECT_EQ(out.str().find("<script"), std::string::npos);
    EXPECT_NE(out.str().find("x,&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos) << out.str();

    ASSERT_EQ(Run(only("csv")), kExitChanged) << err.str();
    const std::string csv = out.str();
    EXPECT_NE(csv.find(",\"x,<script>alert(1)</script>\r\n\"\"y\",2026-12-07T09:05:00+01:00\r\n"), std::string::npos)
        << csv;

    ASSERT_EQ(Run(only("json")), kExitChanged) << err.str();
    EXPECT_EQ(nlohmann::json::parse(out.str()).at("changes").at(0).at("oldModified"), hostile);
}

TEST_F(DataFormatTest, AnOldListingIsCheckedBeforeItIsTrusted) {
    ScratchFolder work;
    const nlohmann::json root = Root();
    const auto folder = [&](const std::string& path, const std::string& files = "") {
        return "{\"path\": " + nlohmann::json(path).dump() + ", \"files\": [" + files + "]}";
    };
    const auto listing = [&](const std::string& folders, const std::string& end = ", \"totals\": {}}") {
        return "{\"root\": " + root.dump() + ", \"folders\": [\n" + folders + "]" + end;
    };
    const std::string longName(4096 + 1, 'n');
    struct Case {
        std::string text;
        const char* where;  // "line L, column C" or the start of it
        std::string what;
    };
    const Case cases[] = {
        {listing(folder(Root()) + ",\n" + folder(Root() + "/b") + ",\n" + folder(Root() + "/A")), "line 4, column",
         "\"" + Root() + "/A\" is out of walk order"},
        {listing(folder(Root()) + ",\n" + folder(Root() + "/b") + ",\n" + folder(Root() + "/b")), "line 4, column",
         "\"" + Root() + "/b\" is listed twice"},
        {listing(folder(Root()) + ",\n" + folder(Root() + "x/b")), "line 3, column",
         "\"" + Root() + "x/b\" is not below the root \"" + Root() + "\""},
        {listing(folder(Root(), "{\"name\": \"a\"},\n{\"name\": \"a\"}")), "line 3, column",
         "file \"a\" is listed twice"},
        {listing(folder(Root()), "}"), "line 2, column", "\"totals\" is missing"},
        {listing(folder(Root(), "{\"name\": \"" + longName + "\"}")), "line 2, column",
         "\"name\" is longer than 4096 bytes"},
        {listing(folder(Root(), "{\"name\": \"" + std::string(1 << 20, 'n') + "\"}")), "line 2, column",
         "a text longer than 32768 bytes"},
        {listing(std::string(1 << 20, ' ') + std::string(1000, '\n') + "@"), "line 1002, column", "invalid literal"},
        // Columns count from 1 on the first line too; the parser's own message follows the place whole.
        {"  @", "line 1, column 3: syntax error while parsing value - invalid literal", "invalid literal"},
        {"{\n  @", "line 2, column 3: ", "invalid literal"},
        // The longest text and word the reader takes, and one byte more.
        {listing(folder(Root(), "{\"name\": \"" + std::string(32767, 'n') + "\"}")), "line 2, column",
         "\"name\" is longer than 4096 bytes"},
        {listing(folder(Root(), "{\"name\": \"" + std::string(32768, 'n') + "\"}")), "line 2, column",
         "a text longer than 32768 bytes"},
        {listing(std::string(64, '1')), "line 2, column 66: ", "a fraction is not expected"},
        {std::string(64, '1'), "line 1, column 64: ", "a fraction is not expected"},
        {listing(folder(Root(), "{\"name\": \"a\", \"size\":" + std::string(64, '1') + "}")), "line 2, column",
         "a fraction is not expected"},
        {listing(folder(Root(), "{\"name\": \"a\", \"size\": 1 2}")), "line 2, column", "unexpected number literal"},
        // Nothing may follow the listing, wherever its totals stand.
        {listing(folder(Root())) + " x", "line 2, column", "expected end of input"},
        {"{\"root\": " + root.dump() + ", \"totals\": {}, \"folders\": [\n" + folder(Root()) + "]} x", "line 2, column",
         "expected end of input"},
        {"{\"root\": {}}", "line 1, column 11: ", "an object is not expected here"},
        {"{\"root\": " + root.dump() + ", \"totals\": {}}", "line 1, column", "\"root\", \"folders\" or \"totals\" is missing"},
        {listing("{\"files\": []}"), "line 2, column", "a folder has no \"path\""},
        {listing(folder(Root(), "{\"size\": 1}")), "line 2, column", "a file has no \"name\""},
        // Values in the wrong place, where the last key read would fit another.
        {listing(folder(Root(), "{\"name\": \"a\", \"size\": 1}, null")), "line 2, column",
         "null is not expected for \"size\""},
        {listing(folder(Root(), "{\"name\": \"a\", \"size\": 1}, 5")), "line 2, column",
         "a number is not expected for \"size\""},
        {listing("{\"path\": " + root.dump() + ", \"fileCount\": true}"), "line 2, column",
         "a true or false value is not expected"},
        {listing(folder(Root()), ", \"totals\": \"x\"}"), "line 2, column", "a text is not expected for \"totals\""},
        {listing("{\"files\": [], \"path\": " + root.dump() + "}, \"x\""), "line 2, column",
         "a text is not expected for \"path\""},
        {listing(std::string(1 << 20, '1')), "line 2, column", "a number or word longer than 64 characters"},
        {listing(folder(Root(), "{\"name\": \"a\", \"rawName\": \"%G0\"}")), "line 2, column",
         "\"rawName\" has a \"%\" without two hexadecimal digits"},
        {"{\"folders\": [], \"root\": " + root.dump() + "}", "line 1, column", "\"root\" must come before \"folders\""},
        {listing(folder(Root()), ", \"rawRoot\": \"x\"}"), "line 2, column", "\"root\" must come before \"folders\""},
        {"{\"root\": " + root.dump() + ", \"totals\": []}", "line 1, column", "a list is not expected here"},
        {listing(folder(Root()), ", \"totals\": {\"folders\": []}}"), "line 2, column", "a list is not expected here"},
        {listing(folder(Root()), ", \"totals\": {\"files\": []}}"), "line 2, column", "a list is not expected here"},
        {listing("{\"path\": " + root.dump() + ", \"readable\": 1}"), "line 2, column",
         "a number is not expected for \"readable\""},
        // The parser's own message, without its prefix.
        {listing(folder(Root(), "{\"name\": \"a\", \"size\": 1e999}")), "line 2, column",
         ": number overflow parsing '1e999'"},
    };
    const std::string old = work.File("old.json");
    // What a listing may hold is taken: every optional field, null where it may be, a name of the
    // longest length.
    const std::string taken[] = {
        listing("{\"path\": " + root.dump() + ", \"readable\": false, \"fileCount\": 0, \"bytes\": 0, \"files\": []}",
                ", \"totals\": {\"folders\": 1, \"files\": 0}}"),
        listing(folder(Root(), "{\"name\": \"" + std::string(4096, 'n') + "\", \"size\": null, \"modified\": null, "
                               "\"attributes\": null, \"extension\": null, \"type\": null}")),
        listing(folder(Root(), "{\"name\": \"b\", \"size\": 1, \"modified\": \"x\", \"attributes\": \"A\", "
                               "\"extension\": \"txt\", \"type\": \"t\"}")),
    };
    for (const std::string& text : taken) {
        std::ofstream(old, std::ios::trunc) << text;
        EXPECT_EQ(Run({"-q", "--compare", old, Root()}), kExitChanged) << err.str().substr(0, 300);
    }
    for (const Case& c : cases) {
        std::ofstream(old, std::ios::trunc) << c.text;
        EXPECT_EQ(Run({"-q", "--compare", old, Root()}), kExitCompareTrouble) << c.what;
        EXPECT_EQ(err.str().rfind("tessory: " + old + ": " + c.where, 0), 0u) << err.str().substr(0, 300);
        EXPECT_NE(err.str().find(c.what), std::string::npos) << err.str().substr(0, 300);
        EXPECT_LT(err.str().size(), 8192u) << "the message quotes what was read: " << c.what;
        EXPECT_EQ(err.str().find("parse error at"), std::string::npos) << "only the reader's own place: " << err.str();
    }
    // Sound: the same shapes in order are taken, and a file's details may be null.
    const std::string nulls = "{\"name\": \"gone\", \"extension\": null, \"type\": null, \"size\": null, "
                              "\"modified\": null, \"attributes\": null}";
    std::ofstream(old, std::ios::trunc) << listing(folder(Root(), nulls) + ",\n" + folder(Root() + "/A") + ",\n" +
                                                   folder(Root() + "/b") + "," + folder(Root() + "/b/deep") +
                                                   std::string(1 << 20, ' ') + "," + folder(Root() + "/c"));
    EXPECT_EQ(Run({"-q", "--compare", old, Root()}), 1) << "changed: exit 1, as diff does; " << err.str();
    EXPECT_EQ(err.str(), "");
}

TEST_F(DataFormatTest, CompareTroubleWithTheFolderOrTheOldFileIsExitTwo) {
    ScratchFolder work;
    const std::string old = work.File("old.json");
    ASSERT_EQ(Run({"-q", "--format", "json", "-o", old, Root()}), kExitOk);
    EXPECT_EQ(Run({"-q", "--compare", old, tree.File("missing")}), 2) << "trouble: exit 2, as diff does";
    EXPECT_EQ(err.str(), "tessory: not a folder: " + tree.File("missing") + "\n");
    EXPECT_EQ(Run({"-q", "--compare", old, tree.File("x, \"y\".txt")}), kExitCompareTrouble);
    EXPECT_EQ(Run({"-q", tree.File("missing")}), kExitNoFolder);  // without --compare, as documented
    EXPECT_EQ(Run({"-q", "--compare", work.Path().string(), Root()}), kExitCompareTrouble);
    EXPECT_EQ(err.str(), "tessory: cannot read " + work.Path().string() + ": it is a folder, not a listing\n");
}

}  // namespace
}  // namespace tessory
