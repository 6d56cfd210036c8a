#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cerrno>
#include <fstream>
#include <sstream>

#include "fakes.h"
#include "listing/column_values.h"
#include "listing/document.h"
#include "listing/folder_level.h"
#include "listing/folder_section.h"
#include "listing/listing_engine.h"
#include "settings/memory_store.h"
#include "settings/setting_keys.h"

namespace tessory {
namespace {

const std::string kHead =
    "<html><head><style>\r\n"
    ".dir{font-family:Tahoma; font-weight:bold; font-size:10pt; color:#FFFFFF; background:#000000;}"
    ".file{font-family:Tahoma; font-size:10pt; color:#000000; background:#BFBFBF;}"
    ".fileodd{font-family:Tahoma; font-size:10pt; color:#000000; background:#FFFFFF;}"
    ".summary{font-family:Tahoma; font-size:10pt; color:#000000; background:#BFBFBF;}"
    "body{font-family:Tahoma; background:#FFFFFF;}</style></head><body>";
const std::string kTable = "<table border=\"0\" cellspacing=\"1\" cellpadding=\"3\" width=\"100%\">";
const std::string kHeadingRow = kTable +
    "<tr><td width=\"35%\"><b>Name</b></td><td width=\"20%\"><b>Type</b></td>"
    "<td width=\"10%\"><b>Size</b></td><td width=\"12%\"><b>Date</b></td></tr></table>";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t Count(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t pos = text.find(piece); pos != std::string::npos; pos = text.find(piece, pos + 1)) ++n;
    return n;
}

class EngineTest : public ::testing::Test {
protected:
    EngineTest() : host(scratch.File("myTmpFile.htm")), engine(fs, host, store) {}

    std::string Run(const std::string& folder = "C:\\Data", std::int16_t mode = 2) {
        outcome = engine.BuildListing(folder, mode);
        return ReadAll(host.TemporaryFilePath());
    }
    void Set(const SettingKey& key, const std::string& value) { store.Write(key.section, key.name, value); }

    ScratchFolder scratch;
    FakeFileSystem fs;
    MemoryStore store;
    RecordingHost host;
    ListingEngine engine;
    RunOutcome outcome = RunOutcome::WriteFailed;
};

TEST_F(EngineTest, TwoFilesWithDefaultsGiveTheExactDocument) {
    auto& data = fs.Add("C:\\Data");
    data.files = {FakeFileSystem::File("b.txt", 1024), FakeFileSystem::File("a & b.doc", 100, {2003, 11, 20, 8, 5, 0})};
    std::string document = Run();
    std::string section =
        "<table border=\"0\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"><tr><td class=\"dir\">C:\\Data</td></tr></table>\r\n" +
        kTable +
        "<tr class=\"fileOdd\"><td width=\"35%\">b.txt</td><td width=\"20%\">Type txt</td><td width=\"10%\">1.0 KB</td>"
        "<td width=\"12%\">02/03/2004</td></tr>\r\n"
        "<tr class=\"file\"><td width=\"35%\">a & b.doc</td><td width=\"20%\">Type doc</td><td width=\"10%\">100 Bytes</td>"
        "<td width=\"12%\">11/20/2003</td></tr>\r\n"
        "</table>\r\n" + kTable +
        "<tr class=\"summary\"><td>Files: 2, Total Size: 1124 bytes.</td></tr></table><br><br>\r\n";
    std::string expected = kHead + "\r\n<h2>Listing of C:\\Data</h2>\r\n" + kHeadingRow + "\r\n" + section +
        "\r\n<br>" + kTable + "<tr class=\"dir\"><td>Total Files: 2, Total Folders : 1, "
        "Total Size: 1124 bytes.</td></tr></table></body></html>";
    EXPECT_EQ(document, expected);
    EXPECT_EQ(outcome, RunOutcome::Finished);
    EXPECT_EQ(host.busyChanges, (std::vector<bool>{true, false}));
    EXPECT_EQ(host.statusTexts, (std::vector<std::string>{"C:\\Data", ""}));
    // The window's events get a turn per file read and per row, and one once the document is closed.
    EXPECT_EQ(host.eventTurns, 2 + 2 + 1);
    EXPECT_EQ(engine.Totals().linksNotFollowed, 0);  // a file system that has no links follows none
    EXPECT_EQ(engine.LastFailure().path, "");
    EXPECT_EQ(engine.LastFailure().error, 0);
}

// The UTF-8 document passes eight ASCII bytes at a time: an ill-formed byte is replaced wherever
// it falls in such a block.
TEST(HtmlListingWriterTest, AnIllFormedByteIsReplacedAtEveryPlaceOfABlock) {
    ScratchFolder scratch;
    MemoryStore store;
    ListingSettings settings = ReadListingSettings(store, LocalNow());
    for (int k = 0; k < 8; ++k) {
        std::string path = scratch.File("utf8-" + std::to_string(k) + ".htm");
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        ListingOutput output(file);
        HtmlListingWriter writer(output, DocumentText::Utf8);
        EXPECT_TRUE(writer.Opening(settings, std::string(k, 'a') + "\x80"));  // a lone continuation byte
        EXPECT_TRUE(writer.Folder(ListedFolder{"First", {}}));
        EXPECT_TRUE(writer.Folder(ListedFolder{"Second", {}}));
        std::fclose(file);
        std::string document = ReadAll(path);
        EXPECT_NE(document.find("Listing of " + std::string(k, 'a') + "\xEF\xBF\xBD</h2>"), std::string::npos) << k;
        EXPECT_EQ(document.find('\x80'), std::string::npos) << k;
        EXPECT_EQ(Count(document, ">First<"), 1u);  // each section is written once
    }
}

// The UTF-8 declaration goes first in the head, or before a text that has none; only a UTF-8
// document escapes ampersands in its heading.
TEST(DocumentTest, Utf8DeclarationAndHeadingEscapes) {
    EXPECT_EQ(WithUtf8Declaration("<html><head><style>"), "<html><head><meta charset=\"utf-8\"><style>");
    EXPECT_EQ(WithUtf8Declaration("<p>x"), "<meta charset=\"utf-8\"><p>x");
    MemoryStore store;
    ListingSettings settings = ReadListingSettings(store, LocalNow());
    EXPECT_NE(DocumentOpening(settings, "C:\\a&b<c", DocumentText::FileCodePage).find("<h2>Listing of C:\\a&b&lt;c</h2>"),
              std::string::npos);
    EXPECT_NE(DocumentOpening(settings, "C:\\a&b<c", DocumentText::Utf8).find("<h2>Listing of C:\\a&amp;b&lt;c</h2>"),
              std::string::npos);
    // A section of the native document ends its line.
    ScratchFolder scratch;
    const std::string path = scratch.File("sections.htm");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ListingOutput output(file);
    HtmlListingWriter writer(output, DocumentText::Utf8);
    EXPECT_TRUE(writer.Opening(settings, "C:\\R") && writer.Folder(ListedFolder{"First", {}}));
    std::fclose(file);
    const std::string document = ReadAll(path);
    ASSERT_GE(document.size(), 2u);
    EXPECT_EQ(document.substr(document.size() - 2), "\r\n");
}

TEST(ListingOutputTest, AFailedWriteFailsEveryLaterWriteAndFlush) {
    ScratchFolder scratch;
    std::string path = scratch.File("read-only.txt");
    std::ofstream(path) << "x";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    ListingOutput output(file);
    EXPECT_TRUE(output.Write(""));
    EXPECT_FALSE(output.Failed());
    EXPECT_FALSE(output.Write("text"));
    EXPECT_TRUE(output.Failed());
    EXPECT_NE(output.Error(), 0);
    EXPECT_FALSE(output.Write(""));
    EXPECT_FALSE(output.Flush());
    std::fclose(file);
}

TEST_F(EngineTest, ModeShowHandsTheTemporaryFileToTheHost) {
    fs.Add("C:\\Data");
    Run("C:\\Data", kOutputShow);
    EXPECT_EQ(host.shown, std::vector<std::string>{host.TemporaryFilePath()});
}

TEST_F(EngineTest, SaveReplacesALongerFileAndCancelWritesNothing) {
    fs.Add("C:\\Data").files = {FakeFileSystem::File("a.txt")};
    std::string target = scratch.File("saved.html");
    std::ofstream(target) << std::string(100000, 'x');
    host.savePath = target;
    std::string document = Run("C:\\Data", kOutputSave);
    EXPECT_EQ(ReadAll(target), document);
    EXPECT_EQ(host.saved, std::vector<std::string>{target});

    host.savePath.reset();
    Run("C:\\Data", kOutputSave);
    EXPECT_EQ(outcome, RunOutcome::SaveCancelled);
    EXPECT_EQ(host.saved.size(), 1u);

#ifndef _WIN32
    // A save onto a full disk fails, with a document too long for the stream's buffer.
    fs.Add("C:\\Data").files.assign(500, FakeFileSystem::File("a.txt"));
    host.savePath = "/dev/full";
    Run("C:\\Data", kOutputSave);
    EXPECT_EQ(outcome, RunOutcome::WriteFailed);
    EXPECT_EQ(host.saved.size(), 1u);

    // The document assembled onto a full disk: the run fails, names the file it was assembled
    // in, and removes it; the sections written so far stay in the temporary listing file.
    const std::string assembled = host.TemporaryFilePath() + ".tmp";
    ASSERT_EQ(::symlink("/dev/full", assembled.c_str()), 0);
    Run("C:\\Data", 2);
    EXPECT_EQ(outcome, RunOutcome::WriteFailed);
    EXPECT_EQ(engine.LastFailure().path, assembled);
    EXPECT_EQ(engine.LastFailure().error, ENOSPC);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(assembled)));
    EXPECT_NE(ReadAll(host.TemporaryFilePath()).find("a.txt"), std::string::npos);
#endif
}

// Without files the window's events still get a turn for each folder whose walk ends (but the
// start folder's), each folder left out, and the end.
TEST_F(EngineTest, EventsGetATurnForEachFinishedBranch) {
    for (const char* path : {"C:\\R", "C:\\R\\A", "C:\\R\\B", "C:\\R\\B\\C", "C:\\R\\Skip"}) fs.Add(path);
    Set(key::kFolExclude, "*\\skip");
    Run("C:\\R");
    EXPECT_EQ(outcome, RunOutcome::Finished);
    EXPECT_EQ(host.eventTurns, 3 /* A, C and B end */ + 1 /* Skip left out */ + 1 /* the end */);
}

TEST_F(EngineTest, EmptyWalkGivesTheEmptyDocumentWithZeroTotals) {
    fs.Add("C:\\Data");
    Set(key::kFolInclude, "");
    std::string document = Run();
    EXPECT_EQ(outcome, RunOutcome::Finished);
    EXPECT_NE(document.find("</h2>\r\n" + kHeadingRow + "\r\n\r\n<br>"), std::string::npos);
    EXPECT_NE(document.find("Total Files: 0, Total Folders : 0, Total Size: 0 bytes."), std::string::npos);
}

TEST_F(EngineTest, StopEndsTheRunWithoutADocumentAndTheNextRunStartsAfresh) {
    auto& data = fs.Add("C:\\Data");
    data.files = {FakeFileSystem::File("a.txt")};
    fs.Add("C:\\Data\\Sub").files = {FakeFileSystem::File("b.txt")};
    host.onEvents = [&] { engine.RequestStop(); };
    std::string partial = Run();
    EXPECT_EQ(outcome, RunOutcome::Stopped);
    EXPECT_TRUE(host.shown.empty());
    EXPECT_EQ(partial.find("<html>"), std::string::npos);
    EXPECT_EQ(Count(partial, "class=\"dir\""), 1u);  // the folder being built is finished

    host.onEvents = nullptr;
    std::string full = Run("C:\\Data", kOutputShow);
    EXPECT_EQ(outcome, RunOutcome::Finished);
    EXPECT_EQ(engine.Totals().files, 2);
    EXPECT_EQ(engine.Totals().folders, 2);
}

TEST_F(EngineTest, ASecondRunDuringARunIsRefused) {
    fs.Add("C:\\Data").files = {FakeFileSystem::File("a.txt")};
    RunOutcome inner = RunOutcome::Finished;
    host.onEvents = [&] {
        host.onEvents = nullptr;
        inner = engine.BuildListing("C:\\Data", kOutputShow);
    };
    Run();
    EXPECT_EQ(inner, RunOutcome::Refused);
    EXPECT_EQ(outcome, RunOutcome::Finished);
    EXPECT_FALSE(engine.Running());
}

TEST_F(EngineTest, CountsBeyondSixteenBitsAndLengthsBeyondFourGiB) {
    auto& data = fs.Add("C:\\Data");
    data.files.assign(40000, FakeFileSystem::File("same.bin", 1));
    data.files.push_back(FakeFileSystem::File("huge.iso", 5000000000ull));
    Set(key::kFileInclude, "huge.iso");
    std::string document = Run();
    EXPECT_NE(document.find("Files: 40001, Total Size: 5000040000 bytes."), std::string::npos);
    EXPECT_NE(document.find("<td width=\"10%\">4.7 GB</td>"), std::string::npos);
}

TEST_F(EngineTest, MarkupInNamesAndPathsIsEscapedAndPlaceholdersInNamesStay) {
    fs.Add("/data/<i>").files = {FakeFileSystem::File("<script>##TYPE##.txt")};
    std::string document = Run("/data/<i>");
    EXPECT_EQ(document.find("<script>"), std::string::npos);
    EXPECT_EQ(document.find("<i>"), std::string::npos);
    EXPECT_NE(document.find("<h2>Listing of /data/&lt;i&gt;</h2>"), std::string::npos);
    EXPECT_NE(document.find(">&lt;script&gt;##TYPE##.txt</td>"), std::string::npos);

    // Specials before, at and after the eighth byte; separators from the user's locale that are
    // markup themselves.
    ListingSettings settings = ReadListingSettings(store, LocalNow());
    settings.locale.decimalSeparator = '<';
    settings.locale.dateSeparator = '&';
    settings.shown[kColExt] = settings.shown[kColAttrib] = true;
    ListedFolder folder;
    folder.path = "/p";
    folder.files = {ListedFile{"1234567<8&2345678>9", "x&y", "T>", 1536, DateTime{2004, 2, 3, 0, 0, 0}, kAttrReadOnly}};
    std::string html;
    AppendFolderSection(html, folder, settings, true);
    EXPECT_NE(html.find("<tr class=\"fileOdd\"><td width=\"35%\">1234567&lt;8&amp;2345678&gt;9</td>"
                        "<td width=\"6%\">x&amp;y</td><td width=\"20%\">T&gt;</td><td width=\"10%\">1&lt;5 KB</td>"
                        "<td width=\"12%\">02&amp;03&amp;2004</td><td width=\"6%\">r</td></tr>\r\n"),
              std::string::npos)
        << html;
    html.clear();
    AppendFolderSection(html, folder, settings, false);
    EXPECT_NE(html.find(">1234567&lt;8&2345678&gt;9</td><td width=\"6%\">x&y</td>"), std::string::npos) << html;
    EXPECT_NE(html.find(">1&lt;5 KB</td><td width=\"12%\">02&03&2004</td>"), std::string::npos) << html;
    // One markup separator is enough to be escaped.
    settings.locale.decimalSeparator = ',';
    settings.locale.dateSeparator = '>';
    html.clear();
    AppendFolderSection(html, folder, settings, true);
    EXPECT_NE(html.find(">1,5 KB</td><td width=\"12%\">02&gt;03&gt;2004</td>"), std::string::npos) << html;
}

TEST_F(EngineTest, UnreadableFolderGivesAnEmptySectionAndTheWalkGoesOn) {
    fs.Add("C:\\Data").files = {FakeFileSystem::File("a.txt")};
    fs.Add("C:\\Data\\Locked").readable = false;
    fs.Add("C:\\Data\\Open").files = {FakeFileSystem::File("b.txt")};
    std::string document = Run();
    EXPECT_NE(document.find("Locked</td></tr></table>\r\n" + kTable + "</table>"), std::string::npos);
    EXPECT_NE(document.find("C:\\Data\\Open</td>"), std::string::npos);
    EXPECT_EQ(engine.Totals().folders, 3);
}

TEST_F(EngineTest, FileWhoseLengthCannotBeReadIsCountedWithoutBytes) {
    FileInfo gone{"gone.txt", std::nullopt, std::nullopt, std::nullopt};
    fs.Add("C:\\Data").files = {gone, FakeFileSystem::File("a.txt", 7)};
    std::string document = Run();
    EXPECT_NE(document.find("<td width=\"35%\">gone.txt</td><td width=\"20%\">Type txt</td><td width=\"10%\"></td>"
                            "<td width=\"12%\"></td>"),
              std::string::npos);
    EXPECT_NE(document.find("Files: 2, Total Size: 7 bytes."), std::string::npos);
}

TEST_F(EngineTest, RowsAlternateAndRestartPerFolder) {
    fs.Add("C:\\Data").files = {FakeFileSystem::File("1"), FakeFileSystem::File("2"), FakeFileSystem::File("3")};
    fs.Add("C:\\Data\\Sub").files = {FakeFileSystem::File("4")};
    std::string document = Run();
    size_t second = document.find("Sub</td>");
    std::string first = document.substr(0, second);
    EXPECT_EQ(Count(first, "<tr class=\"fileOdd\">"), 2u);
    EXPECT_EQ(Count(first, "<tr class=\"file\">"), 1u);
    EXPECT_NE(document.find("<tr class=\"fileOdd\"><td width=\"35%\">4<", second), std::string::npos);
    EXPECT_EQ(Count(document, "\">1</td>"), 1u);  // each folder's section is written once
}

struct RecursionCase {
    const char* recurse;
    const char* depth;
    int folders;
};

class RecursionTest : public EngineTest, public ::testing::WithParamInterface<RecursionCase> {};

TEST_P(RecursionTest, LimitsTheLevelsListed) {
    fs.Add("C:\\");
    fs.Add("C:\\A");
    fs.Add("C:\\A\\B");
    fs.Add("C:\\A\\B\\C");
    Set(key::kRecurse, GetParam().recurse);
    if (GetParam().depth) Set(key::kRecurseDepth, GetParam().depth);
    Run("C:\\");
    EXPECT_EQ(engine.Totals().folders, GetParam().folders);
}

INSTANTIATE_TEST_SUITE_P(Levels, RecursionTest,
                         ::testing::Values(RecursionCase{"Infinite", nullptr, 4}, RecursionCase{"No", nullptr, 1},
                                           RecursionCase{"infinite", nullptr, 1}, RecursionCase{"", nullptr, 1},
                                           RecursionCase{"Depth", nullptr, 4}, RecursionCase{"Depth", "0", 1},
                                           RecursionCase{"Depth", "1", 2}, RecursionCase{"Depth", "1.5", 3},
                                           RecursionCase{"Depth", "-1", 4}, RecursionCase{"Depth", "-2", 0},
                                           RecursionCase{"Depth", "", 1}, RecursionCase{"Depth", "99999", 4}));

TEST_F(EngineTest, SummaryAndPrintLayoutAddToTheDocumentOnlyWhenOn) {
    fs.Add("C:\\Data").files = {FakeFileSystem::File("a.txt"), FakeFileSystem::File("b.tmp"),
                                 FakeFileSystem::File("c.tmp")};
    fs.Add("C:\\Data\\Backup");
    fs.Add("C:\\Data\\Backup\\Old");
    fs.Add("C:\\Data\\Locked").readable = false;
    Set(key::kFolExclude, "*\\backup");
    Set(key::kFileExclude, "*.tmp");
    const std::string plain = Run();
    EXPECT_EQ(plain.find("Left out"), std::string::npos);
    EXPECT_EQ(plain.find("@media print"), std::string::npos);

    Set(key::kSummary, "1");
    Set(key::kPrintLayout, "1");
    const std::string document = Run();
    EXPECT_NE(document.find("Total Size: 30 bytes.</td></tr></table>" + kTable +
                            "<tr class=\"summary\"><td>Left out: 1 folder by the folder filter, 2 files by the file "
                            "filters, 1 folder that could not be read, 0 links not followed.</td></tr></table>"
                            "</body></html>"),
              std::string::npos)
        << document;
    EXPECT_NE(document.find("@media print{*{-webkit-print-color-adjust:exact; print-color-adjust:exact;}"),
              std::string::npos);
    EXPECT_EQ(Count(document, "<thead class=\"printhead\"><tr><td width=\"35%\"><b>Name</b>"), 2u);  // per folder
}

TEST_F(EngineTest, FolderSkippedByTheFilterHidesItsSubtree) {
    fs.Add("C:\\Data");
    fs.Add("C:\\Data\\Backup");
    fs.Add("C:\\Data\\Backup\\Music");
    fs.Add("C:\\Data\\Music");
    Set(key::kFolExclude, "*\\backup");
    std::string document = Run();
    EXPECT_EQ(engine.Totals().folders, 2);
    EXPECT_EQ(document.find("Backup"), std::string::npos);
}

TEST_F(EngineTest, SortOrderFollowsTheFirstFlagThatReadsOne) {
    fs.Add("C:\\Data").files = {FakeFileSystem::File("b.txt", 2048, {2003, 11, 20, 0, 0, 0}),
                                FakeFileSystem::File("C.doc", 900, {2004, 2, 3, 0, 0, 0}),
                                FakeFileSystem::File("a.zip", 1572864, {2004, 1, 15, 0, 0, 0})};
    auto order = [&] {
        std::string d = Run();
        return std::vector<size_t>{d.find(">b.txt<"), d.find(">C.doc<"), d.find(">a.zip<")};
    };
    auto v = order();  // enumeration order
    EXPECT_TRUE(v[0] < v[1] && v[1] < v[2]);
    Set(key::kNoOrder, "0");  // nothing reads 1: by name
    v = order();
    EXPECT_TRUE(v[2] < v[0] && v[0] < v[1]);
    Set(key::kNameOrder, "1");
    Set(key::kSizeOrder, "1");  // the earlier flag wins
    v = order();
    EXPECT_TRUE(v[2] < v[0] && v[0] < v[1]);
    Set(key::kNameOrder, "0");  // size texts: "1.5 MB" < "2.0 KB" < "900 Bytes"
    v = order();
    EXPECT_TRUE(v[2] < v[0] && v[0] < v[1]);
    Set(key::kSizeOrder, "0");
    Set(key::kDateOrder, "1");  // "01/15/2004" < "02/03/2004" < "11/20/2003"
    v = order();
    EXPECT_TRUE(v[2] < v[1] && v[1] < v[0]);
    Set(key::kNoOrder, "1");  // back to enumeration order without a new engine
    v = order();
    EXPECT_TRUE(v[0] < v[1] && v[1] < v[2]);
}

TEST_F(EngineTest, SortByExtAndByTypeIgnoresLetterCase) {
    fs.Add("C:\\Data").files = {FakeFileSystem::File("b.zip"), FakeFileSystem::File("a.TXT"),
                                FakeFileSystem::File("c.doc"), FakeFileSystem::File("d")};
    fs.types = {{"b.zip", "archive"}, {"a.TXT", "Text"}, {"c.doc", "Document"}, {"d", "File"}};
    auto order = [&] {
        std::string d = Run();
        std::vector<std::pair<size_t, std::string>> at;
        for (const char* name : {"b.zip", "a.TXT", "c.doc", "d"}) at.emplace_back(d.find(std::string(">") + name + "<"), name);
        std::sort(at.begin(), at.end());
        std::string names;
        for (const auto& a : at) names += a.second + " ";
        return names;
    };
    Set(key::kNoOrder, "0");
    Set(key::kExtOrder, "1");
    EXPECT_EQ(order(), "d c.doc a.TXT b.zip ");
    Set(key::kExtOrder, "0");
    Set(key::kTypeOrder, "1");
    EXPECT_EQ(order(), "b.zip c.doc d a.TXT ");
}

TEST_F(EngineTest, SizeUnitWordsMatchExactlyAndAnyOtherIsDynamic) {
    fs.Add("C:\\Data").files = {FakeFileSystem::File("big", 3145728), FakeFileSystem::File("small", 512)};
    const std::pair<const char*, const char*> cases[] = {
        {"Bytes", "3145728 Bytes|512 Bytes"}, {"Kb", "3072.0 KB|0.5 KB"}, {"Mb", "3.0 MB|0.0 MB"},
        {"KB", "3.0 MB|512 Bytes"},           {"bytes", "3.0 MB|512 Bytes"}, {"Dynamic", "3.0 MB|512 Bytes"},
    };
    for (const auto& [word, sizes] : cases) {
        Set(key::kDisplayFileSize, word);
        std::string d = Run();
        std::string cells;
        for (size_t pos = d.find("<td width=\"10%\">"); pos != std::string::npos; pos = d.find("<td width=\"10%\">", pos + 1)) {
            size_t start = pos + 16;
            if (d.compare(start, 3, "<b>") == 0) continue;  // the heading
            cells += (cells.empty() ? "" : "|") + d.substr(start, d.find('<', start) - start);
        }
        EXPECT_EQ(cells, sizes) << word;
    }
}

TEST_F(EngineTest, EachColourKeyLandsInItsOwnPlaceInTheStyleSheet) {
    fs.Add("C:\\Data");
    // 0x00BBGGRR: each key its own colour, written out as #RRGGBB below.
    Set(key::kBodyBack, "66051");        // 0x010203
    Set(key::kFolBack, "263430");        // 0x040506
    Set(key::kFolFontColor, "460809");   // 0x070809
    Set(key::kFileBack, "658188");       // 0x0A0B0C
    Set(key::kFileBackOdd, "855567");    // 0x0D0E0F
    Set(key::kFileFontColor, "1052946"); // 0x101112
    std::string d = Run();
    for (const char* rule : {".dir{font-family:Tahoma; font-weight:bold; font-size:10pt; color:#090807; background:#060504;}",
                             ".file{font-family:Tahoma; font-size:10pt; color:#121110; background:#0C0B0A;}",
                             ".fileodd{font-family:Tahoma; font-size:10pt; color:#121110; background:#0F0E0D;}",
                             ".summary{font-family:Tahoma; font-size:10pt; color:#121110; background:#0C0B0A;}",
                             "body{font-family:Tahoma; background:#030201;}"}) {
        EXPECT_NE(d.find(rule), std::string::npos) << rule;
    }
}

TEST_F(EngineTest, ColumnsAndHeadingsFollowTheDisplayFlags) {
    fs.Add("C:\\Data").files = {FakeFileSystem::File("r.txt", 5, {2004, 2, 3, 0, 0, 0}, kAttrArchive | kAttrReadOnly)};
    for (const SettingKey* k : {&key::kName, &key::kType, &key::kSize, &key::kDateTime}) Set(*k, "0");
    std::string document = Run();
    EXPECT_NE(document.find(kTable + "<tr></tr></table>"), std::string::npos);
    EXPECT_NE(document.find("<tr class=\"fileOdd\"></tr>"), std::string::npos);

    Set(key::kExt, "1");
    Set(key::kAttrib, "1");
    Set(key::kAttribStr, "");
    document = Run();
    EXPECT_NE(document.find("<tr><td width=\"6%\"><b>Ext</b></td><td width=\"6%\"><b></b></td></tr>"), std::string::npos);
    EXPECT_NE(document.find("<tr class=\"fileOdd\"><td width=\"6%\">txt</td><td width=\"6%\">ar</td></tr>"),
              std::string::npos);
}

TEST_F(EngineTest, StyleSheetUsesStoredColoursFontsAndRoundedSizes) {
    Set(key::kFolBack, "255");
    Set(key::kFolFont, "Verdana");
    Set(key::kFileFontSize, "10.5");
    Set(key::kFolFontSize, "11.5");
    Set(key::kBodyBack, "not a colour");
    ListingSettings settings = ReadListingSettings(store, LocalNow());
    std::string head = DocumentHead(settings);
    EXPECT_NE(head.find(".dir{font-family:Verdana; font-weight:bold; font-size:12pt; color:#FFFFFF; background:#FF0000;}"),
              std::string::npos);
    EXPECT_NE(head.find(".file{font-family:Tahoma; font-size:10pt;"), std::string::npos);
    EXPECT_NE(head.find("body{font-family:Verdana; background:#FFFFFF;}"), std::string::npos);
}

// Logs what a writer is handed; fails from the given Folder call on.
class RecordingWriter : public ListingWriter {
public:
    explicit RecordingWriter(FakeFileSystem& fs, int failAt = -1) : fs_(fs), failAt_(failAt) {}
    bool Opening(const ListingSettings&, const std::string& startFolder) override {
        log.push_back("open " + startFolder);
        return true;
    }
    bool Folder(const ListedFolder& folder) override {
        // Which folders had been read when this one arrived shows whether it came before its subfolders.
        std::string entry = "folder " + folder.path + " after " + std::to_string(fs_.reads.size()) + " reads:";
        for (const ListedFile& f : folder.files) entry += " " + f.name + "|" + f.extension + "|" + f.type;
        entry += " (" + std::to_string(folder.fileCount) + ", " + std::to_string(folder.byteCount) + ")";
        log.push_back(entry);
        listed.push_back(folder);
        return static_cast<int>(log.size()) - 1 != failAt_;
    }
    bool Closing(const RunTotals& totals) override {
        log.push_back("close " + std::to_string(totals.folders) + " " + std::to_string(totals.files) + " " +
                      std::to_string(totals.bytes));
        return true;
    }
    std::vector<std::string> log;
    std::vector<ListedFolder> listed;

private:
    FakeFileSystem& fs_;
    int failAt_;
};

TEST_F(EngineTest, WriterGetsEachFolderInPreOrderBeforeItsSubfoldersAreRead) {
    fs.Add("C:\\Data").files = {FakeFileSystem::File("b.txt", 3), FakeFileSystem::File("skip.tmp", 4),
                                FakeFileSystem::File("A.DOC", 5, {2004, 2, 3, 10, 0, 0}, kAttrHidden)};
    fs.Add("C:\\Data\\Zeta").files = {FakeFileSystem::File("z")};
    fs.Add("C:\\Data\\Zeta\\Deep");
    fs.Add("C:\\Data\\Alpha");
    fs.Add("C:\\Data\\Mid");
    Set(key::kFileExclude, "*.tmp");
    Set(key::kNoOrder, "0");  // by name
    RecordingWriter writer(fs);
    EXPECT_EQ(engine.WriteListing("C:\\Data", writer), RunOutcome::Finished);
    EXPECT_EQ(writer.log, (std::vector<std::string>{
                              "open C:\\Data",
                              "folder C:\\Data after 1 reads: A.DOC|DOC|Type DOC b.txt|txt|Type txt (3, 12)",
                              "folder C:\\Data\\Zeta after 2 reads: z||File (1, 10)",
                              "folder C:\\Data\\Zeta\\Deep after 3 reads: (0, 0)",
                              "folder C:\\Data\\Alpha after 4 reads: (0, 0)",
                              "folder C:\\Data\\Mid after 5 reads: (0, 0)",
                              "close 5 4 22",
                          }));
    const ListedFile& a = writer.listed[0].files[0];
    EXPECT_EQ(a.length, 5u);
    EXPECT_EQ(a.attributes, static_cast<std::uint32_t>(kAttrHidden));
    EXPECT_TRUE(a.modified && a.modified->day == 3 && a.modified->hour == 10);
    EXPECT_FALSE(engine.Running());
}

TEST_F(EngineTest, WriterFailureEndsTheWalkWithoutClosing) {
    fs.Add("C:\\Data");
    fs.Add("C:\\Data\\One");
    fs.Add("C:\\Data\\Two");
    fs.Add("C:\\Data\\Locked").readable = false;
    RecordingWriter writer(fs, 2);  // the second folder fails
    EXPECT_EQ(engine.WriteListing("C:\\Data", writer), RunOutcome::WriteFailed);
    EXPECT_EQ(writer.log.size(), 3u);
    EXPECT_EQ(fs.reads, (std::vector<std::string>{"C:\\Data", "C:\\Data\\One"}));

    RecordingWriter all(fs);
    EXPECT_EQ(engine.WriteListing("C:\\Data", all), RunOutcome::Finished);
    ASSERT_EQ(all.listed.size(), 4u);
    EXPECT_TRUE(all.listed[2].readable);
    EXPECT_FALSE(all.listed[3].readable);
}

TEST(EngineStoreTest, WithoutAStoreEachRunReadsTheStoreInstalledThen) {
    ScratchFolder scratch;
    FakeFileSystem fs;
    fs.Add("C:\\Data");
    RecordingHost host(scratch.File("myTmpFile.htm"));
    ListingEngine engine(fs, host);
    MemoryStore store;
    store.Write("Display", "NameStr", "Installed later");
    InstallSettingsStore(&store);
    engine.BuildListing("C:\\Data", 2);
    InstallSettingsStore(nullptr);
    EXPECT_NE(ReadAll(host.TemporaryFilePath()).find("<b>Installed later</b>"), std::string::npos);
}

TEST(ValidUtf8Test, EachMaximalIllFormedPartBecomesOneReplacementCharacter) {
    const std::string r = "\xEF\xBF\xBD";
    EXPECT_EQ(ValidUtf8("plain \xC3\xA9\xF0\x9F\x98\x80"), "plain \xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(ValidUtf8("a\xFF" "b"), "a" + r + "b");
    EXPECT_EQ(ValidUtf8("\xC0\xAF"), r + r);                  // overlong "/"
    EXPECT_EQ(ValidUtf8("\xE0\x80\xAF"), r + r + r);          // overlong, three bytes
    EXPECT_EQ(ValidUtf8("\xED\xA0\x80"), r + r + r);          // surrogate
    EXPECT_EQ(ValidUtf8("\xF4\x90\x80\x80"), r + r + r + r);  // above U+10FFFF
    EXPECT_EQ(ValidUtf8("\xE2\x82" "A\xE2\x82"), r + "A" + r);  // cut short, in the middle and at the end
    EXPECT_EQ(ValidUtf8("\xF0\x9F\x98"), r);
    EXPECT_EQ(ValidUtf8("\x7F\xE0\xA0\x80"), "\x7F\xE0\xA0\x80");  // U+007F, U+0800
}

// Every edge of the lead byte and second byte ranges, with a byte just inside and just outside.
TEST(ValidUtf8Test, SequenceLengthsAtEachEdge) {
    const std::pair<const char*, size_t> cases[] = {
        {"a", 1},                {"\x7F", 1},             {"\x80", 0},             {"\xC1\xBF", 0},
        {"\xC2\x80", 2},         {"\xDF\xBF", 2},         {"\xC2\x7F", 0},         {"\xC2\xC0", 0},
        {"\xE0\xA0\x80", 3},     {"\xE0\x9F\xBF", 0},     {"\xE1\x80\x80", 3},     {"\xEC\xBF\xBF", 3},
        {"\xED\x9F\xBF", 3},     {"\xED\xA0\x80", 0},     {"\xEE\x80\x80", 3},     {"\xEF\xBF\xBF", 3},
        {"\xE1\x80\x7F", 0},     {"\xE1\x80\xC0", 0},     {"\xE1\x80", 0},         {"\xF0\x90\x80\x80", 4},
        {"\xF0\x8F\xBF\xBF", 0}, {"\xF1\x80\x80\x80", 4}, {"\xF4\x8F\xBF\xBF", 4}, {"\xF4\x90\x80\x80", 0},
        {"\xF5\x80\x80\x80", 0}, {"\xF3\xBF\xBF\xBF", 4}, {"\xF3\x80\x80", 0},
    };
    for (const auto& [text, length] : cases) EXPECT_EQ(Utf8SequenceLength(text, 0), length) << testing::PrintToString(text);
}

TEST(FolderLevelTest, CountsStepsBelowTheStartFolder) {
    EXPECT_EQ(FolderLevel("C:\\Data", "C:\\Data"), 0);
    EXPECT_EQ(FolderLevel("C:\\data\\a", "C:\\Data"), 1);
    EXPECT_EQ(FolderLevel("C:\\a\\b", "C:\\"), 2);
    EXPECT_EQ(FolderLevel("C:\\", "C:\\Data"), 0);
    EXPECT_EQ(FolderLevel("/srv/a\\b/c", "/srv", "/"), 2);
}

}  // namespace
}  // namespace tessory
