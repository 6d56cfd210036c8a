#include "case_mapping.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace tessory {
namespace {

struct Folding {
    std::uint32_t code;
    std::uint32_t folded;
};

constexpr Folding kFoldings[] = {
#include "case_folding_table.inc"
};

char32_t Fold(char32_t c) {
    if (c < 0x80) return (c >= U'A' && c <= U'Z') ? c + 32 : c;
    const Folding* found = std::lower_bound(std::begin(kFoldings), std::end(kFoldings), c,
                                            [](const Folding& f, char32_t code) { return f.code < code; });
    return (found != std::end(kFoldings) && found->code == c) ? found->folded : c;
}

}  // namespace

void LowerCodePoints(std::u32string& text) {
    for (char32_t& c : text) c = Fold(c);
}

}  // namespace tessory
