// An interactive run with the progress window built from a template carried in the record.
#include <gtest/gtest.h>

#include <windows.h>

#include "TemplateText.h"
#include "TemplateWriter.h"
#include "TestSupport_win32.h"

using namespace corvel;
using namespace corvel::test;

namespace {

const char kTemplate[] =
    "window style=OWN_WINDOW|WS_CAPTION|WS_SYSMENU placement=4 width=420 height=260 font=8 face=\"Tahoma\"\n"
    "control type=label id=57 x=10 y=10 width=300 height=20 style=WS_CHILD|WS_VISIBLE text=\"Removing %s\"\n"
    "control type=label id=61 x=10 y=40 width=60 height=16 style=WS_CHILD|WS_VISIBLE text=\"ok\"\n"
    "control type=label id=62 x=10 y=60 width=60 height=16 style=WS_CHILD|WS_VISIBLE text=\"ok\"\n"
    "control type=label id=63 x=10 y=80 width=60 height=16 style=WS_CHILD|WS_VISIBLE text=\"ok\"\n"
    "control type=label id=64 x=10 y=100 width=60 height=16 style=WS_CHILD|WS_VISIBLE text=\"ok\"\n"
    "control type=label id=65 x=10 y=120 width=60 height=16 style=WS_CHILD|WS_VISIBLE text=\"ok\"\n"
    "control type=label id=71 x=10 y=140 width=200 height=16 style=WS_CHILD|WS_VISIBLE text=\"Done\"\n"
    "control type=label id=72 x=10 y=160 width=200 height=16 style=WS_CHILD|WS_VISIBLE text=\"Not everything\"\n"
    "control type=button id=54 x=10 y=190 width=100 height=24 style=WS_CHILD|WS_VISIBLE|WS_TABSTOP text=\"&Details...\"\n"
    "control type=button id=55 x=300 y=190 width=100 height=24 style=WS_CHILD|WS_VISIBLE|WS_TABSTOP text=\"Close\"\n";

bool visible(HWND window, int id) { return IsWindowVisible(GetDlgItem(window, id)) != 0; }

TEST(ProgressWindowRun, MarksDetailsAndClose) {
    const std::string root = "C:\\corvel_e2e\\ProgressWindowRun";
    removeTree(root);
    ASSERT_TRUE(makeFolders(root + "\\app\\keep"));
    const std::string installed = root + "\\app\\a.txt";
    writeText(installed, "x");
    writeText(root + "\\app\\keep\\mine.txt", "user data");

    tpl::CompiledTemplate compiled;
    std::string error;
    ASSERT_TRUE(tpl::ParseTemplateText(kTemplate, compiled, error)) << error;
    writer::RecordDescription record;
    record.language = 1;
    record.product = "E2E";
    record.strings = {{0, "%s Uninstall"}, {6, "Folders not removed:"}};
    record.windowTemplate = tpl::WriteTemplate(compiled.source);
    record.files = {installed};
    record.directories = {root + "\\app\\keep"};
    const std::string exe = root + "\\app\\unins.exe";
    ASSERT_TRUE(writeUninstaller(exe, record));

    Process process;
    ASSERT_TRUE(process.start(exe, "/NOQUERY /NOREMOVE"));
    HWND window = findWindow(process.id(), "CorvelDialogTemplate", "E2E Uninstall");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitForRunEnd(window));
    EXPECT_EQ(itemText(window, 57), "Removing E2E");
    for (int id : {61, 62, 63, 64, 65, 71, 72}) EXPECT_TRUE(visible(window, id)) << id;
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, 54)));
    EXPECT_FALSE(fileExists(installed));

    press(window, 54);
    HWND details = findDialog(process.id(), "Details");
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(itemText(details, 1009), "Folders not removed:\r\n" + root + "\\app\\keep");
    EXPECT_EQ(itemText(details, IDOK), "Close");
    pressAndWait(details, IDOK);

    press(window, 55);
    EXPECT_EQ(process.wait(), 1);
    EXPECT_TRUE(fileExists(exe));
}

TEST(ProgressWindowRun, NothingLeftKeepsDetailsDisabled) {
    const std::string root = "C:\\corvel_e2e\\ProgressWindowClean";
    removeTree(root);
    ASSERT_TRUE(makeFolders(root + "\\app"));
    tpl::CompiledTemplate compiled;
    std::string error;
    ASSERT_TRUE(tpl::ParseTemplateText(kTemplate, compiled, error)) << error;
    writer::RecordDescription record;
    record.product = "Clean";
    record.strings = {{0, "%s"}};
    record.windowTemplate = tpl::WriteTemplate(compiled.source);
    const std::string exe = root + "\\app\\unins.exe";
    ASSERT_TRUE(writeUninstaller(exe, record));
    Process process;
    ASSERT_TRUE(process.start(exe, "/NOQUERY /NOREMOVE"));
    HWND window = findWindow(process.id(), "CorvelDialogTemplate", "Clean");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(waitForRunEnd(window));
    EXPECT_TRUE(visible(window, 71));
    EXPECT_FALSE(visible(window, 72));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 54)));
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(process.wait(), 1);
}

}  // namespace
