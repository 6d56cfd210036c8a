#include <gtest/gtest.h>

#include "Utf8.h"

using corvel::utf16ToUtf8;
using corvel::utf8ToUtf16;

namespace {

struct InvalidCase {
    const char* bytes;
    const char* why;
};

class Utf8Invalid : public testing::TestWithParam<InvalidCase> {};

TEST_P(Utf8Invalid, GivesEmptyText) {
    EXPECT_TRUE(utf8ToUtf16(GetParam().bytes).empty()) << GetParam().why;
}

INSTANTIATE_TEST_SUITE_P(Forms, Utf8Invalid,
                         testing::Values(InvalidCase{"a\xc0\x80", "overlong NUL"},
                                         InvalidCase{"\xe0\x9f\xbf", "overlong 3-byte"},
                                         InvalidCase{"\xf0\x9f\x98\x80", "4-byte form"},
                                         InvalidCase{"\xed\xa0\x80", "surrogate"},
                                         InvalidCase{"\xed\xbf\xbf", "lone U+DFFF, the last surrogate"},
                                         InvalidCase{"\xef\xbf\xbe", "U+FFFE"},
                                         InvalidCase{"\xef\xbf\xbf", "U+FFFF"},
                                         InvalidCase{"x\x80", "stray continuation"},
                                         InvalidCase{"\xc3", "cut short"},
                                         InvalidCase{"\xe2\x82z", "ASCII in continuation"},
                                         InvalidCase{"\xc3\x7f", "DEL in continuation"},
                                         InvalidCase{"\xc1\xbf", "overlong DEL"}));

TEST(Utf8, DecodesUpToLengthOrNul) {
    EXPECT_EQ(utf8ToUtf16("A\xc3\xa4\xe2\x82\xac"), (std::u16string{u'A', 0xE4, 0x20AC}));
    EXPECT_EQ(utf8ToUtf16("abc", 2), u"ab");
    EXPECT_EQ(utf8ToUtf16("abc", 0), u"");
    // Beside the surrogates: the last character before them and the first after.
    EXPECT_EQ(utf8ToUtf16("\xed\x9f\xbf\xee\x80\x80"), (std::u16string{0xD7FF, 0xE000}));
    EXPECT_TRUE(utf8ToUtf16("\xc3\xa4", 1).empty());
    EXPECT_EQ(utf8ToUtf16(std::string("a\0b", 3)), u"a");
}

TEST(Utf8, EncodesEachUnitRoundTrip) {
    const std::u16string text{u'z', 0x7F, 0x80, 0x7FF, 0x800, 0xFFFD};
    EXPECT_EQ(utf16ToUtf8(text), "z\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbd");
    EXPECT_EQ(utf8ToUtf16(utf16ToUtf8(text)), text);
}

}  // namespace
