#include <gtest/gtest.h>

#include "PointerList.h"
#include "TextBuffer.h"
#include "UniqueTempPath.h"

using corvel::PointerList;
using corvel::TextBuffer;

namespace {

std::vector<std::string> lines(const TextBuffer& text) {
    std::vector<std::string> out;
    int pos = 0;
    while (text.validPosition(pos)) out.push_back(text.readLine(&pos, true).str());
    return out;
}

TEST(TextBufferLines, FinalLineBreakGivesNoEmptyLine) {
    TextBuffer text("a\r\n\r\nb\r\n");
    EXPECT_EQ(lines(text), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(lines(TextBuffer("a\r\nb")), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(lines(TextBuffer("\r\n")), (std::vector<std::string>{""}));
}

TEST(TextBufferLines, RawKeepsNulsOtherwiseCut) {
    TextBuffer text(std::string("ab\0cd\r\nx", 8));
    int pos = 0;
    EXPECT_EQ(text.readLine(&pos, true).str(), std::string("ab\0cd", 5));
    pos = 0;
    EXPECT_EQ(text.readLine(&pos, false).str(), "ab");
    EXPECT_EQ(pos, 7);
}

TEST(TextBufferLines, BadPositions) {
    TextBuffer text("abc");
    int pos = 3;
    EXPECT_EQ(text.readLine(&pos, false).str(), "Out of bounds");
    pos = -1;
    EXPECT_EQ(text.readLine(&pos, false).str(), "Out of bounds");
    EXPECT_EQ(text.readLine(nullptr, false).str(), "Invalid param");
}

TEST(TextBufferNumbers, BigEndianAndShortReads) {
    TextBuffer text(std::string("\x01\x02\x03\x04\xff", 5));
    EXPECT_EQ(text.u32At(0), 0x01020304);
    EXPECT_EQ(text.u16At(3), 0x04ff);
    EXPECT_EQ(text.u32At(2), -1);
    EXPECT_EQ(text.u16At(4), -1);
    EXPECT_EQ(text.byteAt(4), 0xff);
    EXPECT_EQ(text.byteAt(5), 0xff);
    EXPECT_EQ(text.byteAt(-1), 0xff);
}

TEST(TextBufferSearch, ForwardsBackwardsAndCase) {
    TextBuffer abc("abc");
    EXPECT_EQ(abc.find("B", 0, true), 1);
    EXPECT_EQ(abc.find("B", 0, false), -1);
    EXPECT_EQ(abc.find("", 0, false), -1);
    EXPECT_EQ(abc.find("bc", 2, false), -1);
    EXPECT_EQ(abc.find('c', 3), -1);
    TextBuffer path("C:\\X\\Y");
    EXPECT_EQ(path.findBackwards("\\", 0, false), 4);
    EXPECT_EQ(path.findBackwards("\\", 3, false), 2);
    EXPECT_EQ(path.findBackwards("\\", 6, false), -1);
    EXPECT_TRUE(TextBuffer("\xe4x").equals("\xc4X", true));
    EXPECT_FALSE(TextBuffer("ab").equals("abc", true));
}

TEST(TextBufferEdit, RangesPastTheEndChangeNothing) {
    TextBuffer text("abcdef");
    EXPECT_EQ(text.substr(2, 10).str(), "abcdef");
    EXPECT_EQ(text.substr(2, 3).str(), "cde");
    text.remove(4, 3);
    EXPECT_EQ(text.str(), "abcdef");
    text.insert(7, "x");
    EXPECT_EQ(text.str(), "abcdef");
    text.insert(6, "xy", 1);
    EXPECT_EQ(text.str(), "abcdefx");
    text.remove(0, 2);
    EXPECT_EQ(text.str(), "cdefx");
    TextBuffer many("aXbxcx");
    EXPECT_EQ(many.removeAll("x", 0, 2, true), 2);
    EXPECT_EQ(many.str(), "abcx");
}

// Every search and edit at the edges of its range: a negative start, the start itself, a match
// at 0 seen backwards, one-byte texts, empty and negative counts.
TEST(TextBufferEdges, SearchesAndEditsAtTheirBounds) {
    const TextBuffer abca("abca");
    EXPECT_EQ(abca.u16At(0), ('a' << 8) | 'b');
    EXPECT_EQ(abca.u16At(2), ('c' << 8) | 'a');
    EXPECT_EQ(abca.find('a', -5), 0);
    EXPECT_EQ(abca.find("a", -5, false), 0);
    EXPECT_EQ(abca.find('a', 1), 3);
    EXPECT_EQ(TextBuffer("abc").findBackwards("abc", 0, false), 0);
    EXPECT_EQ(TextBuffer("abcx").findBackwards("abc", 0, false), 0);
    EXPECT_FALSE(TextBuffer("a").equals("b", false));
    EXPECT_EQ(abca.substr(1, 0).str(), "");
    EXPECT_EQ(abca.substr(4, 0).str(), "");
    EXPECT_EQ(abca.substr(1, 3).str(), "bca");
    EXPECT_EQ(abca.substr(-1, 1).str(), "abca");
    EXPECT_EQ(abca.substr(1, -1).str(), "abca");
    TextBuffer text("abc");
    text.remove(-1, 1);
    text.remove(1, -1);
    EXPECT_EQ(text.str(), "abc");
    text.insert(-1, "x");
    text.insert(0, "xy", 0);
    EXPECT_EQ(text.str(), "abc");
    text.insert(0, "x");
    EXPECT_EQ(text.str(), "xabc");
    int pos = 0;
    EXPECT_EQ(TextBuffer("a\rb\r\nc").readLine(&pos, true).str(), "a\rb");
    EXPECT_TRUE(TextBuffer("abc", -1).empty());
    EXPECT_TRUE(TextBuffer("a") != TextBuffer("b"));
    EXPECT_FALSE(TextBuffer("a") != TextBuffer("a"));
    TextBuffer none;
    none.append("xy", 0);
    EXPECT_EQ(none.str(), "");
    TextBuffer first("%s!");
    EXPECT_TRUE(corvel::substituteFirst(first, "x"));
    EXPECT_EQ(first.str(), "x!");
}

TEST(TextBufferEdit, UpperCaseFoldsThreeExtraLetters) {
    TextBuffer text("\xe4\xf6-z\xe9\xe5");
    text.upperCase();
    EXPECT_EQ(text.str(), "\xc4\xd6-Z\xe9\xc5");
}

TEST(TextBufferEdit, SubstituteFirstOnly) {
    TextBuffer text("Remove %s and %s?");
    EXPECT_TRUE(corvel::substituteFirst(text, "A"));
    EXPECT_EQ(text.str(), "Remove A and %s?");
    TextBuffer none("plain");
    EXPECT_FALSE(corvel::substituteFirst(none, "A"));
}

TEST(TextBufferFile, LoadAndSaveResults) {
    const std::string path = UniqueTempPath("corvel_tb.bin");
    TextBuffer data(std::string("0123456789", 10));
    ASSERT_EQ(data.saveFile(path.c_str()), 1);
    TextBuffer back;
    EXPECT_EQ(back.loadFile(path.c_str(), 6, 0), 1);
    EXPECT_EQ(back.str(), "6789");
    EXPECT_EQ(back.loadFile(path.c_str(), 2, 3), 1);
    EXPECT_EQ(back.str(), "234");
    EXPECT_EQ(back.loadFile(path.c_str(), 10, 0), -2);
    EXPECT_EQ(back.loadFile((path + ".missing").c_str(), 0, 0), -3);
    EXPECT_EQ(data.saveFile((testing::TempDir() + "no/such/dir/x").c_str()), -3);
    // The write is buffered and accepted; only the close finds the disk full.
    EXPECT_EQ(data.saveFile("/dev/full"), -2);
    // One byte; a bound of one byte; more than one chunk of 64 KB.
    ASSERT_EQ(TextBuffer("z").saveFile(path.c_str()), 1);
    EXPECT_EQ(back.loadFile(path.c_str()), 1);
    EXPECT_EQ(back.str(), "z");
    ASSERT_EQ(data.saveFile(path.c_str()), 1);
    EXPECT_EQ(back.loadFile(path.c_str(), 0, 1), 1);
    EXPECT_EQ(back.str(), "0");
    const std::string big(70000, 'b');
    ASSERT_EQ(TextBuffer(big).saveFile(path.c_str()), 1);
    EXPECT_EQ(back.loadFile(path.c_str()), 1);
    EXPECT_EQ(back.length(), 70000);
    std::remove(path.c_str());
}

TEST(PointerListTest, AddMoveRemove) {
    int a, b, c;
    PointerList list;
    EXPECT_EQ(list.add(&a), 1);
    EXPECT_EQ(list.add(&a), -1);
    EXPECT_EQ(list.add(&b), 1);
    EXPECT_EQ(list.add(&c, 0), 1);
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.at(0), &c);
    EXPECT_EQ(list.at(3), nullptr);
    EXPECT_TRUE(list.move(0, 2));
    EXPECT_EQ(list.indexOf(&c), 2);
    EXPECT_EQ(list.indexOf(&a), 0);
    EXPECT_EQ(list.remove(&a), 1);
    EXPECT_EQ(list.remove(&a), -1);
    EXPECT_EQ(list.at(0), &b);
    EXPECT_EQ(list.at(2), nullptr);  // where &c stood before the removal
    EXPECT_EQ(list.at(-1), nullptr);
    for (const auto& [from, to] : {std::pair{2, 0}, {0, 2}, {-1, 0}, {0, -1}}) {
        EXPECT_FALSE(list.move(from, to)) << from << " " << to;
    }
    EXPECT_EQ(list.indexOf(&b), 0);
    EXPECT_EQ(list.indexOf(&c), 1);
    // Put at the last place but one: before the last item.
    int d;
    EXPECT_EQ(list.add(&d, 1), 1);
    EXPECT_EQ(list.at(1), &d);
    EXPECT_EQ(list.at(2), &c);
}

}  // namespace
