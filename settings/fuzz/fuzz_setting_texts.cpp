#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/encodings.h"

// Stored texts come from a user-editable store: every reader must take any text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    tessory::UserLocale locale;
    if (size > 0) {
        locale.dateOrder = static_cast<tessory::DateOrder>(data[0] % 3);
        locale.decimalSeparator = data[0] & 4 ? ',' : '.';
        locale.groupSeparator = data[0] & 8 ? "\xE2\x80\xAF" : data[0] & 4 ? "." : ",";
    }
    if (auto value = tessory::ParseDateTime(text, locale)) {
        auto again = tessory::ParseDateTime(tessory::GeneralDateTimeText(*value, locale), locale);
        if (!again || *again != *value) __builtin_trap();
    }
    tessory::ParseDecimal(text, locale);
    tessory::ParseUserNumber(text, locale);
    tessory::ParseFontSize(text, locale);
    tessory::ParseColour(text);
    tessory::LeadingNumber(text);
    tessory::ReadFlag(text);
    return 0;
}
