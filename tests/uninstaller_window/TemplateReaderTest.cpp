#include <gtest/gtest.h>

#include "Bmp.h"
#include "TemplateReader.h"
#include "TemplateWriter.h"

using namespace corvel::tpl;

namespace {

const SystemColours kColours{0x111111, 0x222222, 0x333333};

ControlDesc Control(int32_t type, int32_t id, const std::string& text) {
  ControlDesc c;
  c.style = 0x50000000;
  c.type = type;
  c.id = id;
  c.x = 100;
  c.y = 50;
  c.width = 80;
  c.height = 20;
  c.colour = 0x0000FF;
  c.colour2 = kColourTransparent;
  c.imageKey = 7;
  c.text = text;
  return c;
}

TemplateSource Sample(int32_t version) {
  TemplateSource s;
  s.window.version = version;
  s.window.style = 0x10CA0000;
  s.window.placement = 8;
  s.window.xOffset = -10;
  s.window.yOffset = -10;
  s.window.width = 400;
  s.window.height = 218;
  s.window.fontSize = 9;
  s.window.fontFlags = 1;
  s.window.face = "Tahoma";
  s.window.title = "Remove";
  s.window.controls = {Control(kTypeLabel, 57, "product"), Control(kTypeListBox, 58, ""),
                       Control(kTypePushButton, 55, "Close")};
  s.extensions = {"abc", ""};
  return s;
}

std::string Bytes(const TemplateSource& s) { return WriteTemplate(s); }

int Read(const std::string& bytes, WindowDesc& out, int32_t language = 1, int32_t scale = 1000) {
  return ReadTemplate(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), language, scale,
                      kColours, out);
}

}  // namespace

class EveryVersion : public ::testing::TestWithParam<int32_t> {};

TEST_P(EveryVersion, ReadsBackWhatWasWritten) {
  WindowDesc w;
  ASSERT_EQ(kReadOk, Read(Bytes(Sample(GetParam())), w));
  EXPECT_EQ(GetParam(), w.version);
  EXPECT_EQ(0x10CA0000u, w.style);
  EXPECT_EQ(8, w.placement);
  EXPECT_EQ(-10, w.xOffset);
  EXPECT_EQ(218, w.height);
  EXPECT_EQ(9, w.fontSize);
  EXPECT_EQ("Tahoma", w.face);
  EXPECT_EQ("Remove", w.title);
  ASSERT_EQ(3u, w.controls.size());
  const ControlDesc& last = w.controls[2];
  EXPECT_EQ(55, last.id);
  EXPECT_EQ("Close", last.text);
  EXPECT_EQ(7, last.imageKey);
  EXPECT_EQ(BrushKind::Null, last.brush);
  // Before version 4 a list box always takes the system text and window colours.
  const ControlDesc& list = w.controls[1];
  EXPECT_EQ(GetParam() < 4 ? 0x111111u : 0x0000FFu, list.colour);
  EXPECT_EQ(GetParam() < 4 ? BrushKind::Solid : BrushKind::Null, list.brush);
}

INSTANTIATE_TEST_SUITE_P(Versions, EveryVersion, ::testing::Values(1, 2, 3, 4, 5));

TEST(TemplateLayout, RefusesWithoutMagic) {
  WindowDesc w;
  std::string bytes = Bytes(Sample(5));
  bytes[0] = 'X';
  EXPECT_EQ(kReadNoMagic, Read(bytes, w));
  EXPECT_EQ(kReadNoMagic, Read("RT", w));
}

TEST(TemplateLayout, EveryTruncationReadsWithinItsData) {
  // Each prefix is copied to a buffer of exactly its size so that AddressSanitizer sees any overread.
  std::string whole = Bytes(Sample(5));
  for (size_t n = 3; n < whole.size(); ++n) {
    std::vector<uint8_t> prefix(whole.begin(), whole.begin() + n);
    WindowDesc w;
    ASSERT_EQ(kReadOk, ReadTemplate(prefix.data(), prefix.size(), 1, 1000, kColours, w));
    EXPECT_LE(w.controls.size(), 3u);
  }
}

TEST(TemplateLayout, HugeLengthsAndCountsStopAtTheEnd) {
  TemplateSource s = Sample(2);
  s.window.controls.clear();
  std::string bytes = Bytes(s);
  // Control count 0x7FFFFFFF with no records behind it.
  bytes.replace(bytes.size() - 4, 4, "\x7F\xFF\xFF\xFF", 4);
  WindowDesc w;
  ASSERT_EQ(kReadOk, Read(bytes, w));
  EXPECT_TRUE(w.controls.empty());
  // A title length far past the end takes what is there.
  s.window.title = "T";
  bytes = Bytes(s);
  size_t titleLength = bytes.size() - 4 - 1 - 4;
  bytes.replace(titleLength, 4, "\x00\xFF\xFF\xFF", 4);
  ASSERT_EQ(kReadOk, Read(bytes, w));
  EXPECT_EQ(std::string("T\0\0\0\0", 5), w.title);
}

TEST(TemplateScaling, At120DotsPerInch) {
  WindowDesc w;
  ASSERT_EQ(kReadOk, Read(Bytes(Sample(5)), w, 1, 1250));
  EXPECT_EQ(500, w.width);
  EXPECT_EQ(268, w.height);
  const ControlDesc& c = w.controls[0];
  EXPECT_EQ(125, c.x);
  EXPECT_EQ(62, c.y);
  EXPECT_EQ(100, c.width);
  EXPECT_EQ(25, c.height);
}

struct LanguageCase {
  const char* text;
  int32_t language;
  const char* shown;
};

TEST(TemplateLanguage, PicksTaggedPartWithFallback) {
  const std::string two = "<LangID=1>Close</LangID=1><LangID=2>Schliessen</LangID=2>";
  const LanguageCase cases[] = {
      {two.c_str(), 2, "Schliessen"},
      {two.c_str(), 3, "Close"},
      {two.c_str(), 1, "Close"},
      {"plain", 2, "plain"},
      {"<LangID=2>open only<LangID=1>one</LangID=1>", 2, "one"},
      {"<LangID=2>no close at all", 2, "<LangID=2>no close at all"},
      {"</LangID=2>x<LangID=2>", 2, "</LangID=2>x<LangID=2>"},
      {"<langid=2>x</langid=2>", 2, "<langid=2>x</langid=2>"},
      {"<LangID=12>zwoelf</LangID=12>", 12, "zwoelf"},
  };
  for (const LanguageCase& c : cases) EXPECT_EQ(c.shown, PickLanguageText(c.text, c.language)) << c.text;
}

TEST(TemplateControls, ColourCodesBrushesAndClearedLabels) {
  TemplateSource s = Sample(5);
  s.window.controls.clear();
  ControlDesc label = Control(kTypeLabel, 1, "gone");
  label.subtype = kLabelCleared;
  label.colour = kColourButtonFace;
  label.colour2 = kColourWindow;
  ControlDesc icon = Control(kTypeLabel, 2, "");
  icon.subtype = kLabelIcon;
  ControlDesc rich = Control(kTypeRichEdit, 3, "r");
  rich.colour2 = kColourWindowText;
  s.window.controls = {label, icon, rich};
  WindowDesc w;
  ASSERT_EQ(kReadOk, Read(Bytes(s), w));
  EXPECT_EQ("", w.controls[0].text);
  EXPECT_EQ(0x333333u, w.controls[0].colour);
  EXPECT_EQ(0x333333u, w.controls[0].normalColour);
  EXPECT_EQ(0x222222u, w.controls[0].colour2);
  EXPECT_EQ(BrushKind::Solid, w.controls[0].brush);
  EXPECT_EQ(BrushKind::Solid, w.controls[1].brush);
  EXPECT_EQ(BrushKind::None, w.controls[2].brush);
  EXPECT_EQ(0x111111u, w.controls[2].colour2);
}

struct LinkCase {
  const char* text;
  uint32_t exStyle;
  const char* shown;
  const char* target;
  bool bold;
};

TEST(TemplateControls, LinksAndBoldLabels) {
  const LinkCase cases[] = {
      {"HYPERLINK: text=\"Site\" link=\"http://x.test/\"", 0, "Site", "http://x.test/", false},
      {"hyperlink:LINK=\"a\" Text=\"b\" link=\"c\"", 0, "b", "c", false},
      {"hyperlink: text=\"Site\"", 0, "hyperlink: text=\"Site\"", "", false},
      {"hyperlink: link=\"u\" text=\"Site\"", 0, "hyperlink: link=\"u\" text=\"Site\"", "", false},
      {"hyperlink: text=\"unclosed", 0, "hyperlink: text=\"unclosed", "", false},
      {"pellMOOR", 0, "pellMOOR", kMakerAddress, false},
      {"Pellmoor Ltd", 0, "Pellmoor Ltd", "", false},
      {"Heading", kBoldLabelBit | 0x20, "Heading", "", true},
  };
  for (const LinkCase& c : cases) {
    ControlDesc label = Control(kTypeLabel, 1, c.text);
    label.exStyle = c.exStyle;
    ResolveLabelLink(label);
    EXPECT_EQ(c.shown, label.text) << c.text;
    EXPECT_EQ(c.target, label.linkTarget) << c.text;
    EXPECT_EQ(c.bold, label.bold) << c.text;
    EXPECT_EQ(c.exStyle & ~kBoldLabelBit, label.exStyle) << c.text;
  }
  ControlDesc button = Control(kTypePushButton, 1, "Pellmoor");
  ResolveLabelLink(button);
  EXPECT_FALSE(button.IsLink());
}

namespace {

std::vector<uint8_t> Bmp(int32_t width, int32_t height, uint16_t bits, uint32_t used, size_t pixelBytes) {
  std::vector<uint8_t> b(14 + 40, 0);
  b[0] = 'B';
  b[1] = 'M';
  auto put32 = [&b](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  b[26] = 1;
  b[28] = static_cast<uint8_t>(bits);
  put32(46, used);
  size_t table = bits <= 8 ? (used ? used : (1u << bits)) * 4 : 0;
  b.resize(b.size() + table + pixelBytes, 0x5A);
  return b;
}

}  // namespace

TEST(BmpLoader, AcceptsWhatFitsAndRefusesWhatRunsPast) {
  struct Case {
    std::vector<uint8_t> bytes;
    bool ok;
    size_t info;
  } cases[] = {
      {Bmp(3, 2, 24, 0, 12 * 2), true, 40},
      {Bmp(3, -2, 24, 0, 12 * 2), true, 40},
      {Bmp(3, 2, 24, 0, 12 * 2 - 1), false, 0},
      {Bmp(8, 1, 8, 0, 8), true, 40 + 256 * 4},
      {Bmp(8, 1, 8, 2, 8), true, 40 + 2 * 4},
      {Bmp(8, 1, 8, 300, 8), false, 0},
      {Bmp(33, 1, 1, 0, 8), true, 48},
      {Bmp(0, 1, 24, 0, 4), false, 0},
      {Bmp(2, 2, 7, 0, 64), false, 0},
  };
  for (auto& c : cases) {
    BmpImage image;
    EXPECT_EQ(c.ok, ParseBmp(c.bytes.data(), c.bytes.size(), image));
    EXPECT_EQ(c.info, image.info.size());
    if (c.ok) {
      EXPECT_LE(image.pixels + image.pixelBytes, c.bytes.data() + c.bytes.size());
    }
  }
  std::vector<uint8_t> notBmp = Bmp(3, 2, 24, 0, 24);
  notBmp[1] = 'X';
  BmpImage image;
  EXPECT_FALSE(ParseBmp(notBmp.data(), notBmp.size(), image));
  EXPECT_FALSE(ParseBmp(notBmp.data(), 13, image));
}
