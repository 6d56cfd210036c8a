#include <gtest/gtest.h>

#include "TemplateText.h"

using namespace corvel::tpl;

TEST(TemplateText, CompilesStatementsAndReadsBack) {
  const std::string text =
      "# progress window\n"
      "version 3\n"
      "extension \"\\x09\\x9F\\xa0\"\n"
      "window style=OWN_WINDOW|WS_CAPTION|WS_SYSMENU placement=8 x=-10 y=-0x0A\n"
      "       width=300 height=200 font=8 fontflags=1 face=\"Tahoma\" title=\"Say \\\"hi\\\"\"\n"
      "control type=label id=57 x=1 y=2 width=3 height=4 exstyle=BOLD colour=0xFF background=BTNFACE\n"
      "\ttext=\"<LangID=1>A</LangID=1>\"\n"
      "control type=button id=55 style=WS_CHILD|WS_VISIBLE|BS_OWNERDRAW image=3 text=\"Close\"\n"
      "image key=3 file=\"strip.bmp\"\n";
  CompiledTemplate c;
  std::string error;
  ASSERT_TRUE(ParseTemplateText(text, c, error)) << error;
  EXPECT_EQ(c.source.extensions, std::vector<std::string>{"\x09\x9F\xA0"});
  ASSERT_EQ(1u, c.imageFiles.size());
  EXPECT_EQ(3, c.imageFiles[0].first);
  EXPECT_EQ("strip.bmp", c.imageFiles[0].second);

  std::string bytes = WriteTemplate(c.source);
  WindowDesc w;
  ASSERT_EQ(kReadOk, ReadTemplate(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 1, 1000,
                                  SystemColours{1, 2, 3}, w));
  EXPECT_EQ(3, w.version);
  EXPECT_EQ(0x10C80000u, w.style);
  EXPECT_EQ(-10, w.yOffset);
  EXPECT_EQ("Say \"hi\"", w.title);
  ASSERT_EQ(2u, w.controls.size());
  EXPECT_TRUE(w.controls[0].bold);
  EXPECT_EQ("A", w.controls[0].text);
  EXPECT_EQ(3u, w.controls[0].colour2);
  EXPECT_TRUE(w.controls[1].IsOwnerDrawButton());
  EXPECT_FALSE(w.controls[1].IsBitmapButton()) << "BS_BITMAP is 0x80, not among 0x5000000B";
  EXPECT_EQ(3, w.controls[1].imageKey);
}

// The style names stand for the system's values, as its headers define them.
TEST(TemplateText, StyleNamesHaveTheSystemsValues) {
  const std::pair<const char*, uint32_t> names[] = {
      {"WS_POPUP", 0x80000000u}, {"WS_CHILD", 0x40000000}, {"WS_VISIBLE", 0x10000000}, {"WS_DISABLED", 0x08000000},
      {"WS_CAPTION", 0x00C00000}, {"WS_BORDER", 0x00800000}, {"WS_DLGFRAME", 0x00400000}, {"WS_VSCROLL", 0x00200000},
      {"WS_HSCROLL", 0x00100000}, {"WS_SYSMENU", 0x00080000}, {"WS_THICKFRAME", 0x00040000}, {"WS_GROUP", 0x00020000},
      {"WS_MINIMIZEBOX", 0x00020000}, {"WS_TABSTOP", 0x00010000}, {"BS_PUSHBUTTON", 0}, {"BS_DEFPUSHBUTTON", 1},
      {"BS_CHECKBOX", 2}, {"BS_AUTOCHECKBOX", 3}, {"BS_RADIOBUTTON", 4}, {"BS_GROUPBOX", 7},
      {"BS_AUTORADIOBUTTON", 9}, {"BS_OWNERDRAW", 11}, {"BS_BITMAP", 0x80}, {"SS_LEFT", 0},
      {"SS_CENTER", 1}, {"SS_RIGHT", 2}, {"SS_ICON", 3}, {"SS_ETCHEDHORZ", 0x10},
      {"SS_BITMAP", 14}, {"SS_NOTIFY", 0x100}, {"SS_CENTERIMAGE", 0x200}, {"SS_SUNKEN", 0x1000},
      {"ES_MULTILINE", 4}, {"ES_AUTOVSCROLL", 0x40}, {"ES_READONLY", 0x800}, {"LBS_NOTIFY", 1},
      {"CBS_DROPDOWNLIST", 3}, {"WS_EX_TRANSPARENT", 0x20}, {"WS_EX_CLIENTEDGE", 0x200}, {"WS_EX_STATICEDGE", 0x20000},
  };
  for (const auto& [name, value] : names) {
    CompiledTemplate c;
    std::string error;
    ASSERT_TRUE(ParseTemplateText(std::string("window style=") + name + "\n", c, error)) << name << ": " << error;
    std::string bytes = WriteTemplate(c.source);
    WindowDesc w;
    ASSERT_EQ(kReadOk, ReadTemplate(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 1, 1000,
                                    SystemColours{1, 2, 3}, w));
    EXPECT_EQ(value, w.style) << name;
    EXPECT_EQ(0, w.width) << "left out, the size is 0";
    EXPECT_EQ(0, w.height);
  }
}

// Version 1 control records carry four filler bytes after the subtype: written as zeros.
TEST(TemplateText, VersionOneFillerIsZero) {
  CompiledTemplate c;
  std::string error;
  ASSERT_TRUE(ParseTemplateText("version 1\nwindow\ncontrol type=label subtype=2 id=7\n", c, error)) << error;
  const std::string bytes = WriteTemplate(c.source);
  // "RTT", version, window: 4 styles, placement, offsets, size, font size and flags, no face, no title,
  // one control; then its style, extended style, type and subtype.
  const size_t subtype = 3 + 4 + 4 * 4 + 5 * 4 + 2 + 2 + 4 + 4 + 4 + 3 * 4;
  ASSERT_GT(bytes.size(), subtype + 12);
  EXPECT_EQ(bytes.substr(subtype, 12), std::string("\0\0\0\2\0\0\0\0\0\0\0\7", 12));
}

// Bytes of the newest version: an extension block's size and a zero, the font's size and flags in
// two bytes each, and a control's reserved zero; a control without a style is a visible child,
// and an image's key may follow its file or be left out (0).
TEST(TemplateText, NewestVersionBytesAndDefaults) {
  CompiledTemplate c;
  std::string error;
  ASSERT_TRUE(ParseTemplateText("version 5\nextension \"ab\"\nwindow font=0x1234 fontflags=0x5678\n"
                                "control id=9 style=0\ncontrol id=8\nimage file=\"a.bmp\"\n",
                                c, error))
      << error;
  const std::string bytes = WriteTemplate(c.source);
  EXPECT_EQ(bytes.substr(7, 14), std::string("\0\0\0\1\0\0\0\2\0\0\0\0ab", 14));
  EXPECT_EQ(bytes.substr(21 + 36, 4), "\x12\x34\x56\x78");
  EXPECT_EQ(bytes.substr(21 + 36 + 16 + 44, 8), std::string(8, '\0'));  // after the colours
  ASSERT_EQ(c.source.window.controls.size(), 2u);
  EXPECT_EQ(c.source.window.controls[1].style, 0x50000000u);
  EXPECT_EQ(c.imageFiles, (std::vector<std::pair<int32_t, std::string>>{{0, "a.bmp"}}));
}

// What a statement leaves out: 0 for every number of the window and of a control, but a
// control's style (a visible child), colours (window text on none) and image (none).
TEST(TemplateText, LeftOutFieldsReadBackAsTheirDefaults) {
  CompiledTemplate c;
  std::string error;
  ASSERT_TRUE(ParseTemplateText("window\ncontrol\n", c, error)) << error;
  const std::string bytes = WriteTemplate(c.source);
  WindowDesc w;
  ASSERT_EQ(kReadOk, ReadTemplate(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 1, 1000,
                                  SystemColours{1, 2, 3}, w));
  EXPECT_EQ(kMaxVersion, w.version);
  const int64_t window[] = {w.style, w.exStyle, w.reserved1, w.reserved2, w.placement, w.xOffset,
                            w.yOffset, w.width, w.height, w.fontSize, w.fontFlags};
  for (int64_t v : window) EXPECT_EQ(0, v);
  ASSERT_EQ(1u, w.controls.size());
  const ControlDesc& control = w.controls[0];
  const int64_t numbers[] = {control.exStyle, control.type, control.subtype, control.id,
                             control.x,       control.y,    control.width,   control.height};
  for (int64_t v : numbers) EXPECT_EQ(0, v);
  EXPECT_EQ(0x50000000u, control.style);
  EXPECT_EQ(1u, control.colour);  // the window text's colour
  EXPECT_EQ(1u, control.normalColour);
  EXPECT_EQ(kColourTransparent, control.colour2);
  EXPECT_EQ(kImageKeyNone, control.imageKey);
}

// The image table as the record stores it: count, then length, key and bytes of each, big-endian.
TEST(TemplateText, ImageTableLayout) {
  EXPECT_EQ(WriteImageTable({{3, "ab"}, {0x01020304, ""}}),
            std::string("\0\0\0\2" "\0\0\0\2" "\0\0\0\3" "ab" "\0\0\0\0" "\1\2\3\4", 22));
}

// Type names, system colour codes and the bold bit as stored in template files of every version.
TEST(TemplateText, StoredNumbersOfTypesColoursAndBold) {
  const std::pair<const char*, int32_t> types[] = {
      {"none", 0},     {"label", 1},    {"button", 2},    {"checkbox", 3},  {"radio", 4},
      {"edit", 5},     {"richedit", 6}, {"listbox", 7},   {"combobox", 8},  {"groupbox", 9},
      {"listview", 10}, {"treeview", 11}, {"absent", 12},
  };
  const std::pair<const char*, uint32_t> backgrounds[] = {
      {"0x1000000", 1}, {"0x2000000", 2}, {"0x3000000", 3}, {"0x123456", 0x123456}};
  for (const auto& [name, number] : types) {
    CompiledTemplate c;
    std::string error;
    ASSERT_TRUE(ParseTemplateText(std::string("window\ncontrol id=1 type=") + name + "\n", c, error)) << error;
    EXPECT_EQ(number, c.source.window.controls.at(0).type) << name;
    EXPECT_EQ(0u, c.source.window.style) << "a window without a style has none";
  }
  for (const auto& [code, colour] : backgrounds) {
    CompiledTemplate c;
    std::string error;
    ASSERT_TRUE(ParseTemplateText(std::string("window\ncontrol type=label exstyle=0x80000001 background=") + code + "\n",
                                  c, error)) << error;
    std::string bytes = WriteTemplate(c.source);
    WindowDesc w;
    ASSERT_EQ(kReadOk, ReadTemplate(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 1, 1000,
                                    SystemColours{1, 2, 3}, w));
    ASSERT_EQ(1u, w.controls.size());
    EXPECT_EQ(colour, w.controls[0].colour2) << code;
    EXPECT_TRUE(w.controls[0].bold);
    EXPECT_EQ(1u, w.controls[0].exStyle);  // only the top bit marks bold
  }
}

TEST(TemplateText, ErrorsNameTheLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"control id=1\n", "no window statement"},
      {"window\ncontrol id=x1\n", "line 2: bad number for id: x1"},
      {"window\n\ncontrol colour=WINDOW|\n", "line 3: bad number for colour: WINDOW|"},
      {"window title=\"open\n", "line 1: string without closing quote"},
      {"window size=3\n", "line 1: unknown item size"},
      {"frame\n", "line 1: unknown statement frame"},
      {"window\nimage key=1\n", "line 2: image needs a file"},
      {"window style=0x100000000\n", "line 1: bad number for style: 0x100000000"},
      {"window title=\"\\x4", "line 1: bad \\x escape"},
      {"window x=-2147483649\n", "line 1: bad number for x: -2147483649"},
      {"window title=\"\\xg0\"\n", "line 1: bad \\x escape"},
      {"window title=\"\\x0G\"\n", "line 1: bad \\x escape"},
      {"window title=\"\\x41", "line 1: string without closing quote"},
      {"version x\n", "line 1: version needs one number"},
      {"window\nextension \"a\" \"b\"\n", "line 2: extension needs one string"},
  };
  for (auto c : cases) {
    CompiledTemplate out;
    std::string error;
    EXPECT_FALSE(ParseTemplateText(c.text, out, error)) << c.text;
    EXPECT_EQ(c.error, error);
  }
  // The widest numbers still taken.
  CompiledTemplate widest;
  std::string error;
  ASSERT_TRUE(ParseTemplateText("window style=0xFFFFFFFF x=-2147483648\n", widest, error)) << error;
  EXPECT_EQ(0xFFFFFFFFu, widest.source.window.style);
  EXPECT_EQ(INT32_MIN, widest.source.window.xOffset);
}
