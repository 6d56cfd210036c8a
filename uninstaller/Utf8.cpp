#include "Utf8.h"

namespace corvel {

std::u16string utf8ToUtf16(const char* text, int length) {
    std::u16string out;
    if (!text) return out;
    auto at = [&](int i) -> int {
        if (length >= 0 && i >= length) return 0;
        return static_cast<unsigned char>(text[i]);
    };
    int i = 0;
    for (;;) {
        const int c = at(i);
        if (c == 0) break;
        if (c < 0x80) {
            out.push_back(static_cast<char16_t>(c));
            ++i;
            continue;
        }
        int follow;
        unsigned value;
        if ((c & 0xE0) == 0xC0) {
            follow = 1;
            value = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            follow = 2;
            value = c & 0x0F;
        } else {
            return {};
        }
        for (int k = 1; k <= follow; ++k) {
            const int cont = at(i + k);
            if (cont < 0x80) return {};
            value = (value << 6) | (cont & 0x3F);
        }
        if (follow == 1 && value < 0x80) return {};
        if (follow == 2 && value < 0x800) return {};
        if ((value >= 0xD800 && value <= 0xDFFF) || value == 0xFFFE || value == 0xFFFF) return {};
        out.push_back(static_cast<char16_t>(value));
        i += follow + 1;
    }
    return out;
}

std::string utf16ToUtf8(const std::u16string& text) {
    std::string out;
    for (char16_t u : text) {
        const unsigned v = u;
        if (v < 0x80) {
            out.push_back(static_cast<char>(v));
        } else if (v < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (v >> 6)));
            out.push_back(static_cast<char>(0x80 | (v & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (v >> 12)));
            out.push_back(static_cast<char>(0x80 | ((v >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (v & 0x3F)));
        }
    }
    return out;
}

}  // namespace corvel
