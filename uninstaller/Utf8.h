#pragma once
// UTF-8 as the record stores its texts. Decoding accepts only 1- to 3-byte forms of
// characters in the Basic Multilingual Plane; anything else makes the whole text invalid,
// and an invalid text converts to the empty text.
#include <string>

namespace corvel {

// Stops at the first NUL or after `length` bytes (length < 0: at the NUL).
std::u16string utf8ToUtf16(const char* text, int length = -1);
inline std::u16string utf8ToUtf16(const std::string& text) {
    return utf8ToUtf16(text.data(), static_cast<int>(text.size()));
}
// Each 16-bit unit is encoded by itself (1, 2 or 3 bytes).
std::string utf16ToUtf8(const std::u16string& text);

}  // namespace corvel
