// Running out of memory while a template window is built: every allocation in turn fails.
#include <windows.h>

#include <gtest/gtest.h>

#include "../uninstaller/AllocationLimit.h"
#include "TemplateText.h"
#include "TemplateWindow_win32.h"

using namespace corvel::tpl;

namespace {

constexpr char kTitle[] = "Out of memory test window";

int TopLevelWindowsTitled() {
  int n = 0;
  EnumThreadWindows(GetCurrentThreadId(),
                    [](HWND w, LPARAM count) {
                      char text[64] = {};
                      GetWindowTextA(w, text, sizeof text);
                      if (lstrcmpA(text, kTitle) == 0) ++*reinterpret_cast<int*>(count);
                      return TRUE;
                    },
                    reinterpret_cast<LPARAM>(&n));
  return n;
}

}  // namespace

TEST(TemplateWindowOutOfMemory, BuildFailsWithTheReadersErrorAndLeavesNoWindow) {
  CompiledTemplate compiled;
  std::string error;
  ASSERT_TRUE(ParseTemplateText(
      std::string("window style=OWN_WINDOW|WS_CAPTION width=300 height=200 font=8 face=\"Tahoma\" title=\"") +
          kTitle + "\"\n"
          "control type=label id=57 x=5 y=5 width=200 height=20 text=\"A label text long enough to allocate\"\n"
          "control type=label id=58 x=5 y=30 width=200 height=20\n"
          "        text=\"hyperlink: text=\\\"A link text long enough\\\" link=\\\"https://x.test/a/long/path\\\"\"\n"
          "control type=button id=55 x=5 y=60 width=80 height=24 style=WS_CHILD|WS_VISIBLE|WS_TABSTOP text=\"Close\"\n",
      compiled, error))
      << error;
  const std::string bytes = WriteTemplate(compiled.source);
  int failures = 0;
  bool built = false;
  for (long n = 0; n < 2000 && !built; ++n) {
    int result;
    {
      TemplateWindow window;
      corvel::test::LimitAllocations(n);
      result = BuildTemplateWindow(window, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), nullptr,
                                   GetModuleHandleW(nullptr));
      corvel::test::LimitAllocations(-1);
      if (result == kReadNoMemory) {
        EXPECT_EQ(nullptr, window.hwnd) << "allocation " << n;
        EXPECT_EQ(0, TopLevelWindowsTitled()) << "allocation " << n;
      }
    }
    if (result == kBuildOk) {
      built = true;
    } else {
      ASSERT_EQ(kReadNoMemory, result) << "allocation " << n;
      ++failures;
    }
  }
  EXPECT_TRUE(built);
  EXPECT_GT(failures, 6);

  // A handler that runs out of memory while the window initialises.
  TemplateWindow window;
  window.handlers.initialise = [](TemplateWindow&, HWND, WPARAM, LPARAM) -> bool { throw std::bad_alloc(); };
  EXPECT_EQ(kReadNoMemory, BuildTemplateWindow(window, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                               nullptr, GetModuleHandleW(nullptr)));
  EXPECT_EQ(nullptr, window.hwnd);
  EXPECT_EQ(0, TopLevelWindowsTitled());
}
