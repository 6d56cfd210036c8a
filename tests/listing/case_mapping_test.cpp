#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>
#include <string>

#include "listing/case_mapping.h"

namespace tessory {
namespace {

// The folding table against the C library's own case data: every BMP code point folds to one of
// its case partners there, and all partners fold alike. Dotted capital I and dotless small i are
// left apart on purpose: simple folding joins them with nothing outside Turkic languages.
TEST(CaseMappingTest, FoldsEveryBmpCodePointLikeItsCasePartners) {
    std::string previous = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    auto fold = [](char32_t c) {
        std::u32string text(1, c);
        LowerCodePoints(text);
        return text[0];
    };
    int mismatches = 0;
    for (char32_t c = 0; c <= 0xFFFF && mismatches < 10; ++c) {
        if ((c >= 0xD800 && c <= 0xDFFF) || c == 0x130 || c == 0x131) continue;
        char32_t lower = std::towlower(c), upper = std::towupper(c), upperLower = std::towlower(upper);
        char32_t folded = fold(c);
        bool partner = folded == c || folded == lower || folded == upper || folded == upperLower;
        if (!partner || fold(lower) != folded || fold(upper) != folded) {
            ++mismatches;
            ADD_FAILURE() << std::hex << "U+" << static_cast<unsigned>(c) << " folds to U+" << static_cast<unsigned>(folded);
        }
    }
    std::setlocale(LC_CTYPE, previous.c_str());
    EXPECT_EQ(fold(0x130), 0x130u);
    EXPECT_EQ(fold(0x10400), 0x10428u);  // beyond the BMP too
}

}  // namespace
}  // namespace tessory
