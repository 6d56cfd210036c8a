// An interactive uninstallation with the shipped progress-window template: confirmation,
// stage marks, the restore question mid-run, Details and Close.
#include <windows.h>

#include <gtest/gtest.h>

#include "TemplateText.h"
#include "TestSupport_win32.h"

using namespace corvel;
using namespace corvel::test;

namespace {

bool Visible(HWND window, int id) { return IsWindowVisible(GetDlgItem(window, id)) != 0; }

bool LoadDefaultTemplate(writer::RecordDescription& record, std::string& error) {
  const std::string folder = CORVEL_DEFAULT_TEMPLATE_DIR;
  std::string text;
  if (!writer::readFile(folder + "progress.tpl.txt", text)) {
    error = "cannot read the default template";
    return false;
  }
  tpl::CompiledTemplate compiled;
  if (!tpl::ParseTemplateText(text, compiled, error)) return false;
  record.windowTemplate = tpl::WriteTemplate(compiled.source);
  for (const auto& [key, file] : compiled.imageFiles) {
    std::string bytes;
    if (!writer::readFile(folder + file, bytes)) {
      error = "cannot read " + file;
      return false;
    }
    record.images.emplace_back(key, bytes);
  }
  return true;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus;
}

TEST(DefaultTemplateRun, ConfirmedRunShowsStagesAndEndsWithClose) {
  const std::string root = "C:\\corvel_e2e\\DefaultTemplate";
  removeTree(root);
  ASSERT_TRUE(makeFolders(root + "\\app\\keep"));
  ASSERT_TRUE(makeFolders(root + "\\backup"));
  const std::string installed = root + "\\app\\tool.exe";
  writeText(installed, "x");
  writeText(root + "\\app\\keep\\notes.txt", "user data");
  writeText(root + "\\backup\\old.dll", "old");

  writer::RecordDescription record;
  std::string error;
  ASSERT_TRUE(LoadDefaultTemplate(record, error)) << error;
  record.language = 1;
  record.product = "Sample Tool";
  record.strings = {{0, "%s Uninstall"},
                    {1, "Remove %s and all of its components?"},
                    {3, "Restore the files that setup replaced?"},
                    {6, "Folders not removed:"}};
  record.files = {installed};
  record.backups = {root + "\\backup\\old.dll\t" + root + "\\app\\old.dll\t0\t0\t0\t0"};
  record.directories = {root + "\\app\\keep"};
  const std::string exe = root + "\\app\\unins.exe";
  ASSERT_TRUE(writeUninstaller(exe, record));

  Process process;
  ASSERT_TRUE(process.start(exe, "/NOREMOVE"));
  HWND confirm = findDialog(process.id(), "Sample Tool Uninstall");
  ASSERT_NE(nullptr, confirm);
  EXPECT_EQ("Remove Sample Tool and all of its components?", messageText(confirm));
  pressAndWait(confirm, IDYES);

  // The restore question comes after the shared files: two marks shown, the rest still hidden.
  HWND restore = findDialog(process.id(), "Sample Tool Uninstall");
  ASSERT_NE(nullptr, restore);
  HWND window = findWindow(process.id(), "CorvelDialogTemplate", "Sample Tool Uninstall");
  ASSERT_NE(nullptr, window);
  EXPECT_EQ("Removing Sample Tool from your computer.", itemText(window, 57));
  EXPECT_TRUE(Visible(window, 61));
  EXPECT_TRUE(Visible(window, 62));
  for (int id : {63, 64, 65, 71, 72}) EXPECT_FALSE(Visible(window, id)) << id;
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 55)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 54)));
  pressAndWait(restore, IDNO);

  ASSERT_TRUE(waitForRunEnd(window));
  for (int id : {61, 62, 63, 64, 65, 71, 72}) EXPECT_TRUE(Visible(window, id)) << id;
  EXPECT_EQ(GetDlgItem(window, 55), FocusOf(window));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, 54)));
  EXPECT_FALSE(fileExists(installed));
  EXPECT_FALSE(fileExists(root + "\\backup\\old.dll"));

  PostMessageA(GetDlgItem(window, 54), BM_CLICK, 0, 0);
  HWND details = findDialog(process.id(), "Details");
  ASSERT_NE(nullptr, details);
  EXPECT_NE(std::string::npos, windowText(GetDlgItem(details, 1009)).find(root + "\\app\\keep"));
  pressAndWait(details, IDOK);

  PostMessageA(GetDlgItem(window, 55), BM_CLICK, 0, 0);
  EXPECT_EQ(1, process.wait());
  removeTree(root);
}

// Without the declaration the system reports 96 dots per inch and stretches the finished
// window as a picture; with it the template's own scaling applies.
TEST(DefaultTemplateRun, ProgramDeclaresSystemDpiAwareness) {
  HMODULE program = LoadLibraryExA((binFolder() + "CorvelUninstaller.exe").c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, program);
  HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  ASSERT_NE(nullptr, found);
  const char* text = static_cast<const char*>(LockResource(LoadResource(program, found)));
  std::string manifest(text, SizeofResource(program, found));
  FreeLibrary(program);
  size_t at = manifest.find("<windowsSettings>");
  ASSERT_NE(std::string::npos, at);
  EXPECT_NE(std::string::npos, manifest.find("WindowsSettings\">true</dpiAware>", at));
}

TEST(DefaultTemplateRun, TemplateThatCannotBeBuiltStillRemovesAndEnds) {
  const std::string root = "C:\\corvel_e2e\\BrokenTemplate";
  removeTree(root);
  ASSERT_TRUE(makeFolders(root + "\\app"));
  const std::string installed = root + "\\app\\tool.exe";
  writeText(installed, "x");
  writer::RecordDescription record;
  record.product = "Broken Template";
  record.strings = {{0, "%s"}};
  record.windowTemplate = "RTX not a template";
  record.files = {installed};
  const std::string exe = root + "\\app\\unins.exe";
  ASSERT_TRUE(writeUninstaller(exe, record));
  Process process;
  ASSERT_TRUE(process.start(exe, "/NOQUERY /NOREMOVE"));
  EXPECT_EQ(1, process.wait());
  EXPECT_FALSE(fileExists(installed));
  removeTree(root);
}

}  // namespace
