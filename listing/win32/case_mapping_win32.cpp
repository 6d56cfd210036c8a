#include "listing/case_mapping.h"

#include <windows.h>

#include <string>

namespace tessory {

// One CharLowerBuffW call per text: code points above the BMP travel as surrogate pairs, and the
// result is read back in the shape the text went in, since the call keeps every unit in place.
// Values beyond U+10FFFF have no UTF-16 form and stay as they are.
void LowerCodePoints(std::u32string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (char32_t c : text) {
        if (c > 0x10FFFF) continue;
        if (c > 0xFFFF) {
            c -= 0x10000;
            wide.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
            wide.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
        } else {
            wide.push_back(static_cast<wchar_t>(c));
        }
    }
    if (wide.empty()) return;
    CharLowerBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    size_t unit = 0;
    for (char32_t& c : text) {
        if (c > 0x10FFFF) continue;
        if (c > 0xFFFF) {
            char32_t high = wide[unit], low = wide[unit + 1];
            if (high >= 0xD800 && high <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF)
                c = 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
            unit += 2;
        } else {
            c = wide[unit++];
        }
    }
}

}  // namespace tessory
