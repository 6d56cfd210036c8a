#include <gtest/gtest.h>

#include "commands.h"
#include "folder_verb.h"
#include "layout.h"
#include "picture_scale.h"

namespace tessory::ui {
namespace {

TEST(RegistryPathTest, RootAndSubPath) {
  struct Case {
    const char* path;
    std::uint32_t root;
    const char* subPath;
  };
  const Case cases[] = {
      {"HKCR\\Folder\\shell\\Print listing with Tessory", kClassesRoot, "Folder\\shell\\Print listing with Tessory"},
      {"hkcr\\Folder", kClassesRoot, "Folder"},
      {"HKLM\\Software", 0u, "Software"},
      {"hkcu\\Software\\Classes", kCurrentUser, "Software\\Classes"},
      {"HKCRX\\Folder", 0u, "Folder"},
      {"HKCR", kClassesRoot, "HKCR"},
      {"\\Folder", 0u, "Folder"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RegistryRootOf(c.path), c.root) << c.path;
    EXPECT_EQ(RegistrySubPathOf(c.path), c.subPath) << c.path;
  }
}

TEST(FolderVerbTest, CommandLineAndMatch) {
  EXPECT_EQ(FolderVerbCommand("C:\\Program Files\\Tessory\\", "Tessory"),
            "\"C:\\Program Files\\Tessory\\Tessory.exe\" \"%1\"");
  EXPECT_TRUE(FolderVerbNamesProgram("\"c:\\program files\\TESSORY\\tessory.EXE\" \"%1\"",
                                     "C:\\Program Files\\Tessory\\", "Tessory"));
  EXPECT_FALSE(FolderVerbNamesProgram("\"D:\\Other\\Tessory.exe\" \"%1\"", "C:\\Program Files\\Tessory\\", "Tessory"));
  // The unquoted form of older copies reads as another copy's, so that adding rewrites it.
  EXPECT_FALSE(FolderVerbNamesProgram("C:\\T\\Tessory.exe %1", "C:\\T\\", "Tessory"));
  EXPECT_FALSE(FolderVerbNamesProgram("", "C:\\T\\", "Tessory"));
}

TEST(CommandLineTest, TailAfterTheProgramPath) {
  EXPECT_EQ(CommandTail("\"C:\\Program Files\\T\\Tessory.exe\" C:\\My Folder"), "C:\\My Folder");
  EXPECT_EQ(CommandTail("Tessory.exe   C:\\Data"), "C:\\Data");
  EXPECT_EQ(CommandTail("Tessory.exe"), "");
  EXPECT_EQ(CommandTail("\"C:\\T\\Tessory.exe\""), "");
  EXPECT_EQ(CommandTail("\"C:\\T\\Tessory.exe"), "");
}

TEST(CommandLineTest, FolderKeepsBlanksInsideAndDropsOneQuotePair) {
  EXPECT_EQ(FolderFromCommandTail("C:\\My Folder"), "C:\\My Folder");
  EXPECT_EQ(FolderFromCommandTail("\"C:\\My Folder\""), "C:\\My Folder");
  EXPECT_EQ(FolderFromCommandTail("  C:\\Data  "), "C:\\Data");
  EXPECT_EQ(FolderFromCommandTail("\""), "\"");
  EXPECT_EQ(FolderFromCommandTail("\"\""), "");
  EXPECT_EQ(FolderFromCommandTail("   "), "");
}

TEST(LayoutTest, TwipsCentringAndPreviewBrowser) {
  EXPECT_EQ(TwipsToPixels(1440, 96), 96);
  EXPECT_EQ(TwipsToPixels(7572, 96), 505);
  EXPECT_EQ(TwipsToPixels(504, 120), 42);
  EXPECT_EQ(CentredOrigin(1280, 511), 385);
  EXPECT_EQ(CentredOrigin(100, 300), -100);

  const Rect normal = PreviewBrowserRect(15000, 12000, 500);
  EXPECT_EQ(normal.left, 0);
  EXPECT_EQ(normal.top, 550);
  EXPECT_EQ(normal.width, 14900);
  EXPECT_EQ(normal.height, 11050);

  const Rect tiny = PreviewBrowserRect(60, 300, 500);
  EXPECT_EQ(tiny.width, 0);
  EXPECT_EQ(tiny.height, 0);
}

}  // namespace
}  // namespace tessory::ui

namespace tessory::ui {
namespace {

TEST(PictureScaleTest, SizeFollowsTheDpiAndScalingKeepsColoursAndClearPixels) {
  EXPECT_EQ(PictureSize(96), 16);
  EXPECT_EQ(PictureSize(120), 20);
  EXPECT_EQ(PictureSize(144), 24);
  EXPECT_EQ(PictureSize(72), 16);
  // Left half opaque red, right half clear: the far left stays red, the far right clear, and
  // no pixel gets a colour without the alpha to carry it (premultiplied).
  const std::vector<std::uint32_t> source = {0xFFFF0000, 0, 0xFFFF0000, 0};
  const std::vector<std::uint32_t> big = ScalePixels(source, 2, 2, 6, 6);
  ASSERT_EQ(big.size(), 36u);
  for (int y = 0; y < 6; ++y) {
    EXPECT_EQ(big[y * 6], 0xFFFF0000u);
    EXPECT_EQ(big[y * 6 + 5], 0u);
    for (int x = 0; x < 6; ++x) EXPECT_LE((big[y * 6 + x] >> 16) & 0xFF, big[y * 6 + x] >> 24);
  }
  // Across the edge, by hand: sample points 0, 0, 1/3, 2/3, 1, 1 of the way from red to clear.
  const std::vector<std::uint32_t> row(big.begin(), big.begin() + 6);
  EXPECT_EQ(row, (std::vector<std::uint32_t>{0xFFFF0000, 0xFFFF0000, 0xAAAA0000, 0x55550000, 0, 0}));
}

}  // namespace
}  // namespace tessory::ui
