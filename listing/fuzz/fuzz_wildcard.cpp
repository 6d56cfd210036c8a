#include <cstddef>
#include <cstdint>
#include <string_view>

#include "listing/wildcard.h"

// Input: pattern list, a NUL byte, then the text to match.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t split = input.find('\0');
    std::string_view patterns = input.substr(0, split);
    std::string_view text = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    tessory::PatternList list(patterns);
    list.FirstMatch(tessory::LowerText(text));
    return 0;
}
