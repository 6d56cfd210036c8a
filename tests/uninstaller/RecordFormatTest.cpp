#include <gtest/gtest.h>

#include "AllocationLimit.h"
#include "RecordFormat.h"
#include "RecordWriter.h"

using namespace corvel;

namespace {

std::string be32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

// The writer's layers (its own code) come off in the reader, outer first, for steps that wrap.
TEST(RecordLayer, WriterLayersUnwrapForAllSteps) {
    const std::string payload("\\\x00payload with \x00 bytes", 22);
    for (int step : {0, 1, 7, 255}) {
        const std::string stored = writer::wrapRecord(payload, {static_cast<uint8_t>(step), 200}, {3, static_cast<uint8_t>(step)});
        TextBuffer inner, back;
        ASSERT_TRUE(unwrapLayer(TextBuffer(stored), inner));
        ASSERT_TRUE(unwrapLayer(inner, back));
        EXPECT_EQ(back.str(), payload);
    }
}

TEST(RecordLayer, ByteNScrambledWithBasePlusIPlusOneSteps) {
    const TextBuffer layer = wrapLayer(TextBuffer(std::string("\0\0\0", 3)), 3, 10);
    EXPECT_EQ(layer.byteAt(0), 13);
    EXPECT_EQ(layer.byteAt(2), 19);
    EXPECT_EQ(layer.length(), 13);
}

TEST(RecordLayer, RejectsBadLaneAndShortLayer) {
    TextBuffer layer = wrapLayer(TextBuffer("abcdefghijkl"), 5, 9);
    TextBuffer out;
    for (int i = 0; i < layer.length(); ++i) {
        std::string bytes = layer.str();
        bytes[static_cast<size_t>(i)] ^= 0x10;
        EXPECT_FALSE(unwrapLayer(TextBuffer(bytes), out)) << "flipped byte " << i;
    }
    EXPECT_FALSE(unwrapLayer(TextBuffer("123456789"), out));
    EXPECT_TRUE(unwrapLayer(wrapLayer(TextBuffer(), 1, 2), out));
    EXPECT_TRUE(out.empty());
}

TEST(StringTableTest, FirstKeyWinsAndOverrunsAreDropped) {
    const std::string block = be32(3) + be32(3) + be32(1) + be32(2) + "hi" + be32(1) + be32(1) + "x" + be32(4) +
                              be32(100) + "short";
    StringTable table;
    table.load(TextBuffer(block));
    EXPECT_EQ(table.language(), 3);
    EXPECT_EQ(table.lookup(1).str(), "hi");
    EXPECT_EQ(table.lookup(4).str(), "");
    EXPECT_EQ(table.count(), 2);
}

// The numbers of the record format as docs/record-format.md gives them: records already written
// depend on them.
TEST(RecordNumbersTest, AsTheFormatDocumentsThem) {
    const std::pair<int32_t, int32_t> numbers[] = {
        {record::kWindowTitle, 0},      {record::kConfirm, 1},          {record::kRegistryCheckFailed, 2},
        {record::kRestoreQuestion, 3},  {record::kSharedFileText, 4},   {record::kFilesHeading, 5},
        {record::kDirectoriesHeading, 6}, {record::kKeysHeading, 7},    {record::kRestartQuestion, 8},
        {record::kYesToAllCaption, 9},  {record::kNoToAllCaption, 10},  {record::kYesCaption, 11},
        {record::kNoCaption, 12},       {record::kDeleteKey, 0x1},      {record::kDeleteIfEmpty, 0x2},
        {record::kDeleteTree, 0x4},     {record::kQuietWithSubkeys, 0x8}, {record::kDeleteValue, 1},
    };
    for (const auto& [constant, documented] : numbers) EXPECT_EQ(constant, documented);
}

TEST(ImageTableTest, LengthBeforeKeyAndShortBlocks) {
    ImageTable table;
    table.load(TextBuffer(be32(2) + be32(3) + be32(7) + "BMx" + be32(50) + be32(8) + "tiny"));
    ASSERT_EQ(table.count(), 1);
    ByteSpan span = table.find(7);
    ASSERT_EQ(span.size, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(span.data), 3), "BMx");
    EXPECT_TRUE(table.find(8).empty());
    // Bytes after the last counted entry are no entry.
    table.load(TextBuffer(be32(1) + be32(1) + be32(7) + "B" + be32(1) + be32(8) + "C"));
    EXPECT_EQ(table.count(), 1);
    EXPECT_TRUE(table.find(8).empty());
    // An empty image is an entry like any other: the ones after it are still found.
    table.load(TextBuffer(be32(2) + be32(0) + be32(4) + be32(2) + be32(5) + "ok"));
    EXPECT_EQ(table.count(), 2);
    EXPECT_EQ(table.find(5).size, 2u);
    table.load(TextBuffer("\x00\x00", 2));
    EXPECT_EQ(table.count(), 0);
}

TEST(PlainRecordTest, HeaderBlocksAndBody) {
    const std::string strings = be32(9) + be32(1) + be32(0) + be32(4) + "T %s";
    const std::string header = be32(static_cast<uint32_t>(strings.size())) + strings + be32(3) + "RTT" + be32(0);
    const std::string plain = std::string("\\\x01", 2) + be32(static_cast<uint32_t>(header.size())) + header + "BODY";
    PlainRecord record;
    ASSERT_TRUE(parsePlainRecord(TextBuffer(plain), record));
    EXPECT_TRUE(record.hasHeader);
    EXPECT_EQ(record.strings.language(), 9);
    EXPECT_EQ(record.strings.lookup(0).str(), "T %s");
    EXPECT_EQ(record.windowTemplate.str(), "RTT");
    EXPECT_EQ(record.body.str(), "BODY");
}

TEST(PlainRecordTest, HostileLengthsStayInside) {
    PlainRecord record;
    EXPECT_FALSE(parsePlainRecord(TextBuffer("\\"), record));
    ASSERT_TRUE(parsePlainRecord(TextBuffer(std::string("\\\x00\xff\xff\xff\xff", 6) + be32(0x7fffffff) + "ab"), record));
    EXPECT_TRUE(record.body.empty());
    ASSERT_TRUE(parsePlainRecord(TextBuffer("\\x\x00"), record));
    EXPECT_TRUE(record.header.empty());
    ASSERT_TRUE(parsePlainRecord(TextBuffer(std::string("\\\x01", 2) + be32(0) + "BODY"), record));
    EXPECT_TRUE(record.header.empty()) << "a header of length 0";
    EXPECT_EQ(record.body.str(), "BODY");
    ASSERT_TRUE(parsePlainRecord(TextBuffer("Xbody"), record));
    EXPECT_FALSE(record.hasHeader);
    EXPECT_EQ(record.body.str(), "Xbody");
}

// Blocks, tables and records at their edges: an empty block before another, a header cut inside
// its last block, a count below the entries present, an empty last entry, languages of short
// blocks, a table loaded twice, a tree name without its end, records of one and two bytes.
TEST(RecordEdgesTest, BlocksTablesAndRecordsAtTheirEdges) {
    PlainRecord record;
    const std::string header = be32(0) + be32(3) + "TPL" + be32(0);  // no strings, a template, no images
    ASSERT_TRUE(parsePlainRecord(TextBuffer(std::string("\\\x01", 2) + be32(15) + header), record));
    EXPECT_EQ(record.windowTemplate.str(), "TPL");
    ASSERT_TRUE(parsePlainRecord(TextBuffer(std::string("\\\x01", 2) + be32(100) + be32(0) + be32(50) + "TPL"), record));
    EXPECT_EQ(record.windowTemplate.str(), "TPL") << "cut to what the record holds, and no further";

    StringTable strings;
    strings.load(TextBuffer(be32(7) + be32(1) + be32(1) + be32(1) + "a" + be32(2) + be32(1) + "b"));
    EXPECT_EQ(strings.count(), 1) << "only the counted entries";
    strings.load(TextBuffer(be32(7) + be32(1) + be32(6) + be32(0)));
    ASSERT_EQ(strings.count(), 1) << "an empty text at the very end";
    EXPECT_EQ(strings.entries()[0].first, 6);
    const std::pair<std::string, int32_t> languages[] = {
        {"", 0}, {std::string("\0\0\7", 3), 0}, {be32(7), 7}};
    for (const auto& [block, language] : languages) {
        strings.load(TextBuffer(block));
        EXPECT_EQ(strings.language(), language) << block.size() << " bytes";
        EXPECT_EQ(strings.count(), 0);
    }
    ImageTable images;
    images.load(TextBuffer(be32(1) + be32(0) + be32(5)));
    EXPECT_EQ(images.count(), 1) << "an empty image at the very end";

    const TextBuffer tree("ab");
    TreeReader reader(tree);
    std::string name = "kept";
    EXPECT_FALSE(reader.readName(name));
    EXPECT_TRUE(reader.ended());
    EXPECT_FALSE(reader.readName(name));
    EXPECT_EQ(name, "kept");

    for (const auto& [plain, result] : {std::pair{"P", RecordRead::kCorrupt}, {"P\n", RecordRead::kOk}}) {
        DecodedRecord decoded;
        EXPECT_EQ(decodeStoredRecord(wrapLayer(wrapLayer(TextBuffer(plain), 1, 2), 3, 4), decoded), result) << plain;
    }
}

TEST(ProductLineTest, ThreeNulSeparatedFields) {
    ProductLine line = readProductLine(TextBuffer(std::string("Prod\0" "7\0cmd.exe /x\r\nShared:\r\n", 25)));
    EXPECT_EQ(line.name.str(), "Prod");
    EXPECT_EQ(line.runCode.str(), "7");
    EXPECT_EQ(line.command.str(), "cmd.exe /x");
    line = readProductLine(TextBuffer("OnlyName\r\n"));
    EXPECT_EQ(line.name.str(), "OnlyName");
    EXPECT_TRUE(line.runCode.empty());
    EXPECT_TRUE(readProductLine(TextBuffer()).name.empty());
}

TEST(SectionsTest, SplitsAtMarkersAndSurvivesMissingOnes) {
    Sections s = splitSections(TextBuffer("P\r\nShared:\r\nA\r\nBackups:\r\nFiles:\r\nF\r\nDirectories:\r\nD\r\nRegistry:\r\nR"));
    EXPECT_EQ(s.shared.str(), "A\r\n");
    EXPECT_EQ(s.backups.str(), "");
    EXPECT_EQ(s.files.str(), "F\r\n");
    EXPECT_EQ(s.directories.str(), "D\r\n");
    EXPECT_EQ(s.registry.str(), "R");
    // A marker at the very start, and one given twice: the section runs to the next other marker.
    EXPECT_EQ(splitSections(TextBuffer("Shared:\r\nX\r\n")).shared.str(), "X\r\n");
    EXPECT_EQ(splitSections(TextBuffer("P\r\nFiles:\r\na\r\nFiles:\r\nb\r\n")).files.str(), "a\r\nFiles:\r\nb\r\n");
    s = splitSections(TextBuffer("P\r\nShared:\r\nA\r\nFiles:\r\nF\r\n"));
    EXPECT_EQ(s.shared.str(), "A\r\n");
    EXPECT_EQ(s.files.str(), "F\r\n");
    EXPECT_TRUE(s.registry.empty());
}

TEST(CaptionTest, CutsAtCharacterBoundary) {
    std::string text(510, 'a');
    text += "\xc3\xa4\xc3\xa4";
    EXPECT_EQ(limitCaption(TextBuffer(text)).length(), 510);
    // A 3-byte character across the cut (bytes 509 to 511) goes whole.
    const std::string euro = std::string(509, 'a') + "\xe2\x82\xac" + "b";
    EXPECT_EQ(limitCaption(TextBuffer(euro)).str(), std::string(509, 'a'));
    EXPECT_EQ(limitCaption(TextBuffer("short")).str(), "short");
    EXPECT_EQ(limitCaption(TextBuffer(std::string(511, 'a'))).length(), 511) << "511 bytes fit";
    EXPECT_EQ(limitCaption(TextBuffer("a\xc3\xa9"), 2).str(), "a");  // 0xA9: a continuation byte, odd
    EXPECT_EQ(limitCaption(TextBuffer("\x80\x80\x80"), 2).str(), "") << "nothing but continuation bytes";
}

}  // namespace

namespace {

TEST(RecordReading, OutOfMemoryAnywhereIsReportedNotThrown) {
    writer::RecordDescription d;
    std::string error;
    ASSERT_TRUE(writer::parseDescription("string 0 \"%s Uninstall\"\nstring 1 Remove?\nproduct P\nshared C:\\s.dll\n"
                                         "file C:\\a\\b.txt\ndirectory C:\\a\nkey 1 HKCU\\Software\\P\n",
                                         "", d, error));
    const TextBuffer stored(writer::wrapRecord(writer::buildPlainRecord(d), {5, 6}, {7, 8}));
    int failures = 0;
    bool read = false;
    for (long budget = 0; budget < 100000 && !read; ++budget) {
        DecodedRecord out;
        corvel::test::LimitAllocations(budget);
        const RecordRead result = decodeStoredRecord(stored, out);
        corvel::test::LimitAllocations(-1);
        if (result == RecordRead::kOk) {
            read = true;
            EXPECT_EQ(out.product.name.str(), "P");
            EXPECT_EQ(out.sections.files.str(), "C:\\a\\b.txt\r\n");
        } else {
            ASSERT_EQ(result, RecordRead::kNoMemory) << "budget " << budget;
            ++failures;
        }
    }
    EXPECT_TRUE(read);
    EXPECT_GE(failures, 5) << "each allocation on the way is a place where memory can run out";
}

}  // namespace
