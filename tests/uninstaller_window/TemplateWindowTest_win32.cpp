#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ProgressWindow.h"
#include "TemplateText.h"
#include "TemplateWindow_win32.h"

using namespace corvel::tpl;

namespace {

// When this executable runs under the probe's name it is the target of a link click:
// it leaves a marker file and ends before any test runs.
const bool kLinkProbe = [] {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string self(path);
  if (self.size() < 13 || _stricmp(self.c_str() + self.size() - 13, "linkprobe.exe") != 0) return false;
  std::string marker = self.substr(0, self.size() - 4) + ".clicked";
  FILE* f = std::fopen(marker.c_str(), "w");
  if (f) std::fclose(f);
  ExitProcess(0);
}();

constexpr COLORREF kFrameColours[5] = {RGB(10, 20, 30), RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200),
                                       RGB(200, 200, 0)};
constexpr COLORREF kLinkColour = RGB(0, 0, 160);

// A 24-bit bottom-up BMP of `frames` solid frames side by side.
std::string StripBmp(int frameWidth, int height, int frames) {
  int width = frameWidth * frames, stride = (width * 3 + 3) & ~3;
  std::string b(54 + static_cast<size_t>(stride) * height, '\0');
  auto put32 = [&b](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, static_cast<uint32_t>(b.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  b[26] = 1;
  b[28] = 24;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      COLORREF c = kFrameColours[(x / frameWidth) % 5];
      size_t at = 54 + static_cast<size_t>(y) * stride + x * 3;
      b[at] = static_cast<char>(GetBValue(c));
      b[at + 1] = static_cast<char>(GetGValue(c));
      b[at + 2] = static_cast<char>(GetRValue(c));
    }
  return b;
}

// A 16 x 16 icon with one 32-bit image.
std::string SmallIco() {
  std::string ico(6 + 16, '\0');
  ico[2] = 1;
  ico[4] = 1;
  std::string dib(40 + 16 * 16 * 4 + 16 * 4, '\0');
  auto put32 = [](std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
  };
  put32(dib, 0, 40);
  put32(dib, 4, 16);
  put32(dib, 8, 32);
  dib[12] = 1;
  dib[14] = 32;
  for (size_t i = 40; i < 40 + 16 * 16 * 4; i += 4) dib[i + 2] = dib[i + 3] = '\xFF';
  ico[6] = 16;
  ico[7] = 16;
  ico[10] = 1;
  ico[12] = 32;
  put32(ico, 14, static_cast<uint32_t>(dib.size()));
  put32(ico, 18, 22);
  return ico + dib;
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Lets messages run until the condition holds, for as long as a busy machine may need; timing
// itself is not asserted.
bool PumpUntil(const std::function<bool()>& condition) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 60000;) {
    Pump();
    if (condition()) return true;
    Sleep(10);
  }
  Pump();
  return condition();
}

RECT ClientRectOf(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool AnyPixel(HWND child, COLORREF colour) {
  RECT r;
  GetClientRect(child, &r);
  HDC dc = GetDC(child);
  bool found = false;
  for (int y = 0; y < r.bottom && !found; ++y)
    for (int x = 0; x < r.right && !found; ++x) found = GetPixel(dc, x, y) == colour;
  ReleaseDC(child, dc);
  return found;
}

COLORREF PixelAt(HWND child, int x, int y) {
  HDC dc = GetDC(child);
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(child, dc);
  return c;
}

// Looks for the dotted focus rectangle around the button's text, where the template window draws it.
bool HasFocusRectangle(HWND button) {
  RECT client, extent = {0, 0, 0, 0};
  GetClientRect(button, &client);
  wchar_t text[32] = {};
  int n = GetWindowTextW(button, text, 32);
  HDC dc = GetDC(button);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(button, WM_GETFONT, 0, 0)));
  DrawTextW(dc, text, n, &extent, DT_SINGLELINE | DT_CALCRECT);
  SelectObject(dc, old);
  int fw = extent.right + 6, fh = extent.bottom + 4;
  int left = (client.right - fw) / 2, top = (client.bottom - fh) / 2;
  COLORREF frame = GetPixel(dc, 1, 1);
  bool dotted = GetPixel(dc, left, top) != frame || GetPixel(dc, left + 1, top) != frame;
  ReleaseDC(button, dc);
  return dotted;
}

const char kWindowText[] =
    "version 5\n"
    "window style=OWN_WINDOW|WS_CAPTION|WS_SYSMENU placement=4 width=400 height=300 font=9\n"
    "       face=\"Tahoma\" title=\"Template test\"\n"
    "control type=label id=57 x=100 y=50 width=80 height=20 exstyle=BOLD\n"
    "        text=\"<LangID=1>One</LangID=1><LangID=2>Two</LangID=2>\"\n"
    "control type=label id=58 x=10 y=80 width=120 height=20 colour=0xA00000\n"
    "        text=\"hyperlink: text=\\\"Visit\\\" link=\\\"LINK\\\"\"\n"
    "control type=button id=55 x=10 y=120 width=40 height=24 style=WS_CHILD|WS_VISIBLE|BS_OWNERDRAW\n"
    "        background=0xFFFFFF image=5 text=\"\"\n"
    "control type=button id=54 x=60 y=120 width=40 height=24 style=WS_CHILD|WS_VISIBLE|BS_OWNERDRAW\n"
    "        image=4 text=\"Go\"\n"
    "control type=edit id=60 x=10 y=160 width=100 height=20 style=WS_CHILD|WS_VISIBLE|ES_READONLY\n"
    "        colour=0x010203 background=0x040506\n"
    "control type=listbox id=61 x=120 y=160 width=100 height=40 colour=0x111111 background=0x222222\n"
    "control type=richedit id=62 x=230 y=160 width=100 height=40 background=0x333333\n"
    "control type=label subtype=bitmap id=63 x=10 y=210 width=30 height=15 style=WS_CHILD|WS_VISIBLE|SS_BITMAP\n"
    "        image=5\n"
    "control type=label subtype=icon id=64 x=50 y=210 width=16 height=16 style=WS_CHILD|WS_VISIBLE|SS_ICON\n"
    "        image=6 background=0x0000FF\n"
    "control type=absent id=65\n"
    "control type=treeview id=66 x=230 y=210 width=60 height=40\n"
    "control type=checkbox id=67 x=300 y=80 width=60 height=20 colour=0x0A0B0C text=\"Check\"\n";

class TemplateWindowTest : public ::testing::Test {
 protected:
  void Build(std::string text = kWindowText) {
    size_t link = text.find("LINK");
    if (link != std::string::npos) text.replace(link, 4, Escaped(ProbePath()));
    CompiledTemplate compiled;
    std::string error;
    ASSERT_TRUE(ParseTemplateText(text, compiled, error)) << error;
    bytes_ = WriteTemplate(compiled.source);
    std::vector<std::pair<int32_t, std::string>> table = {
        {5, StripBmp(40, 24, 5)}, {4, StripBmp(40, 24, 4)}, {6, SmallIco()}};
    table.insert(table.end(), imageBlockExtra_.begin(), imageBlockExtra_.end());
    imageBlock_ = WriteImageTable(table);
    images_.load(corvel::TextBuffer(imageBlock_));
    window_.images = &images_;
    ASSERT_EQ(kBuildOk, BuildTemplateWindow(window_, reinterpret_cast<const uint8_t*>(bytes_.data()),
                                            bytes_.size(), nullptr, GetModuleHandleW(nullptr)));
    SetForegroundWindow(window_.hwnd);
    UpdateWindow(window_.hwnd);
    Pump();
  }
  HWND Child(int id) { return FindControlById(window_, id)->window; }
  static std::string Escaped(const std::string& path) {
    std::string out;
    for (char c : path) out += (c == '\\') ? std::string("\\\\") : std::string(1, c);
    return out;
  }
  static std::string ProbePath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self(path);
    return self.substr(0, self.find_last_of('\\') + 1) + "linkprobe.exe";
  }
  void MoveMouseTo(HWND child, int dx, int dy) {
    RECT r;
    GetWindowRect(child, &r);
    SetCursorPos(r.left + dx, r.top + dy);
    POINT p = {r.left + dx, r.top + dy};
    ScreenToClient(window_.hwnd, &p);
    // The pointer warp may not report a move by itself under every X server.
    PostMessageW(window_.hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
  }

  std::string bytes_, imageBlock_;
  std::vector<std::pair<int32_t, std::string>> imageBlockExtra_;
  corvel::ImageTable images_;
  TemplateWindow window_;
};

TEST_F(TemplateWindowTest, BuildsWindowAndControlsAsTheTemplateSays) {
  Build();
  char name[64] = {};
  GetClassNameA(window_.hwnd, name, sizeof name);
  EXPECT_STREQ("CorvelDialogTemplate", name);
  EXPECT_TRUE(IsWindowVisible(window_.hwnd));
  EXPECT_EQ(Child(55), GetFocus());
  wchar_t title[64] = {};
  GetWindowTextW(window_.hwnd, title, 64);
  EXPECT_STREQ(L"Template test", title);

  // This process runs at 96 dots per inch (the 120 case runs in a child process below).
  ASSERT_EQ(1000, window_.scale);
  RECT label = ClientRectOf(Child(57));
  EXPECT_EQ(100, label.left);
  EXPECT_EQ(50, label.top);
  EXPECT_EQ(80, label.right - label.left);
  EXPECT_EQ(20, label.bottom - label.top);
  // The template's 400 x 300 include a 2-pixel frame and an 18-pixel caption, whatever the
  // system's own frame and caption sizes are.
  RECT client;
  GetClientRect(window_.hwnd, &client);
  EXPECT_EQ(396, client.right);
  EXPECT_EQ(278, client.bottom);

  const struct {
    int id;
    const char* cls;
  } classes[] = {{57, "Static"}, {55, "Button"}, {60, "Edit"}, {61, "ListBox"}, {62, "RichEdit20A"},
                 {66, "SysTreeView32"}, {67, "Button"}};
  for (auto c : classes) {
    GetClassNameA(Child(c.id), name, sizeof name);
    EXPECT_STREQ(c.cls, name) << c.id;
  }
  EXPECT_EQ(nullptr, Child(65));

  wchar_t text[64] = {};
  GetWindowTextW(Child(57), text, 64);
  EXPECT_STREQ(L"One", text);
  GetWindowTextW(Child(58), text, 64);
  EXPECT_STREQ(L"Visit", text);
  EXPECT_EQ(1, GetWindowLongPtrW(Child(58), GWLP_USERDATA));

  LOGFONTW bold = {}, link = {};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Child(57), WM_GETFONT, 0, 0)), sizeof bold, &bold);
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Child(58), WM_GETFONT, 0, 0)), sizeof link, &link);
  EXPECT_EQ(FW_BOLD, bold.lfWeight);
  EXPECT_FALSE(bold.lfUnderline);
  EXPECT_TRUE(link.lfUnderline);
  EXPECT_EQ(-12, link.lfHeight);  // 9 points at 96 dots per inch

  BITMAP bitmap = {};
  auto image = reinterpret_cast<HBITMAP>(SendMessageW(Child(63), STM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_NE(nullptr, image);
  GetObjectW(image, sizeof bitmap, &bitmap);
  EXPECT_EQ(30, bitmap.bmWidth);  // stretched from the 200-pixel strip
  EXPECT_NE(0, SendMessageW(Child(64), STM_GETIMAGE, IMAGE_ICON, 0));
  EXPECT_EQ(200, FindControlById(window_, 55)->stripWidth);
}

TEST_F(TemplateWindowTest, PlacementEightWithOffsetsEndsInsideTheCorner) {
  std::string text = kWindowText;
  text.replace(text.find("placement=4"), 11, "placement=8 x=-10 y=-10");
  Build(text);
  RECT work, r;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(window_.hwnd, &r);
  EXPECT_EQ(work.right - 10, r.right);
  EXPECT_EQ(work.bottom - 10, r.bottom);
}

TEST_F(TemplateWindowTest, AnswersColourRequestsByControlType) {
  Build();
  HDC dc = CreateCompatibleDC(nullptr);
  const struct {
    UINT message;
    int id;
    bool answered;
    COLORREF text;
    int bkMode;
    COLORREF background;
  } cases[] = {
      {WM_CTLCOLORSTATIC, 60, true, 0x010203, OPAQUE, 0x040506},  // read-only edit
      {WM_CTLCOLOREDIT, 60, true, 0x010203, OPAQUE, 0x040506},
      {WM_CTLCOLOREDIT, 61, false, 0, 0, 0},
      {WM_CTLCOLORLISTBOX, 61, true, 0x111111, OPAQUE, 0x222222},
      {WM_CTLCOLORLISTBOX, 60, false, 0, 0, 0},
      {WM_CTLCOLORSTATIC, 58, true, 0xA00000, TRANSPARENT, 0},
      {WM_CTLCOLORBTN, 67, true, 0x0A0B0C, TRANSPARENT, 0},
  };
  for (auto c : cases) {
    SetTextColor(dc, 0x777777);
    SetBkColor(dc, 0x888888);
    SetBkMode(dc, OPAQUE);
    HWND child = Child(c.id);
    LRESULT brush = TemplateWindowProc(window_.hwnd, c.message, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(child));
    if (!c.answered) {
      EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), GetTextColor(dc)) << c.id;
      EXPECT_NE(reinterpret_cast<LRESULT>(FindControlById(window_, c.id)->brush), brush) << c.id;
      continue;
    }
    EXPECT_EQ(reinterpret_cast<LRESULT>(FindControlById(window_, c.id)->brush), brush) << c.id;
    EXPECT_EQ(c.text, GetTextColor(dc)) << c.id;
    EXPECT_EQ(c.bkMode, GetBkMode(dc)) << c.id;
    if (c.bkMode == OPAQUE) {
      EXPECT_EQ(c.background, GetBkColor(dc)) << c.id;
    }
  }
  DeleteDC(dc);
}

TEST_F(TemplateWindowTest, LinkTurnsRedUnderTheMouseAndBackAfterLeaving) {
  Build();
  HWND link = Child(58);
  ASSERT_TRUE(PumpUntil([&] { return AnyPixel(link, kLinkColour); }));
  MoveMouseTo(link, 5, 5);
  EXPECT_TRUE(PumpUntil([&] { return AnyPixel(link, RGB(255, 0, 0)); }));
  EXPECT_EQ(FindControlById(window_, 58), window_.controls[window_.hover.hot].get());

  // Off the window entirely: no mouse move arrives there, the hover timer notices.
  SetCursorPos(1, 1);
  EXPECT_TRUE(PumpUntil([&] { return !AnyPixel(link, RGB(255, 0, 0)) && AnyPixel(link, kLinkColour); }));
  EXPECT_EQ(0u, window_.hover.flags & kHoverHot);
}

TEST_F(TemplateWindowTest, ClickOnHotLinkOpensItsTarget) {
  Build();
  std::string probe = ProbePath(), marker = probe.substr(0, probe.size() - 4) + ".clicked";
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  ASSERT_TRUE(CopyFileA(self, probe.c_str(), FALSE));
  DeleteFileA(marker.c_str());

  SendMessageW(window_.hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(300, 250));  // nothing hot: nothing opens
  MoveMouseTo(Child(58), 5, 5);
  ASSERT_TRUE(PumpUntil([&] { return (window_.hover.flags & kHoverHot) != 0; }));
  RECT r = ClientRectOf(Child(58));
  SendMessageW(window_.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 5, r.top + 5));
  EXPECT_TRUE(PumpUntil([&] { return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }));
  SetCursorPos(1, 1);
  DeleteFileA(marker.c_str());
  // The started program may still hold its file for a moment.
  for (const DWORD start = GetTickCount(); !DeleteFileA(probe.c_str()) && GetTickCount() - start < 60000;) Sleep(20);
}

TEST_F(TemplateWindowTest, ImageButtonShowsTheFrameForItsState) {
  Build();
  HWND five = Child(55), four = Child(54);
  auto frameOf = [](HWND button) {
    COLORREF c = PixelAt(button, 1, 1);
    for (int i = 0; i < 5; ++i)
      if (c == kFrameColours[i]) return i;
    return -1;
  };
  SetFocus(nullptr);
  InvalidateRect(five, nullptr, TRUE);
  EXPECT_TRUE(PumpUntil([&] { return frameOf(five) == 0; }));

  SetFocus(five);
  EXPECT_TRUE(PumpUntil([&] { return frameOf(five) == 4; })) << frameOf(five);

  SetFocus(four);  // four frames: no focus frame, frame 0 and a focus rectangle
  EXPECT_TRUE(PumpUntil([&] { return frameOf(four) == 0; }));
  EXPECT_TRUE(HasFocusRectangle(four));
  EXPECT_FALSE(HasFocusRectangle(five));

  SendMessageW(five, BM_SETSTATE, TRUE, 0);
  EXPECT_TRUE(PumpUntil([&] { return frameOf(five) == 1; }));
  SendMessageW(five, BM_SETSTATE, FALSE, 0);

  EnableWindow(five, FALSE);
  EXPECT_TRUE(PumpUntil([&] { return frameOf(five) == 2; }));
  EnableWindow(five, TRUE);

  SetFocus(four);
  // The pointer over the button: the cursor request it sends up makes it hot.
  MoveMouseTo(five, 5, 5);
  EXPECT_TRUE(PumpUntil([&] { return frameOf(five) == 3; }));
  SetCursorPos(1, 1);
  EXPECT_TRUE(PumpUntil([&] { return frameOf(five) == 0; }));
}

TEST(TemplateWindowBuild, RefusesBadTemplatesWithoutAWindow) {
  TemplateWindow window;
  const uint8_t junk[] = {'R', 'T', 'X', 0, 0, 0, 5};
  EXPECT_EQ(kReadNoMagic, BuildTemplateWindow(window, junk, sizeof junk, nullptr, GetModuleHandleW(nullptr)));
  EXPECT_EQ(nullptr, window.hwnd);

  CompiledTemplate compiled;
  std::string error;
  ASSERT_TRUE(ParseTemplateText("window style=WS_CAPTION\ncontrol type=label text=\"x\"\n", compiled, error));
  std::string bytes = WriteTemplate(compiled.source);
  TemplateWindow noParent;
  EXPECT_EQ(kBuildNoWindow, BuildTemplateWindow(noParent, reinterpret_cast<const uint8_t*>(bytes.data()),
                                                bytes.size(), nullptr, GetModuleHandleW(nullptr)));
}

TEST(TemplateWindowBuild, UniqueTemporaryFileSkipsNamesInUse) {
  std::string first = UniqueTempFile(".ico");
  EXPECT_NE(std::string::npos, first.find("\\zqw"));
  EXPECT_EQ(".ico", first.substr(first.size() - 4));
  HANDLE f = CreateFileA(first.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, f);
  CloseHandle(f);
  EXPECT_NE(first, UniqueTempFile(".ico"));
  DeleteFileA(first.c_str());
}

// A 32 x 32 and a 16 x 16 image of different colours: the loader must pick the one loading the
// file with the default size picks.
std::string TwoSizeIco() {
  auto dib = [](int side, uint8_t blue, uint8_t red) {
    std::string d(40 + side * side * 4 + side * 4, '\0');
    d[0] = 40;
    d[4] = static_cast<char>(side);
    d[8] = static_cast<char>(2 * side);
    d[12] = 1;
    d[14] = 32;
    for (size_t i = 40; i < 40 + static_cast<size_t>(side) * side * 4; i += 4) {
      d[i] = static_cast<char>(blue);
      d[i + 2] = static_cast<char>(red);
      d[i + 3] = '\xFF';
    }
    return d;
  };
  std::string small = dib(16, 0, 0xFF), large = dib(32, 0xFF, 0);
  std::string ico(6 + 32, '\0');
  ico[2] = 1;
  ico[4] = 2;
  auto entry = [&ico](size_t at, int side, size_t bytes, size_t offset) {
    ico[at] = ico[at + 1] = static_cast<char>(side);
    ico[at + 4] = 1;
    ico[at + 6] = 32;
    for (int i = 0; i < 4; ++i) {
      ico[at + 8 + i] = static_cast<char>(bytes >> (8 * i));
      ico[at + 12 + i] = static_cast<char>(offset >> (8 * i));
    }
  };
  entry(6, 16, small.size(), 38);
  entry(22, 32, large.size(), 38 + small.size());
  return ico + small + large;
}

std::vector<COLORREF> Drawn(HICON icon) {
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 48, -48, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP surface = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, surface);
  RECT all = {0, 0, 48, 48};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawIconEx(dc, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
  GdiFlush();
  std::vector<COLORREF> pixels(static_cast<const COLORREF*>(bits), static_cast<const COLORREF*>(bits) + 48 * 48);
  SelectObject(dc, old);
  DeleteObject(surface);
  DeleteDC(dc);
  return pixels;
}

int TempIconFiles() {
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((std::string(folder) + "zqw*.ico").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do ++n;
  while (FindNextFileA(search, &found));
  FindClose(search);
  return n;
}

TEST_F(TemplateWindowTest, ImagesByKeyIconsFromMemoryAndBitmapButtons) {
  const std::string ico = TwoSizeIco();
  imageBlockExtra_ = {{7, ico}};
  const int filesBefore = TempIconFiles();
  // With no usable temporary folder an icon that went through a file could not load at all.
  char tmp[MAX_PATH] = {}, temp[MAX_PATH] = {};
  GetEnvironmentVariableA("TMP", tmp, MAX_PATH);
  GetEnvironmentVariableA("TEMP", temp, MAX_PATH);
  SetEnvironmentVariableA("TMP", "C:\\no\\such\\folder");
  SetEnvironmentVariableA("TEMP", "C:\\no\\such\\folder");
  Build(
      "window style=OWN_WINDOW|WS_CAPTION width=300 height=200 font=8 face=\"Tahoma\"\n"
      "control type=label subtype=icon id=1 x=5 y=5 width=32 height=32 style=WS_CHILD|WS_VISIBLE|SS_ICON image=-1\n"
      "control type=label subtype=icon id=2 x=45 y=5 width=32 height=32 style=WS_CHILD|WS_VISIBLE|SS_ICON image=-2\n"
      "control type=label subtype=icon id=3 x=85 y=5 width=32 height=32 style=WS_CHILD|WS_VISIBLE|SS_ICON image=7\n"
      "control type=label subtype=bitmap id=4 x=5 y=45 width=30 height=15 style=WS_CHILD|WS_VISIBLE|SS_BITMAP image=-1\n"
      "control type=label subtype=bitmap id=5 x=45 y=45 width=30 height=15 style=WS_CHILD|WS_VISIBLE|SS_BITMAP image=-2\n"
      "control type=button id=6 x=5 y=80 width=40 height=24 style=WS_CHILD|WS_VISIBLE|BS_BITMAP image=5\n");
  SetEnvironmentVariableA("TMP", tmp[0] ? tmp : nullptr);
  SetEnvironmentVariableA("TEMP", temp[0] ? temp : nullptr);

  HICON own = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(101));
  ASSERT_NE(nullptr, own);
  EXPECT_EQ(reinterpret_cast<LRESULT>(own), SendMessageW(Child(1), STM_GETIMAGE, IMAGE_ICON, 0));
  EXPECT_EQ(0, SendMessageW(Child(2), STM_GETIMAGE, IMAGE_ICON, 0));
  EXPECT_EQ(0, SendMessageW(Child(4), STM_GETIMAGE, IMAGE_BITMAP, 0));
  EXPECT_EQ(0, SendMessageW(Child(5), STM_GETIMAGE, IMAGE_BITMAP, 0));

  auto fromMemory = reinterpret_cast<HICON>(SendMessageW(Child(3), STM_GETIMAGE, IMAGE_ICON, 0));
  ASSERT_NE(nullptr, fromMemory);
  EXPECT_EQ(filesBefore, TempIconFiles());
  // The same icon loaded from a file the way the system's file loader does it draws the same.
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  std::string path = std::string(folder) + "two-size-test.ico";
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fwrite(ico.data(), 1, ico.size(), f);
  std::fclose(f);
  auto fromFile = static_cast<HICON>(LoadImageA(nullptr, path.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
  DeleteFileA(path.c_str());
  ASSERT_NE(nullptr, fromFile);
  std::vector<COLORREF> expected = Drawn(fromFile);
  EXPECT_EQ(0x0000FFu, expected[0] & 0xFFFFFF);  // the 32 x 32 blue image, in DIB byte order
  EXPECT_EQ(expected, Drawn(fromMemory));
  DestroyIcon(fromFile);

  // A bitmap button shows its image unstretched: the whole 200-pixel strip.
  auto bitmap = reinterpret_cast<HBITMAP>(SendMessageW(Child(6), BM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_NE(nullptr, bitmap);
  BITMAP b = {};
  GetObjectW(bitmap, sizeof b, &b);
  EXPECT_EQ(200, b.bmWidth);
  EXPECT_EQ(24, b.bmHeight);
}

// Records what the run's three handlers receive.
class RecordingEvents : public corvel::ProgressWindowEvents {
 public:
  bool onInitialise(corvel::ProgressWindow& w) override {
    productText = w.controlTextUtf8(corvel::control::kProduct);
    w.showControl(corvel::control::kEndNotice, false);
    w.enableControl(corvel::control::kClose, false);
    return true;
  }
  bool onClose(corvel::ProgressWindow&) override {
    ++closes;
    return true;
  }
  bool onCommand(corvel::ProgressWindow&, int id) override {
    commands.push_back(id);
    return id == corvel::control::kClose;
  }
  std::string productText;
  int closes = 0;
  std::vector<int> commands;
};

TEST(ProgressWindowContract, HandsCloseCommandAndInitialiseToTheRun) {
  CompiledTemplate compiled;
  std::string error;
  ASSERT_TRUE(ParseTemplateText(
      "window style=OWN_WINDOW|WS_CAPTION|WS_SYSMENU width=300 height=200 font=8 face=\"Tahoma\"\n"
      "control type=label id=57 x=5 y=5 width=200 height=20 text=\"Removing %s \\xC3\\xA4\"\n"
      "control type=label id=71 x=5 y=30 width=200 height=20 text=\"Done\"\n"
      "control type=button id=55 x=5 y=60 width=80 height=24 style=WS_CHILD|WS_VISIBLE|WS_TABSTOP text=\"Close\"\n",
      compiled, error))
      << error;
  std::string bytes = WriteTemplate(compiled.source);
  corvel::WindowSource source;
  source.windowTemplate = {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()};
  source.language = 1;
  source.captionUtf8 = "Caption \xC3\xB6";
  RecordingEvents events;
  auto window = corvel::createProgressWindow();
  ASSERT_EQ(1, window->build(source, events, GetModuleHandleW(nullptr)));
  auto hwnd = static_cast<HWND>(window->handle());

  EXPECT_EQ("Removing %s \xC3\xA4", events.productText);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(hwnd, 71)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, 55)));
  wchar_t title[32] = {};
  GetWindowTextW(hwnd, title, 32);
  EXPECT_STREQ(L"Caption \x00F6", title);

  window->setControlTextUtf8(57, "Removing Tessory");
  EXPECT_EQ("Removing Tessory", window->controlTextUtf8(57));
  window->enableControl(55, true);
  window->makeDefaultAndFocus(55);
  EXPECT_EQ(GetDlgItem(hwnd, 55), GetFocus());
  EXPECT_TRUE(GetWindowLongW(GetDlgItem(hwnd, 55), GWL_STYLE) & BS_DEFPUSHBUTTON);

  EXPECT_EQ(1, SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(55, 0), 0));
  SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(55, BN_SETFOCUS), 0);
  SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(54, 0), 0);
  EXPECT_EQ((std::vector<int>{55, 54}), events.commands);
  SendMessageW(hwnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(1, events.closes);
  EXPECT_TRUE(IsWindow(hwnd));
}

}  // namespace

namespace {

constexpr char kDpiChildVariable[] = "CORVEL_DPI_CHILD";

// The screen's dots per inch are read once per process: the 120 case runs in a child process
// started while the setting says 120.
class Dpi120 : public TemplateWindowTest {};

TEST_F(Dpi120, ControlsAndWindowScale) {
  if (!getenv(kDpiChildVariable)) GTEST_SKIP() << "runs in the child process of DotsPerInch.At120";
  EXPECT_EQ(1250, window_.scale);
  Build();
  RECT label = ClientRectOf(Child(57));
  EXPECT_EQ(125, label.left);
  EXPECT_EQ(62, label.top);
  EXPECT_EQ(100, label.right - label.left);
  EXPECT_EQ(25, label.bottom - label.top);
  // 400 x 300 become 500 x 370 (the 18-pixel caption unscaled); less the assumed frame and
  // caption, the client area is 496 x 348 whatever the system's frame sizes at this scale.
  RECT client;
  GetClientRect(window_.hwnd, &client);
  EXPECT_EQ(496, client.right);
  EXPECT_EQ(348, client.bottom);
  LOGFONTW font = {};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Child(57), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(-15, font.lfHeight);  // 9 points at 120 dots per inch
}

TEST(DotsPerInch, At120) {
  if (getenv(kDpiChildVariable)) GTEST_SKIP();
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
  DWORD old = 0, size = sizeof old, type = 0;
  bool hadOld = RegQueryValueExA(key, "LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&old), &size) ==
                ERROR_SUCCESS;
  DWORD dpi = 120;
  RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);

  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command = std::string("\"") + self + "\" --gtest_filter=Dpi120.*";
  SetEnvironmentVariableA(kDpiChildVariable, "1");
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  SetEnvironmentVariableA(kDpiChildVariable, nullptr);
  DWORD code = 99;
  if (started) {
    WaitForSingleObject(pi.hProcess, 60000);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  if (hadOld)
    RegSetValueExA(key, "LogPixels", 0, type, reinterpret_cast<const BYTE*>(&old), sizeof old);
  else
    RegDeleteValueA(key, "LogPixels");
  RegCloseKey(key);
  ASSERT_TRUE(started);
  EXPECT_EQ(0u, code) << "the child's failures are printed above";
}

}  // namespace
