#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>

#include "Bmp.h"
#include "Layout.h"
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

// Templates written byte by byte from the documented layout, independently of the writer.
// Filler, reserved and extension bytes hold values that would show up in the fields if the
// reader took a wrong offset.
#define BE(v) uint8_t(uint32_t(v) >> 24), uint8_t(uint32_t(v) >> 16), uint8_t(uint32_t(v) >> 8), uint8_t(v)

TEST(TemplateLayout, HandWrittenTemplateOfEveryVersion) {
  const std::vector<uint8_t> window = {
      BE(0x10CA0000), BE(0x100), BE(0x5A5A5A5A), BE(0x6B6B6B6B),  // style, extended, reserved x2
      BE(8), BE(-10), BE(-20), BE(400), BE(218),                  // placement, offsets, size
      0, 9, 0, 1,                                                 // 9 points, bold
      BE(2), 'A', 'r', BE(3), 'B', 'y', 'e', BE(1)};              // face, title, one control
  const std::vector<uint8_t> head = {BE(0x50000000), BE(0x20), BE(kTypeListBox), BE(0)};
  const std::vector<uint8_t> filler = {BE(0x7E7E7E7E)};
  const std::vector<uint8_t> middle = {BE(55), BE(11), BE(22), BE(33), BE(44), BE(0xFF), BE(0xFF00)};
  const std::vector<uint8_t> reserved = {BE(0x3C3C3C3C)};
  const std::vector<uint8_t> tail = {BE(2), 'G', 'o', BE(7)};
  const std::vector<uint8_t> oneBlock = {BE(1), BE(3), BE(0x4D4D4D4D), 'x', 'y', 'z'};
  const std::vector<uint8_t> noBlock = {BE(0)};
  auto join = [](std::initializer_list<const std::vector<uint8_t>*> parts, int32_t version) {
    std::vector<uint8_t> out = {'R', 'T', 'T', BE(version)};
    for (const auto* p : parts) out.insert(out.end(), p->begin(), p->end());
    return out;
  };
  const std::vector<uint8_t> versions[5] = {
      join({&window, &head, &filler, &middle, &tail}, 1),
      join({&window, &head, &middle, &tail}, 2),
      join({&oneBlock, &window, &head, &middle, &tail}, 3),
      join({&noBlock, &window, &head, &middle, &tail}, 4),
      join({&noBlock, &window, &head, &middle, &reserved, &tail}, 5),
  };
  for (int32_t v = 1; v <= 5; ++v) {
    const std::vector<uint8_t>& bytes = versions[v - 1];
    WindowDesc w;
    ASSERT_EQ(kReadOk, ReadTemplate(bytes.data(), bytes.size(), 1, 1000, kColours, w)) << v;
    EXPECT_EQ(v, w.version);
    EXPECT_EQ(0x10CA0000u, w.style) << v;
    EXPECT_EQ(0x5A5A5A5Au, w.reserved1) << v;
    EXPECT_EQ(-20, w.yOffset) << v;
    EXPECT_EQ(218, w.height) << v;
    EXPECT_EQ(1, w.fontFlags) << v;
    EXPECT_EQ("Ar", w.face) << v;
    EXPECT_EQ("Bye", w.title) << v;
    ASSERT_EQ(1u, w.controls.size()) << v;
    const ControlDesc& c = w.controls[0];
    EXPECT_EQ(0x20u, c.exStyle) << v;
    EXPECT_EQ(55, c.id) << v;
    EXPECT_EQ(11, c.x) << v;
    EXPECT_EQ(44, c.height) << v;
    // List boxes take the system colours before version 4.
    EXPECT_EQ(v < 4 ? 0x111111u : 0xFFu, c.colour) << v;
    EXPECT_EQ(v < 4 ? 0x222222u : 0xFF00u, c.colour2) << v;
    EXPECT_EQ("Go", c.text) << v;
    EXPECT_EQ(7, c.imageKey) << v;
  }
  // Bytes after the last counted control are no control.
  std::vector<uint8_t> longer = versions[4];
  longer.insert(longer.end(), 64, 0x01);
  WindowDesc w;
  ASSERT_EQ(kReadOk, ReadTemplate(longer.data(), longer.size(), 1, 1000, kColours, w));
  EXPECT_EQ(1u, w.controls.size());
}

TEST(TemplateLayout, GeometryExtremesAreClampedBeforeAnySum) {
  TemplateSource s = Sample(5);
  s.window.xOffset = INT32_MIN;
  s.window.yOffset = INT32_MAX;
  s.window.width = INT32_MAX;
  s.window.height = INT32_MIN;
  s.window.controls[0].x = INT32_MAX;
  s.window.controls[0].width = INT32_MAX;
  s.window.controls[0].y = INT32_MIN;
  s.window.controls[0].height = -5;
  for (int32_t scale : {1000, 1500}) {
    WindowDesc w;
    ASSERT_EQ(kReadOk, Read(Bytes(s), w, 1, scale));
    EXPECT_EQ(-32768, w.xOffset);
    EXPECT_EQ(32767, w.yOffset);
    EXPECT_EQ(32767, w.width);
    EXPECT_EQ(0, w.height);
    const ControlDesc& c = w.controls[0];
    EXPECT_EQ(32767, c.x);
    EXPECT_EQ(32767, c.width);
    EXPECT_EQ(-32768, c.y);
    EXPECT_EQ(0, c.height);
    // The sums the builder makes; UBSan stops the test on an overflow.
    EXPECT_EQ(65534, c.x + c.width);
    Size framed = AdjustForFrame(Size{w.width, w.height}, FrameMetrics{2, 1, 2, 1, 40});
    EXPECT_EQ(32769, framed.width);
    EXPECT_EQ(24, framed.height);
  }
  Size huge = AdjustForFrame(Size{INT32_MAX, INT32_MAX}, FrameMetrics{INT32_MAX, INT32_MAX, 5, 5, INT32_MAX});
  EXPECT_EQ(INT32_MAX, huge.width);
  EXPECT_EQ(INT32_MAX, huge.height);
}

// The format's numbers as templates already written hold them.
TEST(TemplateLayout, NumbersAsStored) {
  const std::pair<int64_t, int64_t> numbers[] = {{kLabelCleared, 2},          {kLabelIcon, 3},     {kLabelBitmap, 4},
                                                 {kColourTransparent, 0x4000000}, {kMaxVersion, 5},  {kImageKeyOwnIcon, -1},
                                                 {kImageKeyNone, -2},          {kReadNoMemory, -6}};
  for (const auto& [constant, stored] : numbers) EXPECT_EQ(constant, stored);
  // Button kinds by type and style bits: owner-drawn is all of 0xB, a bitmap the 0x80 bit.
  const struct {
    int32_t type;
    uint32_t style;
    bool ownerDrawn, bitmap;
  } buttons[] = {{kTypePushButton, 0x5000000B, true, false}, {kTypePushButton, 0x5000000A, false, false},
                 {kTypePushButton, 0x50000080, false, true},  {kTypeLabel, 0x5000008B, false, false}};
  for (auto b : buttons) {
    ControlDesc c = Control(b.type, 1, "");
    c.style = b.style;
    EXPECT_EQ(b.ownerDrawn, c.IsOwnerDrawButton()) << b.type << " " << b.style;
    EXPECT_EQ(b.bitmap, c.IsBitmapButton()) << b.type << " " << b.style;
  }
}

TEST(TemplateLayout, RefusesWithoutMagic) {
  WindowDesc w;
  std::string bytes = Bytes(Sample(5));
  bytes[0] = 'X';
  EXPECT_EQ(-2, Read(bytes, w)) << "the code the progress window reports";
  EXPECT_EQ(kReadNoMagic, Read("RT", w));
  EXPECT_EQ(kReadNoMagic, ReadTemplate(reinterpret_cast<const uint8_t*>("RTT"), 2, 1, 1000, kColours, w));
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

// What a number or a short cut by the end reads as (-1), and one whole just before the end; a
// last control's image key cut short.
TEST(TemplateLayout, NumbersCutByTheEndReadAsMinusOne) {
  const std::string whole = Bytes(Sample(2));  // version 2: the style at 7, the font size at 43
  const auto prefix = [&whole](size_t n) {
    WindowDesc w;
    std::vector<uint8_t> bytes(whole.begin(), whole.begin() + n);
    EXPECT_EQ(kReadOk, ReadTemplate(bytes.data(), bytes.size(), 1, 1000, kColours, w)) << n;
    return w;
  };
  EXPECT_EQ(0xFFFFFFFFu, prefix(10).style);
  EXPECT_EQ(-1, prefix(44).fontSize);
  EXPECT_EQ(-1, prefix(44).fontFlags);
  EXPECT_EQ(9, prefix(45).fontSize);
  EXPECT_EQ(-1, prefix(45).fontFlags);
  const WindowDesc cut = prefix(whole.size() - 2);
  ASSERT_EQ(3u, cut.controls.size());
  EXPECT_EQ(-1, cut.controls.back().imageKey);
}

// Fields at the edges of their encodings: a font size over 255, a title of one byte or of length
// -1, an extension block of one byte to skip.
TEST(TemplateLayout, FieldsAtTheEdgesOfTheirEncodings) {
  TemplateSource s = Sample(5);
  s.window.fontSize = 0x1234;
  s.window.title = "T";
  s.extensions = {"x"};
  WindowDesc w;
  ASSERT_EQ(kReadOk, Read(Bytes(s), w));
  EXPECT_EQ(0x1234, w.fontSize);
  EXPECT_EQ("T", w.title);
  EXPECT_EQ(3u, w.controls.size());
  EXPECT_EQ(57, w.controls[0].id);
  TemplateSource noTitle = Sample(2);
  noTitle.window.title = "";
  std::string bytes = Bytes(noTitle);
  const size_t titleLength = 47 + 4 + 6;  // after the face's length and "Tahoma"
  ASSERT_EQ(std::string(4, '\0'), bytes.substr(titleLength, 4));
  bytes.replace(titleLength, 4, "\xFF\xFF\xFF\xFF", 4);
  ASSERT_EQ(kReadOk, Read(bytes, w));
  EXPECT_EQ("", w.title);
  EXPECT_EQ(3u, w.controls.size());
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
  // The brush of every type of control, with a see-through background and a solid one; an icon
  // subtype counts only on a label.
  const std::pair<int32_t, bool> types[] = {
      {kTypeNone, false},    {kTypeLabel, true},    {kTypePushButton, true}, {kTypeButton3, true},
      {kTypeButton4, true},  {kTypeEdit, true},     {kTypeRichEdit, false},  {kTypeListBox, true},
      {kTypeComboBox, false}, {kTypeButton9, true}, {kTypeListView, false},  {kTypeTreeView, false},
  };
  s.window.controls.clear();
  std::vector<BrushKind> expected;
  for (const auto& [type, painted] : types) {
    for (uint32_t background : {kColourTransparent, 0x123456u}) {
      ControlDesc c = Control(type, 1, "");
      c.colour2 = background;
      s.window.controls.push_back(c);
      expected.push_back(painted ? (background == kColourTransparent ? BrushKind::Null : BrushKind::Solid)
                                 : BrushKind::None);
    }
  }
  ControlDesc iconSubtype = Control(kTypeRichEdit, 1, "");
  iconSubtype.subtype = kLabelIcon;
  s.window.controls.push_back(iconSubtype);
  expected.push_back(BrushKind::None);
  ASSERT_EQ(kReadOk, Read(Bytes(s), w));
  ASSERT_EQ(expected.size(), w.controls.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(expected[i], w.controls[i].brush) << "type " << w.controls[i].type << ", control " << i;
  }
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
      // The link part is there but empty: the text part shows, and without a target it is no link.
      {"hyperlink: text=\"Shown\" link=\"\"", 0, "Shown", "", false},
      // Bold and a link at once: both apply.
      {"hyperlink: text=\"Help\" link=\"h\"", kBoldLabelBit, "Help", "h", true},
      {"Pellmoor", kBoldLabelBit, "Pellmoor", kMakerAddress, true},
      {"hyperlink: link=\"u\" text=\"Site\"", 0, "hyperlink: link=\"u\" text=\"Site\"", "", false},
      {"hyperlink: text=\"unclosed", 0, "hyperlink: text=\"unclosed", "", false},
      {"pellMOOR", 0, "pellMOOR", kMakerAddress, false},
      {"Pellmoor Ltd", 0, "Pellmoor Ltd", "", false},
      {"Heading", kBoldLabelBit | 0x20, "Heading", "", true},
      {"hyperlink:text=\"a\"link=\"b\"", 0, "a", "b", false},
      {"hyperlink: link=\"u\" text=\"x", 0, "hyperlink: link=\"u\" text=\"x", "", false},
      {"Xyperlink: text=\"a\" link=\"b\"", 0, "Xyperlink: text=\"a\" link=\"b\"", "", false},
      {"Click text=\"a\" link=\"b\"", 0, "Click text=\"a\" link=\"b\"", "", false},
      {"Xellmoor", 0, "Xellmoor", "", false},
  };
  for (const LinkCase& c : cases) {
    ControlDesc label = Control(kTypeLabel, 1, c.text);
    label.exStyle = c.exStyle;
    ResolveLabelLink(label);
    EXPECT_EQ(c.shown, label.text) << c.text;
    EXPECT_EQ(c.target, label.linkTarget) << c.text;
    EXPECT_EQ(c.bold, label.bold) << c.text;
    EXPECT_EQ(std::string(c.target) != "", label.IsLink()) << c.text;
    EXPECT_EQ(c.exStyle & ~kBoldLabelBit, label.exStyle) << c.text;
  }
  ControlDesc button = Control(kTypePushButton, 1, "Pellmoor");
  button.exStyle = kBoldLabelBit;
  ResolveLabelLink(button);
  EXPECT_FALSE(button.IsLink());
  EXPECT_FALSE(button.bold) << "only labels are bold by the mark";
  EXPECT_EQ(kBoldLabelBit, button.exStyle);
}

namespace {

// `extra` bytes follow the header and come before the pixels (a colour table, or masks).
std::vector<uint8_t> Bmp(int32_t width, int32_t height, uint16_t bits, uint32_t used, size_t pixelBytes,
                         uint32_t headerBytes = 40, uint32_t compression = 0, size_t extra = SIZE_MAX) {
  std::vector<uint8_t> b(14 + headerBytes, 0);
  b[0] = 'B';
  b[1] = 'M';
  auto put32 = [&b](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(14, headerBytes);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  b[26] = 1;
  b[28] = static_cast<uint8_t>(bits);
  put32(30, compression);
  put32(46, used);
  size_t table = bits <= 8 ? (used ? used : (1u << bits)) * 4 : 0;
  b.resize(b.size() + (extra == SIZE_MAX ? table : extra) + pixelBytes, 0x5A);
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
      {Bmp(8, 2, 4, 0, 8), true, 40 + 16 * 4},
      {Bmp(0, 1, 24, 0, 4), false, 0},
      {Bmp(2, 2, 7, 0, 64), false, 0},
      // Bit fields: the masks after a 40-byte header, or inside a longer one.
      {Bmp(2, 1, 16, 0, 4, 40, 3, 12), true, 52},
      {Bmp(2, 1, 16, 0, 4, 40, 3, 11), false, 0},
      {Bmp(1, 1, 32, 0, 4, 108, 3, 0), true, 52},
      {Bmp(2, 1, 24, 0, 8, 40, 3, 12), false, 0},
      // A 124-byte header: the colour table follows the whole header.
      {Bmp(8, 1, 8, 2, 8, 124), true, 40 + 2 * 4},
      {Bmp(3, 2, 24, 0, 24, 124), true, 40},
      // Compressed pixels are refused: run lengths, JPEG and PNG.
      {Bmp(8, 1, 8, 0, 8, 40, 1), false, 0},
      {Bmp(8, 2, 4, 0, 8, 40, 2), false, 0},
      {Bmp(8, 1, 24, 0, 64, 40, 4), false, 0},
      {Bmp(8, 1, 24, 0, 64, 40, 5), false, 0},
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
  // Cut inside the info header, in a buffer of just that size: nothing past the data is read.
  const std::vector<uint8_t> whole = Bmp(3, 2, 24, 0, 24);
  const std::vector<uint8_t> cut(whole.begin(), whole.begin() + 14 + 16);
  EXPECT_FALSE(ParseBmp(cut.data(), cut.size(), image));
  // A table that would run past the data behind a 124-byte header.
  std::vector<uint8_t> longHeader = Bmp(8, 1, 8, 2, 8, 124);
  longHeader.resize(14 + 124 + 4);
  EXPECT_FALSE(ParseBmp(longHeader.data(), longHeader.size(), image));
}

// Every check of the headers at its edge: sides at and one past the bound (negative heights too),
// a 13-byte buffer, a core header of 12 bytes, two planes, a bit count with a high byte, bit
// fields in a 52-byte header and after a 51-byte one, rows whose bits overrun a word by one.
TEST(BmpLoader, EveryCheckAtItsEdge) {
  auto patched = [](std::vector<uint8_t> b, size_t at, uint8_t value) {
    b[at] = value;
    return b;
  };
  const std::vector<uint8_t> whole = Bmp(3, 2, 24, 0, 24);
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    bool ok;
  } cases[] = {
      {"widest", Bmp(kBmpMaxSide, 1, 1, 0, kBmpMaxSide / 8), true},
      {"one wider", Bmp(kBmpMaxSide + 1, 1, 1, 0, kBmpMaxSide / 8 + 4), false},
      {"a width in the third byte", Bmp(0x10001, 1, 24, 0, 4), false},
      {"tallest", Bmp(1, kBmpMaxSide, 1, 0, 4 * kBmpMaxSide), true},
      {"tallest, top down", Bmp(1, -kBmpMaxSide, 1, 0, 4 * kBmpMaxSide), true},
      {"one taller, top down", Bmp(1, -kBmpMaxSide - 1, 1, 0, 4 * kBmpMaxSide + 4), false},
      {"no rows", Bmp(1, 0, 24, 0, 4), false},
      {"core header", patched(whole, 14, 12), false},
      {"two planes", patched(whole, 26, 2), false},
      {"24 bits with a high byte", patched(whole, 29, 0x80), false},
      {"bit fields inside a 52-byte header", Bmp(2, 1, 16, 0, 4, 52, 3, 0), true},
      {"bit fields after a 51-byte header, cut", Bmp(2, 1, 16, 0, 4, 51, 3, 0), false},
      {"33 one-bit pixels, one word", Bmp(33, 1, 1, 0, 4), false},
  };
  for (const auto& c : cases) {
    BmpImage image;
    EXPECT_EQ(c.ok, ParseBmp(c.bytes.data(), c.bytes.size(), image)) << c.what;
  }
  BmpImage image;
  EXPECT_FALSE(ParseBmp(whole.data(), 13, image)) << "shorter than the headers";
  // A colour count is kept up to 8 bits and cleared above, the count of important colours kept.
  for (uint16_t bits : {8, 16, 24}) {
    std::vector<uint8_t> b = Bmp(2, 1, bits, bits == 8 ? 2 : 0, 8);
    b[14 + 32] = 2;
    b[14 + 33] = b[14 + 34] = b[14 + 35] = bits == 8 ? 0 : 1;
    b[14 + 36] = 7;
    ASSERT_TRUE(ParseBmp(b.data(), b.size(), image)) << bits;
    const std::vector<uint8_t> count(image.info.begin() + 32, image.info.begin() + 36);
    EXPECT_EQ(count, (bits == 8 ? std::vector<uint8_t>{2, 0, 0, 0} : std::vector<uint8_t>{0, 0, 0, 0})) << bits;
    EXPECT_EQ(image.info[36], 7) << bits;
    EXPECT_EQ(image.info[4], 2) << "the width";
  }
}

TEST(BmpLoader, CheckedInfoHeaderKeepsTheBytesThatMatter) {
  // The table of a 124-byte header is taken from behind the whole header, not from byte 40.
  std::vector<uint8_t> b = Bmp(8, 1, 8, 2, 8, 124);
  for (size_t i = 0; i < 8; ++i) b[14 + 124 + i] = static_cast<uint8_t>(0xC0 + i);
  BmpImage image;
  ASSERT_TRUE(ParseBmp(b.data(), b.size(), image));
  EXPECT_EQ(40u, image.info[0]);
  EXPECT_EQ(0xC0, image.info[40]);
  EXPECT_EQ(0xC7, image.info[47]);
  EXPECT_EQ(b.data() + 14 + 124 + 8, image.pixels);
  EXPECT_EQ(8u, image.pixelBytes);
  for (uint32_t headerBytes : {0x128u, 0x10028u, 0x01000028u}) {  // a size in the second, third, fourth byte
    const std::vector<uint8_t> huge = Bmp(3, 2, 24, 0, 24, headerBytes);
    ASSERT_TRUE(ParseBmp(huge.data(), huge.size(), image)) << headerBytes;
    EXPECT_EQ(40u, image.info[0]);
    EXPECT_EQ(0u, image.info[1] | image.info[2] | image.info[3]) << "the size is 40 in all four bytes";
  }
}

TEST(BmpLoader, StretchTargetIsBounded) {
  const struct {
    int32_t width, height, imageWidth, imageHeight;
    bool stretch;
  } cases[] = {
      {20, 10, 10, 10, true},       {10, 10, 10, 10, false},       {0, 10, 1, 1, false},
      {10, -1, 1, 1, false},        {30000, 30000, 1, 1, false},   {16385, 1, 1, 1, false},
      {16384, 4096, 1, 1, true},    {16384, 4097, 1, 1, false},    {16384, 16384, 1, 1, false},
      {4096, 16384, 1, 1, true},    {4096, 16385, 1, 1, false},    {10, 0, 1, 1, false},
      {1, 10, 10, 10, true},        {10, 1, 10, 10, true},
  };
  for (auto c : cases)
    EXPECT_EQ(c.stretch, StretchWanted(c.width, c.height, c.imageWidth, c.imageHeight)) << c.width << "x" << c.height;
}

namespace {

// An ICO file: a directory of `count` entries followed by one 32-bit DIB image that every entry
// points at, 16 x 16 unless told (a mask row takes `maskRowBytes`: the width's bits rounded up to
// 4 bytes).
std::vector<uint8_t> Ico(uint16_t count = 1, uint32_t width = 16, uint32_t rows = 16, uint32_t maskRowBytes = 4) {
  size_t image = 40 + width * rows * 4 + rows * maskRowBytes;
  size_t offset = 6 + 16u * count;
  std::vector<uint8_t> b(offset + image, 0);
  auto put32 = [&b](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  b[2] = 1;
  b[4] = static_cast<uint8_t>(count);
  for (size_t i = 0; i < count; ++i) {
    size_t e = 6 + 16 * i;
    b[e] = b[e + 1] = 16;
    b[e + 4] = 1;
    b[e + 6] = 32;
    put32(e + 8, static_cast<uint32_t>(image));
    put32(e + 12, static_cast<uint32_t>(offset));
  }
  put32(offset, 40);
  put32(offset + 4, width);
  put32(offset + 8, 2 * rows);
  b[offset + 12] = 1;
  b[offset + 14] = 32;
  return b;
}

}  // namespace

TEST(IcoCheck, DirectoryAndImagesMustLieWithinTheData) {
  auto with = [](std::function<void(std::vector<uint8_t>&)> change) {
    std::vector<uint8_t> b = Ico();
    change(b);
    return b;
  };
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    bool sound;
  } cases[] = {
      {"one image", Ico(), true},
      {"two entries, one image", Ico(2), true},
      {"no entries", with([](auto& b) { b[4] = 0; }), false},
      {"cursor type", with([](auto& b) { b[2] = 2; }), false},
      {"reserved set", with([](auto& b) { b[0] = 1; }), false},
      {"directory cut", with([](auto& b) { b.resize(20); }), false},
      {"image cut by one byte", with([](auto& b) { b.pop_back(); }), false},
      {"entry of no bytes", with([](auto& b) { b[14] = b[15] = 0; }), false},
      {"offset past the end", with([](auto& b) { b[21] = 0x7F; }), false},
      {"header of 12 bytes", with([](auto& b) { b[22] = 12; }), false},
      {"odd doubled height", with([](auto& b) { b[30] = 31; }), false},
      {"compressed", with([](auto& b) { b[38] = 1; }), false},
      {"256 wide", Ico(1, 256, 1, 32), true},
      {"257 wide", Ico(1, 257, 1, 36), false},
      {"256 high", Ico(1, 1, 256, 4), true},
      {"257 high", Ico(1, 1, 257, 4), false},
      {"32 wide: mask rows of 4 bytes", Ico(1, 32, 2, 4), true},
      {"33 wide: mask rows of 8 bytes", Ico(1, 33, 2, 4), false},
      {"PNG image", with([](auto& b) {
         const uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
         std::copy(png, png + 8, b.begin() + 22);
       }), true},
  };
  for (const auto& c : cases) EXPECT_EQ(c.sound, IcoLooksSound(c.bytes.data(), c.bytes.size())) << c.what;
  // Only the usual colour depths; one used colour keeps a table within the image.
  for (uint16_t bits : {1, 4, 8, 16, 24, 32, 0, 2, 3, 5, 7, 9, 15, 17, 23, 25, 31, 33}) {
    std::vector<uint8_t> b = Ico();
    b[22 + 14] = static_cast<uint8_t>(bits);
    b[22 + 32] = 1;
    bool usual = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    EXPECT_EQ(usual, IcoLooksSound(b.data(), b.size())) << bits << " bits";
  }
  // Heights and widths of 0, a height of one doubled row, compression in its high byte, PNGs of
  // exactly the signature, one byte less, and a signature wrong in its last byte.
  const uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    bool sound;
  } edges[] = {
      {"width 0", with([](auto& b) { b[22 + 4] = 0; }), false},
      {"height 0", with([](auto& b) { b[22 + 8] = 0; }), false},
      {"one row", Ico(1, 16, 1, 4), true},
      {"compressed, high byte", with([](auto& b) { b[22 + 19] = 1; }), false},
      {"PNG of 8 bytes", with([&](auto& b) { std::copy(png, png + 8, b.begin() + 22); b[14] = 8; b[15] = 0; }), true},
      {"PNG of 7 bytes", with([&](auto& b) { std::copy(png, png + 8, b.begin() + 22); b[14] = 7; b[15] = 0; }), false},
      {"PNG, last byte wrong", with([&](auto& b) { std::copy(png, png + 7, b.begin() + 22); b[29] = 0x0B; }), false},
  };
  for (const auto& c : edges) EXPECT_EQ(c.sound, IcoLooksSound(c.bytes.data(), c.bytes.size())) << c.what;
  // Colour tables and row sizes exactly: a DIB of `bits` per pixel, `used` colours, `bytes` long.
  auto dib = [](uint32_t width, uint32_t rows, uint16_t bits, uint32_t used, uint32_t bytes) {
    std::vector<uint8_t> b(22 + bytes, 0);
    auto put32 = [&b](size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    b[2] = b[4] = 1;
    b[6 + 4] = 1;
    b[6 + 6] = static_cast<uint8_t>(bits);
    put32(6 + 8, bytes);
    put32(6 + 12, 22);
    put32(22, 40);
    put32(22 + 4, width);
    put32(22 + 8, 2 * rows);
    b[22 + 12] = 1;
    b[22 + 14] = static_cast<uint8_t>(bits);
    put32(22 + 32, used);
    return b;
  };
  const struct {
    uint32_t width, rows;
    uint16_t bits;
    uint32_t used, bytes;
    bool sound;
  } sized[] = {
      {16, 16, 8, 0, 40 + 1024 + 256 + 64, true},   {16, 16, 8, 0, 40 + 1024 + 256 + 64 - 1, false},
      {16, 16, 8, 256, 40 + 1024 + 256 + 64, true}, {16, 16, 8, 257, 40 + 1028 + 256 + 64, false},
      {16, 16, 8, 2, 40 + 8 + 256 + 64, true},      {16, 16, 8, 2, 40 + 8 + 256 + 64 - 1, false},
      {33, 2, 1, 0, 40 + 8 + 16 + 16, true},         {33, 2, 1, 0, 40 + 8 + 16 + 16 - 1, false},
  };
  for (const auto& c : sized) {
    const std::vector<uint8_t> b = dib(c.width, c.rows, c.bits, c.used, c.bytes);
    EXPECT_EQ(c.sound, IcoLooksSound(b.data(), b.size())) << c.width << "x" << c.rows << ", " << c.bits << " bits, "
                                                          << c.used << " colours, " << c.bytes << " bytes";
  }
  std::vector<IcoEntry> entries;
  std::vector<uint8_t> sizes = with([](auto& b) { b[7] = 20; b[8] = 3; });
  ASSERT_TRUE(IcoLooksSound(sizes.data(), sizes.size(), &entries));
  EXPECT_EQ(entries[0].width, 16);
  EXPECT_EQ(entries[0].height, 20);
  EXPECT_EQ(entries[0].colours, 3);
  std::vector<uint8_t> two = Ico(2);
  ASSERT_TRUE(IcoLooksSound(two.data(), two.size(), &entries));
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ(38u, entries[1].offset);
  EXPECT_EQ(40u + 1024 + 64, entries[1].bytes);
  EXPECT_EQ(32, entries[1].bitCount);
  EXPECT_EQ(1, entries[1].planes);
  EXPECT_FALSE(IcoLooksSound(nullptr, 0));
}
