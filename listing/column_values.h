#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "listing_settings.h"
#include "platform/date_time.h"

namespace tessory {

// Two upper-case hexadecimal digits of a byte.
std::string HexByte(int value);
// "#RRGGBB" of a 0x00BBGGRR colour; the highest byte is ignored.
std::string HtmlColour(std::int32_t colour);

// Size cell: bytes, KB, MB, or a unit chosen by the length ("Dynamic"), one decimal with the
// given separator, rounded half away from zero.
std::string SizeText(std::uint64_t length, SizeUnit unit, char decimalSeparator);
void AppendSizeText(std::string& out, std::uint64_t length, SizeUnit unit, char decimalSeparator);
// The part of the name after its last "."; empty when there is none.
std::string ExtensionText(std::string_view name);
// "mm/dd/yyyy" with the given separator.
std::string DateText(const DateTime& modified, char dateSeparator);
void AppendDateText(std::string& out, const DateTime& modified, char dateSeparator);
// One letter per attribute set, in the order a, h, r, s.
std::string AttributeText(std::uint32_t attributes);
void AppendAttributeText(std::string& out, std::uint32_t attributes);

// Names and paths in the document: "<" and ">" become "&lt;" and "&gt;" so that a name cannot
// add markup; with ampersands set, "&" becomes "&amp;" too, so that a name that looks like a
// character reference shows as written. Every other character stays as it is.
std::string EscapeMarkup(std::string_view text, bool ampersands = false);

// A font name as a CSS value that cannot leave its declaration: letters, digits, blanks, "-",
// "_", ",", "." and non-ASCII characters as they are, every other character as a CSS escape
// ("\\3c " for "<").
std::string EscapeCss(std::string_view text);

// The text with every ill-formed UTF-8 sequence (stray or missing continuation bytes, overlong
// forms, surrogates, values above U+10FFFF) replaced by U+FFFD, one per maximal ill-formed part.
std::string ValidUtf8(std::string_view text);
// Length of the well-formed UTF-8 sequence at text[i] (1 for an ASCII byte), 0 when it is ill-formed.
size_t Utf8SequenceLength(std::string_view text, size_t i);

}  // namespace tessory
