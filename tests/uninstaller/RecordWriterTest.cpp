// The writer and the reader meet: a description written, wrapped, appended, read back.
#include <gtest/gtest.h>

#include "RecordFormat.h"
#include "Removal.h"
#include "RecordWriter.h"

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
                               "headerbyte 256\n", deepKey(512)};
    for (const std::string& text : bad) {
        writer::RecordDescription d;
        std::string error;
        EXPECT_FALSE(writer::parseDescription("# first\n" + text, "", d, error)) << text;
        EXPECT_EQ(error.rfind("line 2:", 0), 0u) << error;
    }
}

TEST(RecordWriterDescription, AcceptsWhatTheReaderReadsBack) {
    writer::RecordDescription d;
    std::string error;
    ASSERT_TRUE(writer::parseDescription("product " + std::string(241, 'p') + "\nfile C:\\Files\\a\n"
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
}

}  // namespace
