#pragma once
// The eight ready-made looks of the listing document offered on the "HTML style options" page.

#include <cstdint>
#include <string>

namespace tessory {

struct ColourScheme {
  const char* name;
  // In the order ApplyScheme takes them; colours are 0x00BBGGRR.
  std::uint32_t bodyBack;
  std::uint32_t fileBack;
  std::uint32_t fileBackOdd;
  std::uint32_t fileFontColor;
  std::uint32_t folBack;
  std::uint32_t folFontColor;
  const char* folFont;
  const char* fileFont;
};

constexpr int kColourSchemeCount = 8;

// The schemes in list order.
const ColourScheme* ColourSchemes();

// The first scheme whose name equals `text` exactly (letter case included), or nullptr.
const ColourScheme* FindColourScheme(const std::string& text);

}  // namespace tessory
