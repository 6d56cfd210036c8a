// End-to-end runs of the real CorvelUninstaller.exe with records made by the record writer,
// against Wine's registry and files. Interactive runs are driven by finding their dialogs.
#include <gtest/gtest.h>

#include <windows.h>

#include "FileSystem_win32.h"
#include "Registry_win32.h"
#include "TestSupport_win32.h"

using namespace corvel;
using namespace corvel::test;

namespace {

const char kSharedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class UninstallerRun : public testing::Test {
protected:
    std::string root;  // C:\corvel_e2e\<test>
    std::string exe;   // root\app\unins.exe
    writer::RecordDescription record;

    void SetUp() override {
        std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name) c = c == '/' ? '_' : c;
        root = "C:\\corvel_e2e\\" + name;
        removeTree(root);
        ASSERT_TRUE(makeFolders(root + "\\app"));
        exe = root + "\\app\\unins.exe";
        record.language = 1;
        record.product = "E2E";
        record.strings = {{0, "%s Uninstall"},
                          {1, "Remove %s and all of its components?"},
                          {2, "Registry check failed."},
                          {3, "Restore the backed-up files?"},
                          {4, "Remove shared file %s?"},
                          {5, "Files not removed:"},
                          {6, "Folders not removed:"},
                          {7, "Keys not removed:"},
                          {8, "Restart now?"},
                          {9, "All"},
                          {10, "None"},
                          {11, "Yes!"},
                          {12, "No!"}};
    }

    std::string file(const std::string& relative, const std::string& text = "data") {
        const std::string path = root + "\\" + relative;
        makeFolders(path.substr(0, path.rfind('\\')));
        writeText(path, text);
        return path;
    }

    // Starts the uninstaller with the record; the caller waits.
    void start(Process& process, const std::string& arguments) {
        ASSERT_TRUE(writeUninstaller(exe, record));
        ASSERT_TRUE(process.start(exe, arguments));
    }

    int run(const std::string& arguments) {
        Process process;
        start(process, arguments);
        return process.wait();
    }

    static constexpr const char* kCaption = "E2E Uninstall";
};

TEST_F(UninstallerRun, SilentRunRemovesARealisticInstallation) {
    std::vector<std::string> files;
    for (int i = 0; i < 12; ++i) {
        files.push_back(file("app\\f" + std::to_string(i) + ".txt"));
        files.push_back(file("app\\data\\d" + std::to_string(i) + ".dat"));
        files.push_back(file("app\\data\\deep\\x" + std::to_string(i) + ".bin"));
    }
    const std::string readOnly = file("app\\docs\\readme.txt");
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    files.push_back(readOnly);
    files.push_back(root + "\\app\\never-installed.txt");
    const std::string userFile = file("app\\keep\\mine.txt");
    const std::string locked = file("app\\locked.dat");
    record.files = files;
    record.files.push_back(locked);
    record.directories = {root + "\\app\\data\\deep", root + "\\app\\data", root + "\\app\\docs", root + "\\app\\keep",
                          root + "\\app\\missing"};

    const std::string last = file("shared\\last.dll"), many = file("shared\\many.dll");
    const std::string control = root + "\\shared\\control.dll";
    ASSERT_TRUE(CopyFileA((binFolder() + "corvel_versioned.dll").c_str(), control.c_str(), FALSE));
    setDword(HKEY_LOCAL_MACHINE, kSharedKey, last, 1);
    setDword(HKEY_LOCAL_MACHINE, kSharedKey, many, 3);
    setDword(HKEY_LOCAL_MACHINE, kSharedKey, control, 1);
    setString(HKEY_CURRENT_USER, "Software\\CorvelTest", "Unregistered", "");
    record.shared = {last, many, control + "|ctrl"};

    const std::string backup = file("backup\\old.bak", "old"), target = file("app\\target.dll", "new");
    record.backups = {backup + "\t" + target + "\t0\t0\t0\t0"};

    const std::string cu = "Software\\CorvelE2E\\Silent";
    setString(HKEY_CURRENT_USER, cu, "Drop", "1");
    setString(HKEY_CURRENT_USER, cu, "Keep", "1");
    setString(HKEY_CURRENT_USER, cu + "\\Plain", "v", "1");
    setString(HKEY_CURRENT_USER, cu + "\\Tree\\A\\B", "v", "1");
    setString(HKEY_CURRENT_USER, cu + "\\Busy\\Child", "v", "1");
    setString(HKEY_CURRENT_USER, cu + "\\IfEmpty\\Child", "v", "1");
    setString(HKEY_LOCAL_MACHINE, "Software\\CorvelE2E\\Silent", "v", "1");
    setString(HKEY_CLASSES_ROOT, "CorvelE2E.Silent\\shell", "", "x");
    record.registry.key("HKCR\\CorvelE2E.Silent", record::kDeleteKey | record::kDeleteTree);
    record.registry.key("HKCU\\" + cu, 0).value("Drop", 1).value("Keep", 0);
    record.registry.key("HKCU\\" + cu + "\\Plain", record::kDeleteKey);
    record.registry.key("HKCU\\" + cu + "\\Tree", record::kDeleteKey | record::kDeleteTree);
    record.registry.key("HKCU\\" + cu + "\\Busy", record::kDeleteKey);
    record.registry.key("HKCU\\" + cu + "\\IfEmpty", record::kDeleteKey | record::kDeleteIfEmpty);
    record.registry.key("HKLM\\Software\\CorvelE2E\\Silent", record::kDeleteKey).value("v", 1);
    record.registry.key("HKU\\.DEFAULT\\Software\\CorvelE2E\\Absent", record::kDeleteKey);

    HANDLE hold = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hold, INVALID_HANDLE_VALUE);
    const int code = run("/silent");
    CloseHandle(hold);
    EXPECT_EQ(code, 1);

    for (size_t i = 0; i + 1 < files.size(); ++i) EXPECT_FALSE(fileExists(files[i])) << files[i];
    EXPECT_FALSE(fileExists(root + "\\app\\data"));
    EXPECT_FALSE(fileExists(root + "\\app\\docs"));
    EXPECT_TRUE(fileExists(userFile));
    EXPECT_TRUE(fileExists(locked));
    const std::string pending = pendingRenames();
    EXPECT_NE(pending.find(locked.substr(3)), std::string::npos) << pending;

    EXPECT_FALSE(fileExists(exe)) << "the uninstaller moved out of its folder";
    EXPECT_NE(pending.find(".tmp.bak|"), std::string::npos) << pending;

    EXPECT_FALSE(fileExists(last));
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kSharedKey, last));
    EXPECT_TRUE(fileExists(many));
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, many), 2);
    EXPECT_FALSE(fileExists(control));
    EXPECT_EQ(readString(HKEY_CURRENT_USER, "Software\\CorvelTest", "Unregistered"), control);

    EXPECT_FALSE(fileExists(backup));
    EXPECT_EQ(readText(target), "new") << "silent runs never restore";

    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "CorvelE2E.Silent"));
    EXPECT_FALSE(valueExists(HKEY_CURRENT_USER, cu, "Drop"));
    EXPECT_TRUE(valueExists(HKEY_CURRENT_USER, cu, "Keep"));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, cu + "\\Plain"));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, cu + "\\Tree"));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, cu + "\\Busy\\Child"));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, cu + "\\IfEmpty\\Child"));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "Software\\CorvelE2E\\Silent"));
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\CorvelE2E");
}

TEST_F(UninstallerRun, NoRemoveKeepsTheUninstallerWhereItWas) {
    const std::string f = file("app\\a.txt");
    record.files = {f};
    EXPECT_EQ(run("/SILENT /NOREMOVE"), 1);
    EXPECT_FALSE(fileExists(f));
    EXPECT_TRUE(fileExists(exe));
    EXPECT_FALSE(fileExists(exe + ".bak"));
}

TEST_F(UninstallerRun, UninstallerInTheWindowsFolderStaysThereButIsRenamed) {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    exe = std::string(windows) + "\\corvel_e2e_unins.exe";
    DeleteFileA((exe + ".bak").c_str());
    EXPECT_EQ(run("/SILENT"), 1);
    EXPECT_FALSE(fileExists(exe));
    EXPECT_TRUE(fileExists(exe + ".bak"));
    EXPECT_NE(pendingRenames().find(exe.substr(3) + ".bak|"), std::string::npos);
    DeleteFileA((exe + ".bak").c_str());
}

TEST_F(UninstallerRun, RecordWithoutHeaderRunsSilently) {
    const std::string f = file("app\\a.txt");
    record.withHeader = false;
    record.files = {f};
    EXPECT_EQ(run(""), 1);
    EXPECT_FALSE(fileExists(f));
}

TEST_F(UninstallerRun, CorruptRecordEndsWithZero) {
    const std::string f = file("app\\a.txt");
    record.files = {f};
    ASSERT_TRUE(writeUninstaller(exe, record));
    std::string bytes;
    ASSERT_TRUE(writer::readFile(exe, bytes));
    bytes[bytes.size() - 40] ^= 0x01;
    ASSERT_TRUE(writer::writeFile(exe, bytes));
    Process process;
    ASSERT_TRUE(process.start(exe, "/SILENT"));
    EXPECT_EQ(process.wait(), 0);
    EXPECT_TRUE(fileExists(f));
}

// A trailer that names no record, and one whose offset lies past the end of the file.
TEST_F(UninstallerRun, MissingRecordOrTrailerPastTheEndSaysCorruptAndEndsWithZero) {
    std::string bytes;
    ASSERT_TRUE(writer::readFile(binFolder() + "CorvelUninstaller.exe", bytes));
    for (const std::string& trailer : {std::string(4, '\0'), std::string("\xF0\xFF\xFF\x7F", 4)}) {
        ASSERT_TRUE(writer::writeFile(exe, bytes + trailer));
        Process process;
        ASSERT_TRUE(process.start(exe, ""));
        HWND box = findDialog(process.id(), "Corvel Uninstaller");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(messageText(box), "Uninstallation information corrupt. Aborting.");
        press(box, IDOK);
        EXPECT_EQ(process.wait(), 0);
    }
}

// Also for a product name with a backslash, which no mutex name may carry as it is.
TEST_F(UninstallerRun, SecondInstanceEndsAtOnceAndNoAtConfirmationEndsWithZero) {
    const std::string f = file("app\\a.txt");
    record.files = {f};
    for (const std::string product : {"E2E", "E2E\\Slash"}) {
        record.product = product;
        Process first;
        start(first, "");
        HWND confirm = findDialog(first.id(), product + " Uninstall");
        ASSERT_NE(confirm, nullptr) << product;
        EXPECT_EQ(messageText(confirm), "Remove " + product + " and all of its components?");
        const std::string copy = root + "\\app\\second.exe";
        ASSERT_TRUE(CopyFileA(exe.c_str(), copy.c_str(), FALSE));
        Process second;
        ASSERT_TRUE(second.start(copy, "/SILENT"));
        EXPECT_EQ(second.wait(), 0) << product;
        EXPECT_TRUE(fileExists(f)) << product;
        press(confirm, IDNO);
        EXPECT_EQ(first.wait(), 0);
        EXPECT_TRUE(fileExists(f));
    }
}

// What another holder of a name does to a silent run: another kind of object under the
// mutex's name stops it; a mutex of a product whose name differs only by "\\" or "_" does not.
TEST_F(UninstallerRun, OnlyThisProductsMutexStopsARun) {
    struct Row {
        const char* product;
        const char* heldName;
        bool event;
        bool runs;
    };
    const Row rows[] = {
        {"E2E_Event", "Global\\cvun_E2E_Event_mutex", true, false},
        {"E2E\\Slash", "Global\\cvun_E2E_Slash_mutex", false, true},
        {"E2E_Slash", "Global\\cvun_E2E_Slash_mutex", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.product);
        const std::string f = file("app\\a.txt");
        record.files = {f};
        record.product = row.product;
        ASSERT_TRUE(writeUninstaller(exe, record));
        HANDLE held = row.event ? CreateEventA(nullptr, TRUE, FALSE, row.heldName) : CreateMutexA(nullptr, TRUE, row.heldName);
        ASSERT_NE(held, nullptr);
        Process run;
        ASSERT_TRUE(run.start(exe, "/SILENT /NOREMOVE"));
        EXPECT_EQ(run.wait(), row.runs ? 1 : 0);
        EXPECT_EQ(fileExists(f), !row.runs);
        CloseHandle(held);
    }
}

struct VetoCase {
    const char* runCode;
    const char* command;  // $ stands for the test folder
    const char* batch;    // contents of check.BAT, when the command names it
    bool removes;
};

class PreRemovalCommand : public UninstallerRun, public testing::WithParamInterface<VetoCase> {};

TEST_P(PreRemovalCommand, VetoRules) {
    const VetoCase& c = GetParam();
    std::string command = c.command;
    const size_t dollar = command.find('$');
    if (dollar != std::string::npos) command.replace(dollar, 1, root);
    if (c.batch) file("check.BAT", c.batch);
    const std::string f = file("app\\a.txt");
    record.files = {f};
    record.runCode = c.runCode;
    record.command = command;
    const int code = run("/SILENT");
    EXPECT_EQ(code, c.removes ? 1 : 0);
    EXPECT_EQ(fileExists(f), !c.removes);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, PreRemovalCommand,
    testing::Values(VetoCase{"7", "C:\\windows\\system32\\cmd.EXE /c exit 0", nullptr, false},
                    VetoCase{"7", "C:\\windows\\system32\\cmd.EXE /c exit 1", nullptr, true},
                    VetoCase{"100", "C:\\windows\\system32\\cmd.EXE /c exit 0", nullptr, true},
                    VetoCase{"7", "$\\check.BAT", "@exit 0\r\n", true},
                    VetoCase{"7", "$\\check.BAT", "@exit 1\r\n", false},
                    VetoCase{"7", "C:\\windows\\system32\\cmd.EXE /c $\\check.BAT", "@exit 0\r\n", false}));

}  // namespace

namespace {

using InteractiveRun = UninstallerRun;

TEST_F(InteractiveRun, SharedFileDialogAnswers) {
    std::string s[5];
    for (int i = 0; i < 5; ++i) {
        s[i] = file("shared\\s" + std::to_string(i) + ".dll");
        setDword(HKEY_LOCAL_MACHINE, kSharedKey, s[i], 1);
    }
    record.shared = {s[0], s[0], s[1], s[2], s[3], s[4]};
    Process process;
    start(process, "/NOQUERY");

    HWND dialog = findDialog(process.id(), "Remove shared file");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(itemText(dialog, 1003), "Remove shared file " + s[0] + "?");
    EXPECT_EQ(itemText(dialog, 1005), "Yes!");
    EXPECT_EQ(itemText(dialog, 1006), "No!");
    EXPECT_EQ(itemText(dialog, 1007), "All");
    EXPECT_EQ(itemText(dialog, 1008), "None");
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    press(dialog, IDCANCEL);
    EXPECT_TRUE(openAfterPostedMessages(dialog, 1006)) << "Escape and the close box leave the question open";
    pressAndWait(dialog, 1006);

    auto next = [&](const std::string& path) {
        const std::string want = "Remove shared file " + path + "?";
        for (int i = 0; i < 200; ++i) {
            HWND d = findDialog(process.id(), "Remove shared file", 100);
            if (d && itemText(d, 1003) == want) return d;
        }
        return static_cast<HWND>(nullptr);
    };
    dialog = next(s[1]);
    ASSERT_NE(dialog, nullptr) << "the second listing of s0 must not ask again";
    pressAndWait(dialog, 1005);
    dialog = next(s[2]);
    ASSERT_NE(dialog, nullptr);
    press(dialog, 1007);
    EXPECT_EQ(process.wait(), 1);

    EXPECT_TRUE(fileExists(s[0]));
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, s[0]), 0);
    for (int i = 1; i < 5; ++i) {
        EXPECT_FALSE(fileExists(s[i])) << s[i];
        EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, kSharedKey, s[i])) << s[i];
    }
}

TEST_F(InteractiveRun, NoToAllKeepsTheRestWithCountZero) {
    const std::string a = file("shared\\a.dll"), b = file("shared\\b.dll");
    setDword(HKEY_LOCAL_MACHINE, kSharedKey, a, 1);
    setDword(HKEY_LOCAL_MACHINE, kSharedKey, b, 0);
    record.shared = {a, b};
    Process process;
    start(process, "/NOQUERY");
    HWND dialog = findDialog(process.id(), "Remove shared file");
    ASSERT_NE(dialog, nullptr);
    press(dialog, 1008);
    EXPECT_EQ(process.wait(), 1);
    EXPECT_TRUE(fileExists(a) && fileExists(b));
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, a), 0);
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, b), 0);
}

TEST_F(InteractiveRun, ConfirmRestoreUnchangedBackupAndDeclineRestart) {
    const std::string dll = binFolder() + "corvel_versioned.dll";
    const std::string same = root + "\\app\\same.dll", changed = root + "\\app\\changed.dll";
    ASSERT_TRUE(CopyFileA(dll.c_str(), same.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(dll.c_str(), changed.c_str(), FALSE));
    // The installed files' time and version, written out here: the run reads them itself.
    const uint32_t high = 0x01D2A3B4, low = 0x5C6D7E80, ms = 0x00020005, ls = 17;
    for (const std::string& path : {same, changed}) {
        HANDLE f = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        const FILETIME written = {low, high};
        ASSERT_TRUE(SetFileTime(f, nullptr, nullptr, &written));
        CloseHandle(f);
    }
    const std::string b1 = file("backup\\same.bak", "restored"), b2 = file("backup\\changed.bak", "stale");
    const std::string b3 = file("backup\\gone.bak", "recreated");
    auto line = [&](const std::string& backup, const std::string& target, uint32_t timeLow) {
        return backup + "\t" + target + "\t" + std::to_string(ms) + "\t" + std::to_string(ls) + "\t" +
               std::to_string(high) + "\t" + std::to_string(timeLow);
    };
    record.backups = {line(b1, same, low), line(b2, changed, low + 1), line(b3, root + "\\app\\gone.dll", 0)};
    const std::string locked = file("app\\locked.dat");
    record.files = {locked};
    HANDLE hold = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);

    Process process;
    start(process, "");
    HWND box = findDialog(process.id(), kCaption);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageText(box), "Remove E2E and all of its components?");
    pressAndWait(box, IDYES);
    box = findDialog(process.id(), kCaption);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageText(box), "Restore the backed-up files?");
    pressAndWait(box, IDYES);
    box = findDialog(process.id(), kCaption);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageText(box), "Restart now?");
    press(box, IDNO);
    EXPECT_EQ(process.wait(), 1);
    CloseHandle(hold);

    EXPECT_EQ(readText(same), "restored");
    EXPECT_NE(readText(changed), "stale");
    EXPECT_EQ(readText(root + "\\app\\gone.dll"), "recreated");
    EXPECT_FALSE(fileExists(b1) || fileExists(b2) || fileExists(b3));
}

}  // namespace
