// The writer and the reader meet: a description written, wrapped, appended, read back.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "RecordFormat.h"
#include "RecordTrailer.h"
#include "Removal.h"
#include "RecordWriter.h"
#include "UninstallerFile.h"
#include "UniqueTempPath.h"

using namespace corvel;

namespace {

const char kDescription[] =
    "# sample\n"
    "language 3\n"
    "string 0 \"%s Uninstall\"\n"
    "string 4 The shared file\\n%s\\nis no longer used.\n"
    "product Tessory\n"
    "runcode 7\n"
    "command \"C:\\check.EXE\"\n"
    "shared C:\\Windows\\System32\\tsrctl.ocx|CTRL\n"
    "backup C:\\Program Files\\T\\b.dll | C:\\Windows\\b.dll | 393216 | 0 | -1 | 7\n"
    "file C:\\Program Files\\T\\Tessory.exe\n"
    "directory C:\\Program Files\\T\n"
    "key 0x5 HKCU\\Software\\Ombrel\n"
    "value 1 Browser\n"
    "key 1 HKEY_CLASSES_ROOT\\Folder\\shell\\Print listing with Tessory\n";

std::string unwrapFromExecutable(const std::string& file) {
    const size_t n = file.size();
    const uint32_t at = static_cast<unsigned char>(file[n - 4]) | (static_cast<unsigned char>(file[n - 3]) << 8) |
                        (static_cast<unsigned char>(file[n - 2]) << 16) |
                        (static_cast<uint32_t>(static_cast<unsigned char>(file[n - 1])) << 24);
    TextBuffer inner, plain;
    EXPECT_TRUE(unwrapLayer(TextBuffer(file.substr(at, n - 4 - at)), inner));
    EXPECT_TRUE(unwrapLayer(inner, plain));
    return plain.str();
}

TEST(RecordWriterRoundTrip, DescriptionComesBackSectionBySection) {
    writer::RecordDescription description;
    std::string error;
    ASSERT_TRUE(writer::parseDescription(kDescription, "", description, error)) << error;
    const std::string exe = "MZ fake executable";
    const std::string file =
        writer::appendRecord(exe, writer::wrapRecord(writer::buildPlainRecord(description), {9, 250}, {255, 1}));
    ASSERT_EQ(file.compare(0, exe.size(), exe), 0);
    // Zeros after the executable end the file at a multiple of 8: a signer appends its table
    // without padding of its own.
    EXPECT_EQ(file.size() % 8, 0u);
    const size_t at = static_cast<unsigned char>(file[file.size() - 4]);
    EXPECT_TRUE(at >= exe.size() && at < exe.size() + 8) << at;
    EXPECT_EQ(file.substr(exe.size(), at - exe.size()), std::string(at - exe.size(), '\0'));

    // Executables of every length modulo 8, long enough that the offset takes three bytes.
    const std::string plain = writer::buildPlainRecord(description);
    for (size_t extra = 0; extra < 8; ++extra) {
        const std::string longer(0x12340 + extra, 'x');
        const std::string appended = writer::appendRecord(longer, writer::wrapRecord(plain, {1, 2}, {3, 4}));
        EXPECT_EQ(appended.size() % 8, 0u) << extra;
        const size_t n = appended.size();
        const size_t offset = static_cast<unsigned char>(appended[n - 4]) | static_cast<unsigned char>(appended[n - 3]) << 8 |
                              static_cast<unsigned char>(appended[n - 2]) << 16 | static_cast<unsigned char>(appended[n - 1]) << 24;
        EXPECT_TRUE(offset >= longer.size() && offset < longer.size() + 8) << extra << " " << offset;
        EXPECT_EQ(unwrapFromExecutable(appended), plain) << extra;
    }

    PlainRecord record;
    ASSERT_TRUE(parsePlainRecord(TextBuffer(unwrapFromExecutable(file)), record));
    EXPECT_EQ(record.strings.language(), 3);
    EXPECT_EQ(record.strings.lookup(4).str(), "The shared file\r\n%s\r\nis no longer used.");
    const ProductLine line = readProductLine(record.body);
    EXPECT_EQ(line.name.str(), "Tessory");
    EXPECT_EQ(line.runCode.str(), "7");
    EXPECT_EQ(line.command.str(), "C:\\check.EXE");
    const Sections s = splitSections(record.body);
    EXPECT_EQ(s.shared.str(), "C:\\Windows\\System32\\tsrctl.ocx|CTRL\r\n");
    EXPECT_EQ(s.backups.str(), "C:\\Program Files\\T\\b.dll\tC:\\Windows\\b.dll\t393216\t0\t-1\t7\r\n");
    EXPECT_EQ(s.files.str(), "C:\\Program Files\\T\\Tessory.exe\r\n");
    EXPECT_EQ(s.directories.str(), "C:\\Program Files\\T\r\n");

    writer::RegistryTree expected;
    expected.key("HKCR\\Folder\\shell\\Print listing with Tessory", 1);
    expected.key("HKCU\\Software\\Ombrel", 5).value("Browser", 1);
    EXPECT_EQ(s.registry.str(), expected.encode());
}

// A key `levels` deep below HKCU.
std::string deepKey(int levels) {
    std::string line = "key 1 HKCU";
    for (int i = 0; i < levels; ++i) line += "\\k";
    return line + "\n";
}

TEST(RecordWriterDescription, ErrorsNameTheLine) {
    // The last ones are accepted by the syntax but would be misread by the uninstaller.
    const std::string bad[] = {"language x\n", "key 1 HKXX\\Software\n", "backup a|b|c\n", "frobnicate 1\n",
                               "template /no/such/file\n", "backup C:\\b|C:\\t|0x10|0|0|0\n",
                               "backup C:\\b|C:\\t|1|2|3|4 5\n", "value 1 Orphan\n", "file C:\\My Files:\n",
                               "command check.exe Registry:\n", std::string("file C:\\a\0b\n", 11), "directory C:\n",
                               "product A\\B\n", "product " + std::string(242, 'p') + "\n",
                               // Refused because the reader would misread them.
                               "backup |C:\\t|0|0|0|0\n", "shared C:\\a|b.dll|CTRL\n",
                               "backup C:\\b|C:\\t|4294967296|0|0|0\n", "backup C:\\b|C:\\t|-2147483649|0|0|0\n",
                               "language 4294967296\n", "string 0x100000000 x\n", "key 0x100000001 HKCU\\S\n",
                               "headerbyte 256\n", "header maybe\n", deepKey(512), "language\n", "headerbyte x\n",
                               "backup C:\\b|C:\\t|-|0|0|0\n", "backup C:\\b|C:\\t|0|0|0|0|0\n",
                               "backup C:\\b\tx|C:\\t|0|0|0|0\n", std::string("backup C:\\b\0|C:\\t|0|0|0|0\n", 26),
                               "shared C:\\a Files:\n", "shared C:\\a||b\n", "file ab\n",
                               std::string("product A\0B\n", 12), std::string("runcode 7\0\n", 11),
                               std::string("key 1 HKCU\\A\0\n", 14)};
    for (const std::string& text : bad) {
        writer::RecordDescription d;
        std::string error;
        EXPECT_FALSE(writer::parseDescription("# first\n" + text, "", d, error)) << text;
        EXPECT_EQ(error.rfind("line 2:", 0), 0u) << error;
    }
    // Messages whole: the field counted from 1, a section marker named colon and all.
    const std::pair<std::string, std::string> messages[] = {
        {"backup C:\\b|C:\\t\tx|0|0|0|0", "backup field 2 contains a TAB"},
        {"backup C:\\b|C:\\t|0|x|0|0", "backup field 4 (x) is not a decimal number of 32 bits"},
        {"product A\\B", "product contains \"\\\", which the single-instance mutex name cannot carry"},
        {"shared a|b|c", "shared path contains \"|\"; the uninstaller cuts the path at the first one"},
        {"key 1 HKCU\\S\nvalue 1 v" + std::string(1, '\0'), "value contains a NUL byte"},
        {"file C:\\a Shared:", "file would end its section: contains the marker Shared:"},
        {"file C:\\a Backups:", "file would end its section: contains the marker Backups:"},
        {"file C:\\a Files:", "file would end its section: contains the marker Files:"},
        {"file C:\\a Directories:", "file would end its section: contains the marker Directories:"},
        {"file C:\\a Registry:", "file would end its section: contains the marker Registry:"},
    };
    for (const auto& [text, message] : messages) {
        writer::RecordDescription d;
        std::string error;
        EXPECT_FALSE(writer::parseDescription(text + "\n", "", d, error)) << text;
        const std::string line = text.find('\n') == std::string::npos ? "line 1: " : "line 2: ";
        EXPECT_EQ(error, line + message);
    }
}

// The tree as the API builds it: a value goes to the last key named, by its own path, and to
// none when there is none (no key yet, or a key of no known root).
TEST(RecordWriterRegistryTree, ValuesGoToTheLastKeyNamed) {
    writer::RegistryTree tree, expected;
    tree.value("early", 1);
    tree.key("HKCU\\HKCU\\A", 2).key("HKCU\\A", 3).value("v", 1).key("HKXX\\B", 4).value("lost", 1);
    EXPECT_EQ(tree.encode(), expected.key("HKCU\\HKCU\\A", 2).key("HKCU\\A", 3).value("v", 1).encode());
    EXPECT_EQ(writer::be32(0x12345678), std::string("\x12\x34\x56\x78", 4));
    EXPECT_EQ(writer::be32(0xFEDCBA98), std::string("\xFE\xDC\xBA\x98", 4));
    EXPECT_TRUE(writer::RegistryTree().empty());
}

TEST(RecordWriterDescription, AcceptsWhatTheReaderReadsBack) {
    writer::RecordDescription d;
    std::string error;
    ASSERT_TRUE(writer::parseDescription("header on\nproduct " + std::string(241, 'p') + "\nfile C:\\Files\\a\n"
                                         "shared C:\\s.ocx|ctrl\nlanguage 4294967295\n"
                                         "backup C:\\b|C:\\t|-1|+2|3|4294967295\n" + deepKey(511) + "value 1 v\n",
                                         "", d, error))
        << error;
    PlainRecord record;
    ASSERT_TRUE(parsePlainRecord(TextBuffer(writer::buildPlainRecord(d)), record));
    EXPECT_EQ(record.strings.language(), -1);
    EXPECT_EQ(readProductLine(record.body).name.str(), std::string(241, 'p'));
    const Sections s = splitSections(record.body);
    EXPECT_EQ(s.shared.str(), "C:\\s.ocx|ctrl\r\n");
    EXPECT_EQ(s.files.str(), "C:\\Files\\a\r\n");
    BackupLine line;
    int pos = 0;
    ASSERT_TRUE(parseBackupLine(s.backups.readLine(&pos, false), line));
    EXPECT_EQ(line.backup, "C:\\b");
    EXPECT_EQ(line.target, "C:\\t");
    EXPECT_EQ(line.versionMs, 0xFFFFFFFFu);
    EXPECT_EQ(line.versionLs, 2u);
    EXPECT_EQ(line.timeHigh, 3u);
    EXPECT_EQ(line.timeLow, 0xFFFFFFFFu);
}

TEST(RecordWriterDescription, HeaderlessRecordStartsWithTheProduct) {
    writer::RecordDescription d;
    std::string error;
    ASSERT_TRUE(writer::parseDescription("header off\nproduct P\n", "", d, error));
    PlainRecord record;
    ASSERT_TRUE(parsePlainRecord(TextBuffer(writer::buildPlainRecord(d)), record));
    EXPECT_FALSE(record.hasHeader);
    EXPECT_EQ(readProductLine(record.body).name.str(), "P");
    EXPECT_EQ(splitSections(record.body).registry.str(), "");  // no keys: no tree at all
}

// Single lines at the edges of what is accepted, and what each gives.
TEST(RecordWriterDescription, LinesAtTheEdgesOfWhatIsAccepted) {
    const auto parse = [](const std::string& text) {
        writer::RecordDescription d;
        std::string error;
        EXPECT_TRUE(writer::parseDescription(text + "\n", "", d, error)) << text << ": " << error;
        return d;
    };
    EXPECT_EQ(parse("language -2147483648").language, INT32_MIN);
    EXPECT_EQ(parse("language\t5").language, 5);
    EXPECT_EQ(parse("headerbyte 0").headerByte, 0);
    EXPECT_EQ(parse("headerbyte 255").headerByte, 255);
    EXPECT_EQ(parse("file abc").files, std::vector<std::string>{"abc"});
    EXPECT_EQ(parse("directory abc").directories, std::vector<std::string>{"abc"});
    EXPECT_EQ(parse("string 5 \"").strings, (std::vector<std::pair<int32_t, std::string>>{{5, "\""}}));
    EXPECT_EQ(parse("string 5 a\\").strings, (std::vector<std::pair<int32_t, std::string>>{{5, "a\\"}}));
    EXPECT_EQ(parse("command \"\"").command, "");  // no command, as if none were named
    EXPECT_EQ(parse("shared \"\"").shared, std::vector<std::string>{""});  // a line the uninstaller passes over
}

// Files named in a description: relative to its folder unless absolute, read whole (a last
// chunk of one byte too), the later of two templates kept; a file that cannot be written is a
// failure, also when only the close finds out.
TEST(RecordWriterDescription, FilesReadWholeAndWritesThatFail) {
    const std::filesystem::path folder = UniqueTempPath("writer_files");
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(writer::writeFile((folder / "one.bin").string(), "x"));
    ASSERT_TRUE(writer::writeFile((folder / "b.tpl").string(), "second"));
    const std::string big(65537, 'b');
    ASSERT_TRUE(writer::writeFile((folder / "big.bin").string(), big));
    writer::RecordDescription d;
    std::string error;
    ASSERT_TRUE(writer::parseDescription("template " + (folder / "one.bin").string() + "\ntemplate b.tpl\n"
                                         "image 1 one.bin\nimage 2 big.bin\n",
                                         folder.string(), d, error))
        << error;
    EXPECT_EQ(d.windowTemplate, "second");
    ASSERT_EQ(d.images.size(), 2u);
    EXPECT_EQ(d.images[0].second, "x");
    EXPECT_EQ(d.images[1].second, big);
    EXPECT_FALSE(writer::writeFile((folder / "no" / "such").string(), "x"));
    if (std::FILE* full = std::fopen("/dev/full", "wb")) {
        std::fclose(full);
        EXPECT_FALSE(writer::writeFile("/dev/full", "x"));
    }
    std::filesystem::remove_all(folder);
}

void put32(std::string& f, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>(v >> (8 * i));
}

// 0x200 bytes of PE headers as the trailer search reads them: the PE header at 0x40, the file
// header, and an optional header whose security directory names a table at (offset, size).
std::string peHeaders(uint16_t magic, uint32_t directories, uint16_t optionalSize, uint32_t tableAt, uint32_t tableSize,
                      uint32_t peAt = 0x40) {
    std::string f(0x200, '\0');
    f[0] = 'M';
    f[1] = 'Z';
    put32(f, 0x3C, peAt);
    f.replace(0x40, 4, "PE\0\0", 4);
    f[0x40 + 4 + 16] = static_cast<char>(optionalSize & 0xFF);
    f[0x40 + 4 + 17] = static_cast<char>(optionalSize >> 8);
    f[0x58] = static_cast<char>(magic & 0xFF);
    f[0x59] = static_cast<char>(magic >> 8);
    const size_t countAt = 0x58 + (magic == 0x20B ? 108 : 92);
    put32(f, countAt, directories);
    put32(f, countAt + 4 + 32, tableAt);
    put32(f, countAt + 4 + 36, tableSize);
    return f;
}

corvel::ReadAt readerOf(const std::string& file) {
    return [&file](uint32_t offset, uint32_t size, unsigned char* out) {
        if (offset > file.size() || size > file.size() - offset) return false;
        std::memcpy(out, file.data() + offset, size);
        return true;
    };
}

// Headers, a 4-byte record at 0x200 with its trailer, then a 16-byte table at 0x208 whose last
// 4 bytes happen to name 0x200 too: a trailer found before the table gives a 4-byte record, the
// file's last 4 bytes a 20-byte one.
TEST(RecordTrailer, BeforeACertificateTableThatEndsTheFileOtherwiseAtTheEnd) {
    struct Row {
        const char* what;
        std::string headers;
        bool found;
        uint32_t length;
        bool isSigned;
    };
    const Row rows[] = {
        {"PE32+ signed", peHeaders(0x20B, 16, 240, 0x208, 16), true, 4, true},
        {"PE32 signed", peHeaders(0x10B, 16, 224, 0x208, 16), true, 4, true},
        {"no table", peHeaders(0x20B, 16, 240, 0, 0), true, 20, false},
        {"table not at the end", peHeaders(0x20B, 16, 240, 0x208, 8), true, 20, true},
        {"one-byte table", peHeaders(0x20B, 16, 240, 0x208, 1), true, 20, true},
        {"table past the end", peHeaders(0x20B, 16, 240, 0x208, 24), true, 20, false},
        {"table offset wraps", peHeaders(0x20B, 16, 240, 0xFFFFFFF0, 0x28), true, 20, false},
        {"four directories", peHeaders(0x20B, 4, 240, 0x208, 16), true, 20, false},
        {"optional header too short", peHeaders(0x20B, 16, 150, 0x208, 16), true, 20, false},
        {"unknown magic", peHeaders(0x999, 16, 240, 0x208, 16), true, 20, false},
        {"PE header past the end", peHeaders(0x20B, 16, 240, 0x208, 16, 0x7FFFFFF0), true, 20, false},
        {"not MZ", "ZM" + peHeaders(0x20B, 16, 240, 0x208, 16).substr(2), true, 20, false},
    };
    for (const Row& row : rows) {
        std::string file = row.headers + "REC!" + std::string("\0\2\0\0", 4) + std::string(12, '\xEE');
        file += std::string("\0\2\0\0", 4);
        StoredRecordPlace place;
        EXPECT_EQ(locateStoredRecord(file.size(), readerOf(file), place), row.found) << row.what;
        EXPECT_EQ(place.offset, 0x200u) << row.what;
        EXPECT_EQ(place.length, row.length) << row.what;
        EXPECT_EQ(writer::isSigned(file), row.isSigned) << row.what;
    }
    // Trailers that name no readable record: too short a file, an offset past the trailer, at the
    // end or before the table.
    std::string pastTheTable = peHeaders(0x20B, 16, 240, 0x200, 16) + std::string(16, '\xEE');
    put32(pastTheTable, 0x1FC, 0x1FD);
    // A table from byte 4 to the end leaves no room for a record before it.
    const std::string tableFromByte4 = peHeaders(0x20B, 16, 240, 4, 0x204) + "REC!" + std::string("\0\2\0\0", 4);
    StoredRecordPlace place;
    for (const std::string& file : {std::string("abc"), std::string("abcd\x05\0\0\0", 8),
                                    pastTheTable, tableFromByte4}) {
        EXPECT_FALSE(locateStoredRecord(file.size(), readerOf(file), place)) << file.size();
    }
}

// The PE headers' checks one at a time, each at its edge: the signatures byte by byte, an optional
// header just long enough or a byte short, a file that ends right after the security entry (a table
// over the whole file) or inside it.
TEST(RecordTrailer, EveryHeaderCheckAtItsEdge) {
    const std::string good = peHeaders(0x20B, 16, 240, 0x208, 16) + std::string(24, '\xEE');
    ASSERT_TRUE(writer::isSigned(good));
    const std::pair<size_t, const char*> patches[] = {{0, "X"}, {1, "X"}, {0x40, "X"}, {0x41, "X"}, {0x42, "\1"},
                                                      {0x43, "\1"}};
    for (const auto& [at, byte] : patches) {
        std::string file = good;
        file[at] = byte[0];
        EXPECT_FALSE(writer::isSigned(file)) << "byte " << at;
    }
    // The security entry ends at byte 144 + 8 of the optional header.
    EXPECT_TRUE(writer::isSigned(peHeaders(0x20B, 16, 152, 0x208, 16) + std::string(24, '\xEE')));
    EXPECT_FALSE(writer::isSigned(peHeaders(0x20B, 16, 151, 0x208, 16) + std::string(24, '\xEE')));
    const size_t entryEnd = 0x40 + 4 + 20 + 144 + 8;
    EXPECT_TRUE(writer::isSigned(peHeaders(0x20B, 16, 240, 0, entryEnd).substr(0, entryEnd)));
    EXPECT_FALSE(writer::isSigned(peHeaders(0x20B, 16, 240, 0, entryEnd).substr(0, entryEnd - 1)));
}

// Trailers at the edges of the file: four bytes of zeros are a trailer naming an empty record at
// 0; a file of 2 GB or more is refused; offsets use all four bytes; a read that fails is no
// trailer.
TEST(RecordTrailer, TrailersAtTheEdgesOfTheFile) {
    StoredRecordPlace place;
    const std::string zeros(4, '\0');
    ASSERT_TRUE(locateStoredRecord(zeros.size(), readerOf(zeros), place));
    EXPECT_EQ(place.offset, 0u);
    EXPECT_EQ(place.length, 0u);
    // A file told to be this large, of zeros but for a trailer that names 16 bytes before it.
    const auto huge = [](uint64_t size) {
        return [size](uint32_t offset, uint32_t count, unsigned char* out) {
            if (offset + uint64_t{count} > size) return false;
            for (uint32_t i = 0; i < count; ++i) {
                const uint64_t at = offset + uint64_t{i}, fromEnd = size - at;
                const uint32_t start = static_cast<uint32_t>(size - 20);
                out[i] = fromEnd <= 4 ? static_cast<unsigned char>(start >> (8 * (4 - fromEnd))) : 0;
            }
            return true;
        };
    };
    ASSERT_TRUE(locateStoredRecord(0x7FFFFFFF, huge(0x7FFFFFFF), place));
    EXPECT_EQ(place.offset, 0x7FFFFFFFu - 20);
    EXPECT_EQ(place.length, 16u);
    EXPECT_FALSE(locateStoredRecord(0x80000000, huge(0x80000000), place));
    ASSERT_TRUE(locateStoredRecord(0x01020304 + 20, huge(0x01020304 + 20), place));
    EXPECT_EQ(place.offset, 0x01020304u);
    EXPECT_FALSE(locateStoredRecord(100, [](uint32_t, uint32_t, unsigned char*) { return false; }, place));
    // A "table" from byte 3 to the end leaves no room for a trailer before it: the file's own end
    // is read instead.
    const std::string fromByte3 = peHeaders(0x20B, 16, 240, 3, 0x205) + "REC!" + std::string("\0\2\0\0", 4);
    ASSERT_TRUE(locateStoredRecord(fromByte3.size(), readerOf(fromByte3), place));
    EXPECT_EQ(place.offset, 0x200u);
    EXPECT_EQ(place.length, 4u);
}

// Every statement the writer knows, in the form and order the dump writes them.
const char kEverySection[] =
    "headerbyte 7\n"
    "language 3\n"
    "string 0 \"%s Uninstall\"\n"
    "string 4 \"The shared file\\n%s\\nis no longer used.\\tC:\\\\x\"\n"
    "string 5 \"\"\n"
    "string 6 \"ends in a line break\\n\"\n"
    "template template.tpl\n"
    "image 1 image-1.bmp\n"
    "image 2 image-2.ico\n"
    "image 3 image-3.bin\n"
    "product \" Tessory \"\n"
    "runcode 7\n"
    "command \"C:\\check.EXE\" /q\n"
    "shared C:\\Windows\\System32\\tsrctl.ocx|CTRL\n"
    "backup C:\\Program Files\\T\\b.dll|C:\\Windows\\b.dll|393216|0|-1|7\n"
    "file C:\\Program Files\\T\\Tessory.exe\n"
    "file C:\\Program Files\\T\\help.chm\n"
    "directory C:\\Program Files\\T\n"
    "key 0x1 HKCR\\Folder\\shell\\Print listing with Tessory\n"
    "key 0x0 HKCU\n"
    "value 1 AtTheRoot\n"
    "key 0x5 HKCU\\Software\\Ombrel\n"
    "value 1 Browser\n"
    "value 0 \"Kept \"\n"
    "key 0x2 HKLM\\Software\\Ombrel\n"
    "key 0xC HKLM\\Software\\Ombrel\\Tessory\n"
    "key 0x0 HKU\\.DEFAULT\\Leaf\n";

TEST(RecordDump, DescriptionAppendedAndDumpedComesBackAsWritten) {
    const std::filesystem::path folder = UniqueTempPath("dump_test");
    std::filesystem::create_directories(folder);
    const std::string files[][2] = {{"template.tpl", "RTT template bytes"}, {"image-1.bmp", "BM bitmap"},
                                    {"image-2.ico", std::string("\0\0\1\0icon", 8)},
                                    {"image-3.bin", std::string("\5\0\1\0raw", 7)}};  // neither
    for (const auto& f : files) ASSERT_TRUE(writer::writeFile((folder / f[0]).string(), f[1]));
    for (const std::string& text : {std::string(kEverySection), std::string("header off\nproduct P\nfile C:\\abc\n")}) {
        writer::RecordDescription description;
        std::string error;
        ASSERT_TRUE(writer::parseDescription(text, folder.string(), description, error)) << error;
        const std::string file = writer::appendRecord(
            "MZ fake executable", writer::wrapRecord(writer::buildPlainRecord(description), {3, 4}, {5, 6}));
        writer::RecordDump dump;
        ASSERT_EQ(writer::dumpRecord(file, dump), writer::DumpResult::kOk);
        EXPECT_EQ(dump.description, text);
        EXPECT_TRUE(dump.warnings.empty());
        if (text == kEverySection) {
            ASSERT_EQ(dump.files.size(), 4u);
            for (int i = 0; i < 4; ++i) EXPECT_EQ(dump.files[i], std::make_pair(files[i][0], files[i][1]));
        }

        std::string changed = file;
        changed[changed.size() - 10] ^= 1;
        EXPECT_EQ(writer::dumpRecord(changed, dump), writer::DumpResult::kCorrupt);
    }
    std::filesystem::remove_all(folder);
    writer::RecordDump dump;
    // A registry tree cut before the last number, that of the last root's subkeys: shown up to
    // there, with a warning.
    writer::RecordDescription cutTree;
    std::string error;
    ASSERT_TRUE(writer::parseDescription("header off\nproduct P\nkey 0x1 HKCU\\S\n", "", cutTree, error)) << error;
    std::string plain = writer::buildPlainRecord(cutTree);
    plain.resize(plain.size() - 4);
    ASSERT_EQ(writer::dumpRecord(writer::appendRecord("MZ", writer::wrapRecord(plain, {1, 2}, {3, 4})), dump),
              writer::DumpResult::kOk);
    EXPECT_EQ(dump.description, "header off\nproduct P\nkey 0x1 HKCU\\S\n");
    EXPECT_EQ(dump.warnings, std::vector<std::string>{"the registry tree ends early; the keys after that point are not shown"});
    // A lone CR in a text has no written form: shown as a line break, with a warning.
    writer::RecordDescription loneCr;
    loneCr.product = "P";
    loneCr.strings = {{0, "a\rb"}};
    ASSERT_EQ(writer::dumpRecord(writer::appendRecord("MZ", writer::wrapRecord(writer::buildPlainRecord(loneCr), {1, 2}, {3, 4})),
                                 dump),
              writer::DumpResult::kOk);
    EXPECT_NE(dump.description.find("string 0 \"a\\nb\"\n"), std::string::npos) << dump.description;
    EXPECT_FALSE(dump.warnings.empty());
    // The shortest record there is: two bytes of body, no header.
    ASSERT_EQ(writer::dumpRecord(writer::appendRecord("MZ", writer::wrapRecord("P\n", {1, 2}, {3, 4})), dump),
              writer::DumpResult::kOk);
    EXPECT_EQ(dump.description.rfind("header off\nproduct P\n", 0), 0u) << dump.description;
    EXPECT_EQ(writer::dumpRecord(std::string("MZ no record") + std::string(4, '\0'), dump), writer::DumpResult::kNoRecord);
    EXPECT_EQ(writer::dumpRecord("MZ\xF0\xFF\xFF\x7F", dump), writer::DumpResult::kNoRecord);
}

writer::RecordDump dumpOf(const std::string& plain) {
    writer::RecordDump dump;
    EXPECT_EQ(writer::dumpRecord(writer::appendRecord("MZ", writer::wrapRecord(plain, {1, 2}, {3, 4})), dump),
              writer::DumpResult::kOk);
    return dump;
}

// Values quoted exactly when the description would otherwise trim or unquote them, images named
// by their first bytes, empty lines skipped as the uninstaller skips them, and trees nested too
// deep or cut inside a key or a value.
TEST(RecordDump, ValuesImagesLinesAndTreesAtTheirEdges) {
    for (const char* text : {"product \"\tP\"\nfile \"C:\\a\t\"\n", "product \"\n", "product \"\"\"\"\n",
                             "product \"\"a\"\"\n", "product P\nfile C:\\a\"\nfile a\rbc\n"}) {
        writer::RecordDescription d;
        std::string error;
        ASSERT_TRUE(writer::parseDescription(std::string("header off\n") + text, "", d, error)) << error;
        EXPECT_EQ(dumpOf(writer::buildPlainRecord(d)).description, std::string("header off\n") + text);
    }

    writer::RecordDescription imaged;
    imaged.product = "M";  // the byte after the last image, "B": no bitmap
    imaged.files = {"", "abc"};
    const std::pair<std::string, const char*> images[] = {
        {"BM", "image-0.bmp"}, {"Bx", "image-1.bin"}, {"xM", "image-2.bin"},
        {std::string("\0\0\1\0", 4), "image-3.ico"}, {std::string("\0\0\1", 3), "image-4.bin"},
        {std::string("\0\1\1\0", 4), "image-5.bin"}, {"B", "image-6.bin"}};
    for (int i = 0; i < 7; ++i) imaged.images.emplace_back(i, images[i].first);
    const writer::RecordDump dump = dumpOf(writer::buildPlainRecord(imaged));
    ASSERT_EQ(dump.files.size(), 7u);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(dump.files[i].first, images[i].second);
    EXPECT_NE(dump.description.find("product M\nfile abc\n"), std::string::npos) << dump.description;

    for (int levels : {512, 513}) {
        writer::RecordDescription deep;
        deep.withHeader = false;
        deep.product = "P";
        std::string path = "HKCU";
        for (int i = 0; i < levels; ++i) path += "\\k";
        deep.registry.key(path, 1);
        const writer::RecordDump dumped = dumpOf(writer::buildPlainRecord(deep));
        EXPECT_EQ(dumped.warnings.empty(), levels == 512) << levels;
        EXPECT_EQ(dumped.description.find("key 0x1 " + path + "\n") != std::string::npos, levels == 512) << levels;
    }
    // A value goes to the key last named by its whole path, not to a namesake of its root below it.
    writer::RecordDescription nested;
    nested.withHeader = false;
    nested.product = "P";
    nested.registry.key("HKCU\\HKCU\\A", 2).key("HKCU\\A", 3).value("v", 1);
    EXPECT_EQ(dumpOf(writer::buildPlainRecord(nested)).description,
              "header off\nproduct P\nkey 0x2 HKCU\\HKCU\\A\nkey 0x3 HKCU\\A\nvalue 1 v\n");
    // A subkey of the last root cut before its name: nothing after it could report the end.
    writer::RecordDescription lastRoot;
    lastRoot.withHeader = false;
    lastRoot.product = "P";
    lastRoot.registry.key("HKU\\S", 1);
    const std::string lastPlain = writer::buildPlainRecord(lastRoot);
    EXPECT_EQ(dumpOf(lastPlain.substr(0, lastPlain.find(std::string("S\0", 2)))).warnings.size(), 1u);
    // A record of one byte is corrupt, as the uninstaller takes it.
    writer::RecordDump oneByte;
    EXPECT_EQ(writer::dumpRecord(writer::appendRecord("MZ", writer::wrapRecord("P", {1, 2}, {3, 4})), oneByte),
              writer::DumpResult::kCorrupt);
    // Cut after a subkey's name (its count of values missing), and after a value's name.
    writer::RecordDescription cut;
    cut.withHeader = false;
    cut.product = "P";
    cut.registry.key("HKCU\\S", 1).value("v", 1);
    const std::string plain = writer::buildPlainRecord(cut);
    const size_t afterSubkeyName = plain.find(std::string("S\0", 2)) + 2, afterValueName = plain.find(std::string("v\0", 2)) + 2;
    for (size_t length : {afterSubkeyName, afterValueName}) {
        EXPECT_EQ(dumpOf(plain.substr(0, length)).warnings,
                  std::vector<std::string>{"the registry tree ends early; the keys after that point are not shown"})
            << length;
    }
}

}  // namespace
