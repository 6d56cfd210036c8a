// The dialogs and closing actions in this process, pressed from a helper thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "Closing_win32.h"
#include "Dialogs_win32.h"
#include "SystemLibraries_win32.h"
#include "TestSupport_win32.h"

using namespace corvel;
using namespace corvel::test;

namespace {

int g_restarts = 0;
bool countRestart() {
    ++g_restarts;
    return true;
}

StringTable strings() {
    writer::RecordDescription d;
    d.strings = {{4, "Remove %s?"}, {5, "Files:"}, {6, "Folders:"}, {7, "Keys:"}, {11, "Y"}, {12, "N"}, {9, "YA"}, {10, "NA"}};
    const std::string plain = writer::buildPlainRecord(d);
    PlainRecord record;
    parsePlainRecord(TextBuffer(plain), record);
    return record.strings;
}

struct ClosingCase {
    bool restartNeeded;
    int answer;
    int restarts;
};

class ClosingActions : public testing::TestWithParam<ClosingCase> {};

TEST_P(ClosingActions, RestartOnlyWhenNeededAndAnsweredYes) {
    g_restarts = 0;
    setRestartFunction(&countRestart);
    bool needed = GetParam().restartNeeded;
    std::string seen;
    const bool expectQuestion = needed;
    std::thread presser([&] {
        if (!expectQuestion) return;
        HWND box = findDialog(GetCurrentProcessId(), "Cap");
        if (!box) return;
        seen = messageText(box);
        press(box, GetParam().answer);
    });
    runClosingActions(nullptr, needed, "Restart?", "Cap");
    presser.join();
    setRestartFunction(nullptr);
    EXPECT_FALSE(needed);
    EXPECT_EQ(g_restarts, GetParam().restarts);
    if (GetParam().restartNeeded) {
      EXPECT_EQ(seen, "Restart?");
    }
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
}

INSTANTIATE_TEST_SUITE_P(Answers, ClosingActions,
                         testing::Values(ClosingCase{true, IDYES, 1}, ClosingCase{true, IDNO, 0},
                                         ClosingCase{false, IDYES, 0}));

TEST(DetailsDialog, ShowsNonEmptyLogsUnderHeadings) {
    RemovalLogs logs;
    logs.files.assign("C:\\app\\locked.dll\r\n");
    logs.keys.assign("HKEY_CURRENT_USER\\Software\\App\r\n");
    const DetailsContent content = makeDetailsContent(strings(), logs, "&Close", "&Details...");
    std::string text, title, button;
    bool stillOpenAfterEscape = false;
    std::thread presser([&] {
        HWND dialog = findDialog(GetCurrentProcessId(), "Details");
        if (!dialog) return;
        text = itemText(dialog, 1009);
        title = windowText(dialog);
        button = itemText(dialog, IDOK);
        press(dialog, IDCANCEL);
        stillOpenAfterEscape = openAfterPostedMessages(dialog, IDOK);
        press(dialog, IDOK);
    });
    showDetails(GetModuleHandleA(nullptr), nullptr, content);
    presser.join();
    EXPECT_EQ(text, "Files:\r\nC:\\app\\locked.dll\r\n\r\nKeys:\r\nHKEY_CURRENT_USER\\Software\\App");
    EXPECT_EQ(title, "Details");
    EXPECT_EQ(button, "&Close");
    EXPECT_TRUE(stillOpenAfterEscape);
}

TEST(SharedFileDialog, DefaultYesHasTheFocus) {
    const StringTable table = strings();
    bool yesFocused = false;
    std::thread presser([&] {
        HWND dialog = findDialog(GetCurrentProcessId(), "Remove shared file");
        if (!dialog) return;
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
        yesFocused = info.hwndFocus == GetDlgItem(dialog, 1005);
        press(dialog, 1006);
    });
    EXPECT_EQ(askRemoveSharedFile(GetModuleHandleA(nullptr), nullptr, table, "C:\\x.dll"), 1006);
    presser.join();
    EXPECT_TRUE(yesFocused) << "Enter must answer Yes, not Yes to all";
}

TEST(SharedFileDialog, ReturnsThePressedButton) {
    const StringTable table = strings();
    for (int id : {1005, 1006, 1007, 1008}) {
        std::string text;
        std::thread presser([&] {
            HWND dialog = findDialog(GetCurrentProcessId(), "Remove shared file");
            if (!dialog) return;
            text = itemText(dialog, 1003);
            press(dialog, id);
        });
        EXPECT_EQ(askRemoveSharedFile(GetModuleHandleA(nullptr), nullptr, table, "C:\\x.dll"), id);
        presser.join();
        EXPECT_EQ(text, "Remove C:\\x.dll?");
    }
}

}  // namespace

namespace {

// The uninstaller may run from the temporary folder: a library of a system name lying beside it
// must not be loaded.
TEST(LibrarySearch, OnlyTheSystemFolderAfterStartUp) {
    HMODULE before = LoadLibraryA("corvel_versioned.dll");
    ASSERT_NE(before, nullptr) << "the test library lies beside the test";
    FreeLibrary(before);
    restrictLibrarySearch();
    EXPECT_EQ(LoadLibraryA("corvel_versioned.dll"), nullptr);
    HMODULE system = LoadLibraryA("version.dll");
    EXPECT_NE(system, nullptr);
    if (system) FreeLibrary(system);
}

}  // namespace
