// Runs that must not lose data or hide a failure: repeated runs, locked restore targets,
// refused restart deletions, links, COM unregistration, and the program's own start.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <oleauto.h>
#include <sddl.h>
#include <winioctl.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "FileSystem_win32.h"
#include "Handles_win32.h"
#include "Journal_win32.h"
#include "Registry_win32.h"
#include "RestartDelete_win32.h"
#include "TestSupport_win32.h"

using namespace corvel;
using namespace corvel::test;

namespace {

const char kSharedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class SafeRun : public testing::Test {
protected:
    std::string root, exe;
    writer::RecordDescription record;

    void SetUp() override {
        root = std::string("C:\\corvel_safe\\") + testing::UnitTest::GetInstance()->current_test_info()->name();
        removeTree(root);
        ASSERT_TRUE(makeFolders(root + "\\app"));
        exe = root + "\\app\\unins.exe";
        record.product = "Safe";
        record.strings = {{0, "%s Uninstall"}, {1, "Remove %s?"}, {2, "Registry check failed."},
                          {3, "Restore?"},     {5, "Files:"},     {8, "Restart?"}};
    }
    std::string file(const std::string& relative, const std::string& text = "data") {
        const std::string path = root + "\\" + relative;
        makeFolders(path.substr(0, path.rfind('\\')));
        writeText(path, text);
        return path;
    }
    int run(const std::string& arguments) {
        Process process;
        if (!process.start(exe, arguments)) return -2;
        return process.wait();
    }
};

TEST_F(SafeRun, StoppedAfterSharedStageThenRepeatedLowersEachCountOnce) {
    const std::string two = file("shared\\two.dll"), five = file("shared\\five.dll");
    setDword(HKEY_LOCAL_MACHINE, kSharedKey, two, 2);
    setDword(HKEY_LOCAL_MACHINE, kSharedKey, five, 5);
    record.shared = {two, five, five};
    const std::string f = file("app\\a.txt"), backup = file("backup\\b.bak"), target = file("app\\t.dll", "new");
    record.files = {f};
    record.backups = {backup + "\t" + target + "\t0\t0\t0\t0"};
    ASSERT_TRUE(writeUninstaller(exe, record, "CorvelUninstallerStoppable.exe"));

    SetEnvironmentVariableA("CORVEL_STOP_AFTER", "shared");
    EXPECT_EQ(run("/SILENT /NOREMOVE"), 3) << "the test build ends after the shared stage";
    SetEnvironmentVariableA("CORVEL_STOP_AFTER", nullptr);
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, two), 1);
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, five), 3);
    EXPECT_TRUE(fileExists(f)) << "stopped before the files";

    EXPECT_EQ(run("/SILENT /NOREMOVE"), 1);
    EXPECT_EQ(run("/SILENT /NOREMOVE"), 1);
    EXPECT_TRUE(fileExists(two)) << "its count must not reach zero a second time";
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, two), 1);
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, five), 3);
    EXPECT_FALSE(fileExists(f));
    EXPECT_FALSE(fileExists(backup));

    // The same record appended to a new copy is a new installation: its counts go down again.
    const std::string copy = root + "\\app\\unins2.exe";
    ASSERT_TRUE(writeUninstaller(copy, record));
    exe = copy;
    EXPECT_EQ(run("/SILENT /NOREMOVE"), 1);
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, five), 1);
}

TEST_F(SafeRun, StoppedInTheMiddleOfTheSharedStageResumesAtTheNextLine) {
    const std::string a = file("shared\\a.dll"), b = file("shared\\b.dll"), c = file("shared\\c.dll");
    for (const std::string& path : {a, b, c}) setDword(HKEY_LOCAL_MACHINE, kSharedKey, path, 4);
    record.shared = {a, b, c};
    ASSERT_TRUE(writeUninstaller(exe, record, "CorvelUninstallerStoppable.exe"));
    SetEnvironmentVariableA("CORVEL_STOP_AFTER", "shared:2");
    EXPECT_EQ(run("/SILENT /NOREMOVE"), 3) << "the test build ends after line 2 of 3";
    SetEnvironmentVariableA("CORVEL_STOP_AFTER", nullptr);
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, a), 3);
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, b), 3);
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, c), 4);
    EXPECT_EQ(run("/SILENT /NOREMOVE"), 1);
    EXPECT_EQ(run("/SILENT /NOREMOVE"), 1);
    for (const std::string& path : {a, b, c}) EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, path), 3) << path;
}

TEST_F(SafeRun, FolderNameOutsideTheCodePageStillUninstalls) {
    const std::string f = file("app\\a.txt");
    record.files = {f};
    ASSERT_TRUE(writeUninstaller(exe, record));
    char ansi[8] = {};
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, 0, L"\u0416\u6587", -1, ansi, sizeof ansi, nullptr, &lossy);
    if (!lossy) GTEST_SKIP() << "this code page holds the folder's name";
    const std::wstring folder = std::wstring(root.begin(), root.end()) + L"\\\u0416\u6587";
    const std::wstring moved = folder + L"\\unins.exe";
    // The scratch folder's clean-up works by ANSI names: this one is removed here.
    DeleteFileW(moved.c_str());
    RemoveDirectoryW(folder.c_str());
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(MoveFileW(std::wstring(exe.begin(), exe.end()).c_str(), moved.c_str()));
    std::wstring command = L"\"" + moved + L"\" /SILENT";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    ASSERT_EQ(WaitForSingleObject(info.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    EXPECT_EQ(code, 1u) << "the record was read";
    EXPECT_FALSE(fileExists(f));
    EXPECT_EQ(GetFileAttributesW(moved.c_str()), INVALID_FILE_ATTRIBUTES) << "moved out of its folder";
    DeleteFileW(moved.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST_F(SafeRun, RenamedFolderKeepsTheJournalAndACopyOverItIsAReinstall) {
    const std::string three = file("shared\\three.dll");
    setDword(HKEY_LOCAL_MACHINE, kSharedKey, three, 3);
    record.shared = {three};
    ASSERT_TRUE(writeUninstaller(exe, record));
    ASSERT_TRUE(writeUninstaller(root + "\\fresh.exe", record)) << "the same uninstaller, for the reinstall below";
    EXPECT_EQ(run("/SILENT /NOREMOVE"), 1);
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, three), 2);

    // The same file at a new path (a renamed folder, or another drive letter): still done.
    ASSERT_TRUE(MoveFileA((root + "\\app").c_str(), (root + "\\moved").c_str()));
    exe = root + "\\moved\\unins.exe";
    EXPECT_EQ(run("/SILENT /NOREMOVE"), 1);
    EXPECT_EQ(run("/SILENT /NOREMOVE"), 1);
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, three), 2) << "lowered once across the rename";

    // A reinstall copies the same uninstaller over the old one (same file, same write time)
    // and raises the count again: the next run lowers it again.
    setDword(HKEY_LOCAL_MACHINE, kSharedKey, three, 3);
    ASSERT_TRUE(CopyFileA((root + "\\fresh.exe").c_str(), exe.c_str(), FALSE));
    EXPECT_EQ(run("/SILENT /NOREMOVE"), 1);
    EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kSharedKey, three), 2);
}

TEST(JournalLookup, FindsAFileByIdWhereverItIsAndKnowsWhenItIsGone) {
    const std::string folder = "C:\\corvel_safe\\lookup";
    removeTree(folder);
    ASSERT_TRUE(makeFolders(folder + "\\a"));
    ASSERT_TRUE(writeText(folder + "\\a\\unins.exe", "x"));
    const FileIdentity before = fileIdentity(L"C:\\corvel_safe\\lookup\\a\\unins.exe");
    ASSERT_TRUE(before.known);
    ASSERT_TRUE(MoveFileA((folder + "\\a").c_str(), (folder + "\\b").c_str()));
    const FileIdentity after = fileIdentity(L"C:\\corvel_safe\\lookup\\b\\unins.exe");
    EXPECT_EQ(after.fileIndex, before.fileIndex);
    EXPECT_EQ(after.changeTime, before.changeTime) << "a renamed folder leaves the file as it was";
    VolumeFileLookup lookup;
    const JournalIdentity id{before.volumeSerial, before.fileIndex, before.lastWrite};
    const FileLookup present = lookup.find(id);
    ASSERT_TRUE(DeleteFileA((folder + "\\b\\unins.exe").c_str()));
    const FileLookup gone = lookup.find(id);
    RecordProperty("lookup", present == FileLookup::kUnknown ? "no open by id here" : "open by id");
    if (present == FileLookup::kUnknown) {
        EXPECT_EQ(gone, FileLookup::kUnknown) << "without open by id nothing is known gone";
    } else {
        EXPECT_EQ(present, FileLookup::kPresent);
        EXPECT_EQ(gone, FileLookup::kGone);
    }
    EXPECT_EQ(lookup.find(JournalIdentity{before.volumeSerial ^ 0x5A5A5A5Au, before.fileIndex, before.lastWrite}),
              FileLookup::kUnknown) << "an absent volume keeps the entry";
}

TEST(JournalPruning, GoneEntriesGoThenTheEmptyKeysAbove) {
    struct Lookup : JournalFileLookup {
        FileLookup answer = FileLookup::kGone;
        FileLookup find(const JournalIdentity& id) override { return id.fileIndex == 2 ? FileLookup::kUnknown : answer; }
    } files;
    const std::string root = kJournalRoot;
    const std::string completeNoPath = "AF63DC4C8601EC8C-1234ABCD-0000000000000001-01D9000000000007";
    const std::string doubtful = "AF63DC4C8601EC8C-1234ABCD-0000000000000002-01D9000000000007";
    const std::string own = "AF63DC4C8601EC8C-1234ABCD-0000000000000003-01D9000000000007";
    setDword(HKEY_LOCAL_MACHINE, root + "\\" + completeNoPath, "Stages", 0x9F);
    setString(HKEY_LOCAL_MACHINE, root + "\\" + doubtful, "Path", "Z:\\away\\unins.exe");
    setString(HKEY_LOCAL_MACHINE, root + "\\" + own, "Path", "C:\\nowhere\\unins.exe");
    pruneJournal(own, files);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, root + "\\" + completeNoPath));
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, root + "\\" + doubtful));
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, root + "\\" + own)) << "this run's own entry is never pruned";

    // Every file gone: the journal's keys go as well.
    files.answer = FileLookup::kGone;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (root + "\\" + doubtful).c_str());
    pruneJournal(std::string(), files);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, root));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kJournalParent));
}

TEST_F(SafeRun, RegistryCheckFailureSaysString2AndChangesNothing) {
    const std::string f = file("app\\a.txt");
    record.files = {f};
    const std::string key = "Software\\CorvelSafe\\Denied";
    setString(HKEY_CURRENT_USER, key, "v", "1");
    // Reading only: opening it for change is refused, and a value of it is listed.
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, WRITE_DAC, &k), ERROR_SUCCESS);
    EXPLICIT_ACCESS_A access = {};
    BuildExplicitAccessWithNameA(&access, const_cast<char*>("EVERYONE"), KEY_READ, SET_ACCESS, NO_INHERITANCE);
    PACL acl = nullptr;
    ASSERT_EQ(SetEntriesInAclA(1, &access, nullptr, &acl), ERROR_SUCCESS);
    SetSecurityInfo(k, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                    acl, nullptr);
    LocalFree(acl);
    RegCloseKey(k);
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS) {
        RegCloseKey(k);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\CorvelSafe");
        GTEST_SKIP() << "this Wine does not enforce registry permissions";
    }
    record.registry.key("HKCU\\" + key, record::kDeleteKey).value("v", 1);
    ASSERT_TRUE(writeUninstaller(exe, record));
    Process process;
    ASSERT_TRUE(process.start(exe, "/NOQUERY"));
    HWND box = findDialog(process.id(), "Safe Uninstall");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageText(box), "Registry check failed.");
    press(box, IDOK);
    EXPECT_EQ(process.wait(), 0);
    EXPECT_TRUE(fileExists(f));
    EXPECT_TRUE(valueExists(HKEY_CURRENT_USER, key, "v"));
}

TEST_F(SafeRun, LockedRestoreTargetNeverLosesItsBackup) {
    const std::string backup = file("backup\\t.bak", "original"), target = file("app\\t.dll", "installed");
    record.backups = {backup + "\t" + target + "\t0\t0\t0\t0"};
    // Earlier runs' requests for the same paths must not decide the checks below.
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", "PendingFileRenameOperations");
    HANDLE hold = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hold, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(writeUninstaller(exe, record));
    Process process;
    ASSERT_TRUE(process.start(exe, "/NOQUERY /NOREMOVE"));
    HWND box = findDialog(process.id(), "Safe Uninstall");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageText(box), "Restore?");
    pressAndWait(box, IDYES);
    // The target is held without sharing: the restore waits for the restart, which is offered.
    box = findDialog(process.id(), "Safe Uninstall");
    ASSERT_NE(box, nullptr) << "no restart offered";
    EXPECT_EQ(messageText(box), "Restart?");
    press(box, IDNO);
    EXPECT_EQ(process.wait(), 1);
    CloseHandle(hold);
    EXPECT_EQ(readText(target), "installed") << "left whole until the restart";
    EXPECT_EQ(readText(backup), "original") << "the backup itself waits for the restart";
    // One move of the backup over the target; nothing is deleted at the restart.
    const std::string pending = pendingRenames();
    const std::string move = backup.substr(2) + "|!\\??\\" + target;
    EXPECT_NE(pending.find(move), std::string::npos) << pending;
    EXPECT_EQ(pending.find(backup.substr(2) + "||"), std::string::npos) << pending;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((root + "\\app\\cvr*").c_str(), &found);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "the copy is deleted at once";
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

TEST(DeepPaths, FilesAndFoldersPastMaxPathAreRemoved) {
    std::string deep = "C:\\corvel_safe\\deep";
    removeTree(deep);
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    std::vector<std::string> folders;
    while (deep.size() < 300) {
        deep += "\\" + std::string(40, 'd');
        folders.push_back(deep);
        // A run stopped part-way leaves the tree, which the ANSI clean-up cannot reach.
        ASSERT_TRUE(CreateDirectoryW(longPath(deep).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
            << deep.size();
    }
    const std::string file = deep + "\\a.txt";
    SetFileAttributesW(longPath(file).c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE h = CreateFileW(longPath(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_EQ(longPath("C:\\short"), L"C:\\short");
    EXPECT_EQ(longPath(file).compare(0, 7, L"\\\\?\\C:\\"), 0);
    EXPECT_EQ(longPath("\\\\srv\\share\\" + std::string(300, 'x')).compare(0, 14, L"\\\\?\\UNC\\srv\\sh"), 0);

    // A backup in the deep folder is restored over its (missing) target beside it.
    auto wideText = [](const std::string& path, const char* text) {
        UniqueHandle h(CreateFileW(longPath(path).c_str(), text ? GENERIC_WRITE : GENERIC_READ, 0, nullptr,
                                   text ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr));
        char buffer[64] = {};
        DWORD done = 0;
        if (!h.valid()) return std::string("<missing>");
        if (text) WriteFile(h.get(), text, lstrlenA(text), &done, nullptr);
        if (!text) ReadFile(h.get(), buffer, sizeof buffer - 1, &done, nullptr);
        return std::string(buffer, text ? 0 : done);
    };
    // A target there that the installer left unchanged (a library of version 2.5.0.17 and its
    // recorded write time) is put back too: its version and time are read at that depth.
    const std::string backup = deep + "\\t.bak", target = deep + "\\t.dll";
    const std::string versioned = deep + "\\v.dll", versionedBackup = deep + "\\v.bak";
    wideText(backup, "original");
    wideText(versionedBackup, "original v");
    char library[MAX_PATH] = {};
    GetModuleFileNameA(GetModuleHandleA(nullptr), library, MAX_PATH);
    strcpy(strrchr(library, '\\') + 1, "corvel_versioned.dll");
    ASSERT_TRUE(CopyFileW(longPath(library).c_str(), longPath(versioned).c_str(), FALSE));
    FILETIME written = {};
    {
        UniqueHandle h(CreateFileW(longPath(versioned).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(h.valid() && GetFileTime(h.get(), nullptr, nullptr, &written));
    }
    const std::string backups = backup + "\t" + target + "\t0\t0\t0\t0\r\n" + versionedBackup + "\t" + versioned +
                                "\t131077\t17\t" + std::to_string(written.dwHighDateTime) + "\t" +
                                std::to_string(written.dwLowDateTime) + "\r\n";
    Win32FileSystem fs;
    RemovalLogs logs;
    processBackups(TextBuffer(backups.c_str()), fs, true, logs);
    EXPECT_EQ(wideText(target, nullptr), "original");
    EXPECT_EQ(wideText(backup, nullptr), "<missing>");
    EXPECT_EQ(wideText(versioned, nullptr), "original v");
    EXPECT_EQ(wideText(versionedBackup, nullptr), "<missing>");
    removeFiles(TextBuffer((file + "\r\n" + target + "\r\n" + versioned + "\r\n").c_str()), fs, logs);
    std::string directories;
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) directories += *it + "\r\n";
    removeDirectories(TextBuffer(directories.c_str()), fs, logs);
    EXPECT_EQ(GetFileAttributesW(longPath(file).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(longPath(folders.front()).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(logs.files.empty()) << logs.files.str();
    EXPECT_TRUE(logs.directories.empty()) << logs.directories.str();
}

TEST(SharedCountValues, OnlyADwordIsACount) {
    setDword(HKEY_LOCAL_MACHINE, kSharedKey, "C:\\corvel_safe\\dword.dll", 3);
    setString(HKEY_LOCAL_MACHINE, kSharedKey, "C:\\corvel_safe\\text.dll", "3");
    const unsigned char eight[8] = {3};
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    RegSetValueExA(key, "C:\\corvel_safe\\binary.dll", 0, REG_BINARY, eight, sizeof eight);
    RegCloseKey(key);
    Win32SharedCounts counts;
    ASSERT_TRUE(counts.open());
    const std::pair<const char*, SharedCounts::Read> rows[] = {
        {"C:\\corvel_safe\\dword.dll", SharedCounts::Read::kCount},
        {"C:\\corvel_safe\\text.dll", SharedCounts::Read::kUnreadable},
        {"C:\\corvel_safe\\binary.dll", SharedCounts::Read::kUnreadable},
        {"C:\\corvel_safe\\none.dll", SharedCounts::Read::kMissing},
    };
    for (const auto& row : rows) {
        uint32_t count = 0;
        EXPECT_EQ(counts.read(row.first, count), row.second) << row.first;
        if (row.second == SharedCounts::Read::kCount) {
            EXPECT_EQ(count, 3u);
        }
    }
}

int g_flushes = 0;
BOOL WINAPI countFlush(HANDLE file) {
    ++g_flushes;
    return FlushFileBuffers(file);
}
BOOL WINAPI failFlush(HANDLE) {
    ++g_flushes;
    SetLastError(ERROR_IO_DEVICE);
    return FALSE;
}

DWORD fixedCopySeed() { return 0x1234; }

// A restored backup's copy is flushed through the handle that wrote it, read-only backup or
// not; a copy that cannot be flushed never replaces anything. A file already at the copy's
// first name (planted there, say, by someone who may write to the folder) is left alone: the
// copy takes another name.
TEST(BackupCopy, RenamedOverTheTargetOnlyOnceFlushed) {
    struct Row {
        FlushFunction flush;
        bool readOnly;
        bool restored;
        bool planted;
    };
    const Row rows[] = {{&countFlush, true, true, false},
                        {&countFlush, false, true, false},
                        {&failFlush, false, false, false},
                        {&countFlush, false, true, true}};
    const std::string folder = "C:\\corvel_safe\\copy";
    const std::string planted = folder + "\\app\\cvr00001234.tmp";
    for (const Row& row : rows) {
        removeTree(folder);
        ASSERT_TRUE(makeFolders(folder + "\\app"));
        const std::string backup = folder + "\\t.bak", target = folder + "\\app\\t.dll";
        // The target is gone, so the backup is restored.
        ASSERT_TRUE(writeText(backup, "original"));
        if (row.readOnly) SetFileAttributesA(backup.c_str(), FILE_ATTRIBUTE_READONLY);
        if (row.planted) {
            ASSERT_TRUE(writeText(planted, "planted"));
        }
        g_flushes = 0;
        setFlushFunction(row.flush);
        setCopyNameSeed(&fixedCopySeed);
        Win32FileSystem fs;
        RemovalLogs logs;
        processBackups(TextBuffer((backup + "\t" + target + "\t0\t0\t0\t0\r\n").c_str()), fs, true, logs);
        setFlushFunction(nullptr);
        setCopyNameSeed(nullptr);
        EXPECT_EQ(g_flushes, 1) << row.readOnly;
        EXPECT_EQ(readText(target), row.restored ? "original" : "<missing>");
        EXPECT_EQ(fileExists(backup), !row.restored);
        EXPECT_EQ(logs.files.str(), row.restored ? "" : target + " <- " + backup + "\r\n");
        EXPECT_EQ(readText(planted), row.planted ? "planted" : "<missing>");
        DeleteFileA(planted.c_str());
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((folder + "\\app\\cvr*").c_str(), &found);
        EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "no copy is left behind";
        if (find != INVALID_HANDLE_VALUE) FindClose(find);
        SetFileAttributesA(backup.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// The functions the program imports by name, as "DLL!Function" (DLL upper-cased), read from
// its import table; PE32 and PE32+ alike.
std::vector<std::string> importsOf(const std::string& exe) {
    const std::string bytes = readText(exe);
    std::vector<std::string> out;
    auto u32 = [&](size_t at) -> uint32_t { return at + 4 <= bytes.size() ? *reinterpret_cast<const uint32_t*>(&bytes[at]) : 0; };
    auto u16 = [&](size_t at) -> uint16_t { return at + 2 <= bytes.size() ? *reinterpret_cast<const uint16_t*>(&bytes[at]) : 0; };
    const size_t pe = u32(0x3C), optional = pe + 24;
    const bool plus = u16(optional) == 0x20B;
    const uint32_t importRva = u32(optional + (plus ? 120 : 104));
    const size_t sections = optional + u16(pe + 20);
    auto offset = [&](uint32_t rva) -> size_t {
        for (int i = 0; i < u16(pe + 6); ++i) {
            const size_t at = sections + i * 40;
            const uint32_t va = u32(at + 12), size = u32(at + 16), raw = u32(at + 20);
            if (rva >= va && rva < va + size) return raw + (rva - va);
        }
        return 0;
    };
    for (size_t d = offset(importRva); d && u32(d + 12); d += 20) {
        std::string dll = bytes.c_str() + offset(u32(d + 12));
        CharUpperBuffA(&dll[0], static_cast<DWORD>(dll.size()));
        for (size_t t = offset(u32(d) ? u32(d) : u32(d + 16));; t += plus ? 8 : 4) {
            const uint64_t entry = plus ? (static_cast<uint64_t>(u32(t + 4)) << 32 | u32(t)) : u32(t);
            if (!entry) break;
            if (entry >> (plus ? 63 : 31)) continue;  // by ordinal
            out.push_back(dll + "!" + (bytes.c_str() + offset(static_cast<uint32_t>(entry)) + 2));
        }
    }
    return out;
}

// Every function the program imports must be on the oldest Windows it claims, Windows Vista
// (the toolchain's thread library, linked in, imports GetTickCount64): functions of later
// systems are looked up at run time. The list is written out by hand from Vista's exports.
TEST(ProgramResources, ImportsOnlyWhatTheOldestSupportedWindowsHas) {
    const std::string oldest =
        " ADVAPI32.DLL!AdjustTokenPrivileges ADVAPI32.DLL!LookupPrivilegeValueA ADVAPI32.DLL!OpenProcessToken"
        " ADVAPI32.DLL!RegCloseKey ADVAPI32.DLL!RegCreateKeyExA ADVAPI32.DLL!RegDeleteKeyA ADVAPI32.DLL!RegDeleteValueA"
        " ADVAPI32.DLL!RegEnumKeyExA ADVAPI32.DLL!RegEnumValueA ADVAPI32.DLL!RegFlushKey ADVAPI32.DLL!RegOpenKeyExA"
        " ADVAPI32.DLL!RegQueryInfoKeyA ADVAPI32.DLL!RegQueryValueExA ADVAPI32.DLL!RegSetValueExA ADVAPI32.DLL!RegSetValueExW"
        " GDI32.DLL!BitBlt GDI32.DLL!CreateCompatibleBitmap GDI32.DLL!CreateCompatibleDC GDI32.DLL!CreateDIBitmap"
        " GDI32.DLL!CreateFontA GDI32.DLL!CreateSolidBrush GDI32.DLL!DeleteDC GDI32.DLL!DeleteObject GDI32.DLL!GetDeviceCaps"
        " GDI32.DLL!GetStockObject GDI32.DLL!SelectObject GDI32.DLL!SetBkColor GDI32.DLL!SetBkMode GDI32.DLL!SetBrushOrgEx"
        " GDI32.DLL!SetStretchBltMode GDI32.DLL!SetTextColor GDI32.DLL!StretchBlt"
        " KERNEL32.DLL!AddVectoredExceptionHandler KERNEL32.DLL!CloseHandle KERNEL32.DLL!CreateEventA KERNEL32.DLL!CreateFileA"
        " KERNEL32.DLL!CreateFileW KERNEL32.DLL!CreateMutexA KERNEL32.DLL!CreateProcessA KERNEL32.DLL!CreateSemaphoreA"
        " KERNEL32.DLL!DeleteCriticalSection KERNEL32.DLL!DeleteFileA KERNEL32.DLL!DeleteFileW KERNEL32.DLL!DeviceIoControl"
        " KERNEL32.DLL!DuplicateHandle KERNEL32.DLL!EnterCriticalSection KERNEL32.DLL!FlushFileBuffers KERNEL32.DLL!FreeLibrary"
        " KERNEL32.DLL!GetCommandLineA KERNEL32.DLL!GetCurrentDirectoryA KERNEL32.DLL!GetCurrentProcess"
        " KERNEL32.DLL!GetCurrentProcessId KERNEL32.DLL!GetCurrentThread KERNEL32.DLL!GetCurrentThreadId"
        " KERNEL32.DLL!GetExitCodeProcess KERNEL32.DLL!GetFileAttributesA KERNEL32.DLL!GetFileAttributesW KERNEL32.DLL!GetFileInformationByHandle"
        " KERNEL32.DLL!GetFileSize KERNEL32.DLL!GetFileTime KERNEL32.DLL!GetFullPathNameA KERNEL32.DLL!GetHandleInformation"
        " KERNEL32.DLL!GetLastError KERNEL32.DLL!GetModuleFileNameA KERNEL32.DLL!GetModuleFileNameW KERNEL32.DLL!GetModuleHandleA"
        " KERNEL32.DLL!GetModuleHandleW KERNEL32.DLL!GetProcAddress KERNEL32.DLL!GetProcessAffinityMask"
        " KERNEL32.DLL!GetShortPathNameA KERNEL32.DLL!GetStartupInfoA KERNEL32.DLL!GetSystemDirectoryA"
        " KERNEL32.DLL!GetSystemTimeAsFileTime KERNEL32.DLL!GetTempFileNameA KERNEL32.DLL!GetTempFileNameW"
        " KERNEL32.DLL!GetTempPathA KERNEL32.DLL!GetTempPathW KERNEL32.DLL!GetThreadContext KERNEL32.DLL!GetThreadPriority"
        " KERNEL32.DLL!GetTickCount KERNEL32.DLL!GetTickCount64 KERNEL32.DLL!GetVersionExA KERNEL32.DLL!GetVolumeInformationW"
        " KERNEL32.DLL!GetWindowsDirectoryA KERNEL32.DLL!GetWindowsDirectoryW KERNEL32.DLL!InitializeCriticalSection"
        " KERNEL32.DLL!IsDBCSLeadByteEx KERNEL32.DLL!IsDebuggerPresent KERNEL32.DLL!LeaveCriticalSection"
        " KERNEL32.DLL!LoadLibraryA KERNEL32.DLL!LoadLibraryExA KERNEL32.DLL!LoadLibraryW KERNEL32.DLL!MoveFileA"
        " KERNEL32.DLL!MoveFileExA KERNEL32.DLL!MoveFileExW KERNEL32.DLL!MoveFileW KERNEL32.DLL!MultiByteToWideChar"
        " KERNEL32.DLL!OpenProcess KERNEL32.DLL!OutputDebugStringA KERNEL32.DLL!RaiseException KERNEL32.DLL!ReadFile"
        " KERNEL32.DLL!ReleaseSemaphore KERNEL32.DLL!RemoveDirectoryA KERNEL32.DLL!RemoveDirectoryW KERNEL32.DLL!RemoveVectoredExceptionHandler"
        " KERNEL32.DLL!ResetEvent KERNEL32.DLL!ResumeThread KERNEL32.DLL!RtlCaptureContext KERNEL32.DLL!RtlLookupFunctionEntry"
        " KERNEL32.DLL!RtlUnwindEx KERNEL32.DLL!RtlVirtualUnwind KERNEL32.DLL!SetCurrentDirectoryA KERNEL32.DLL!SetErrorMode"
        " KERNEL32.DLL!SetEvent KERNEL32.DLL!SetFileAttributesA KERNEL32.DLL!SetFileAttributesW KERNEL32.DLL!SetFilePointer"
        " KERNEL32.DLL!SetFileTime KERNEL32.DLL!SetLastError KERNEL32.DLL!SetProcessAffinityMask KERNEL32.DLL!SetThreadContext"
        " KERNEL32.DLL!SetThreadPriority KERNEL32.DLL!SetUnhandledExceptionFilter KERNEL32.DLL!Sleep KERNEL32.DLL!SuspendThread"
        " KERNEL32.DLL!TlsAlloc KERNEL32.DLL!TlsGetValue KERNEL32.DLL!TlsSetValue KERNEL32.DLL!TryEnterCriticalSection"
        " KERNEL32.DLL!VirtualProtect KERNEL32.DLL!VirtualQuery KERNEL32.DLL!WaitForMultipleObjects"
        " KERNEL32.DLL!WaitForSingleObject KERNEL32.DLL!WideCharToMultiByte KERNEL32.DLL!WriteFile"
        " KERNEL32.DLL!__C_specific_handler KERNEL32.DLL!lstrcatA KERNEL32.DLL!lstrcmpiA"
        " OLE32.DLL!CoInitialize OLE32.DLL!CoUninitialize OLE32.DLL!OleInitialize OLE32.DLL!OleUninitialize"
        " OLEAUT32.DLL!LoadTypeLib OLEAUT32.DLL!UnRegisterTypeLib SHELL32.DLL!ShellExecuteA SHELL32.DLL!ShellExecuteW"
        " USER32.DLL!CharUpperBuffW USER32.DLL!CreateIconFromResourceEx USER32.DLL!CreateWindowExA USER32.DLL!CreateWindowExW"
        " USER32.DLL!DefWindowProcA USER32.DLL!DefWindowProcW USER32.DLL!DestroyIcon USER32.DLL!DestroyWindow"
        " USER32.DLL!DialogBoxParamA USER32.DLL!DialogBoxParamW USER32.DLL!DispatchMessageA USER32.DLL!DrawFocusRect"
        " USER32.DLL!DrawTextA USER32.DLL!DrawTextW USER32.DLL!EnableWindow USER32.DLL!EndDialog USER32.DLL!ExitWindowsEx"
        " USER32.DLL!GetClientRect USER32.DLL!GetCursorPos USER32.DLL!GetDC USER32.DLL!GetDesktopWindow USER32.DLL!GetDlgItem"
        " USER32.DLL!GetMessageA USER32.DLL!GetSysColor USER32.DLL!GetSystemMetrics USER32.DLL!GetWindowLongA"
        " USER32.DLL!GetWindowLongPtrA USER32.DLL!GetWindowRect USER32.DLL!GetWindowTextA USER32.DLL!GetWindowTextW"
        " USER32.DLL!IsDialogMessageA USER32.DLL!IsWindow USER32.DLL!IsWindowEnabled USER32.DLL!IsWindowVisible"
        " USER32.DLL!KillTimer USER32.DLL!LoadCursorA USER32.DLL!LoadIconA USER32.DLL!LookupIconIdFromDirectoryEx"
        " USER32.DLL!MapWindowPoints USER32.DLL!MessageBoxA USER32.DLL!MessageBoxW USER32.DLL!MsgWaitForMultipleObjects"
        " USER32.DLL!PeekMessageA USER32.DLL!PostQuitMessage USER32.DLL!PtInRect USER32.DLL!RedrawWindow"
        " USER32.DLL!RegisterClassA USER32.DLL!RegisterClassW USER32.DLL!ReleaseDC USER32.DLL!SendMessageA USER32.DLL!SetCursor"
        " USER32.DLL!SetFocus USER32.DLL!SetTimer USER32.DLL!SetWindowLongA USER32.DLL!SetWindowLongPtrA"
        " USER32.DLL!SetWindowTextA USER32.DLL!SetWindowTextW USER32.DLL!ShowWindow USER32.DLL!SystemParametersInfoA"
        " USER32.DLL!TranslateMessage USER32.DLL!wsprintfA ";
    const std::vector<std::string> imports = importsOf(binFolder() + "CorvelUninstaller.exe");
    ASSERT_GT(imports.size(), 50u);
    for (const std::string& import : imports) {
        if (import.compare(0, 11, "MSVCRT.DLL!") == 0) continue;  // the C runtime every Windows ships
        EXPECT_NE(oldest.find(" " + import + " "), std::string::npos) << import << " is not on the oldest Windows claimed";
    }
}

TEST(ProgramResources, ManifestAsksForAdministrator) {
    HMODULE exe = LoadLibraryExA((binFolder() + "CorvelUninstaller.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);
    const char* text = static_cast<const char*>(LockResource(LoadResource(exe, found)));
    const std::string manifest(text, SizeofResource(exe, found));
    FreeLibrary(exe);
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"requireAdministrator\""), std::string::npos) << manifest;
}

bool refuseDelayedMove(const std::string&, const std::string&, DWORD) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

UINT WINAPI testWindowsFolder(LPSTR buffer, UINT size) {
    const char folder[] = "C:\\corvel_safe\\windows";
    if (size < sizeof folder) return sizeof folder;
    lstrcpyA(buffer, folder);
    return sizeof folder - 1;
}

TEST(RestartDeletion, RefusedOnNtIsAFailureWithoutWininit) {
    // A Windows folder of the test's own: the host's wininit.ini is never touched.
    removeTree("C:\\corvel_safe\\windows");
    ASSERT_TRUE(makeFolders("C:\\corvel_safe\\windows"));
    setWindowsFolderFunction(&testWindowsFolder);
    setDelayedMoveFunction(&refuseDelayedMove);
    EXPECT_FALSE(deleteAtRestart("C:\\corvel_safe\\x.dll"));
    Win32FileSystem fs;
    EXPECT_FALSE(fs.moveAtRestart("C:\\corvel_safe\\x.tmp", "C:\\corvel_safe\\x.dll"));
    setDelayedMoveFunction(nullptr);
    setWindowsFolderFunction(nullptr);
    EXPECT_FALSE(fileExists("C:\\corvel_safe\\windows\\wininit.ini")) << "NT never reads wininit.ini";
}

std::vector<std::pair<std::string, DWORD>> g_loads;
HMODULE WINAPI recordLoad(LPCSTR path, HANDLE, DWORD flags) {
    g_loads.emplace_back(path, flags);
    return nullptr;
}

TEST(ComUnregistration, LoadsByFullPathWhereSearchFlagsAreMissing) {
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    SetCurrentDirectoryA(binFolder().c_str());
    loadServerLibrary("corvel_versioned.dll", &recordLoad, false);
    loadServerLibrary("corvel_versioned.dll", &recordLoad, true);
    HMODULE real = loadServerLibrary("corvel_versioned.dll", &LoadLibraryExA, false);
    SetCurrentDirectoryA(current);
    ASSERT_EQ(g_loads.size(), 2u);
    EXPECT_EQ(g_loads[0].first, binFolder() + "corvel_versioned.dll");
    EXPECT_EQ(g_loads[0].second, static_cast<DWORD>(LOAD_WITH_ALTERED_SEARCH_PATH));
    EXPECT_EQ(g_loads[1].second, static_cast<DWORD>(LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
    EXPECT_NE(real, nullptr);
    if (real) FreeLibrary(real);
}

TEST(ComUnregistration, TypeLibraryAndServerProgram) {
    const std::string folder = "C:\\corvel_safe\\com";
    removeTree(folder);
    ASSERT_TRUE(makeFolders(folder));
    // A type library made here, registered, then unregistered through the uninstaller's path.
    const std::string tlb = folder + "\\probe.tlb";
    const GUID guid = {0x5c0e1a2b, 0x1d2e, 0x4f30, {0x81, 0x92, 0xa3, 0xb4, 0xc5, 0xd6, 0xe7, 0xf8}};
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ICreateTypeLib2* create = nullptr;
    ASSERT_TRUE(SUCCEEDED(CreateTypeLib2(SYS_WIN64, L"C:\\corvel_safe\\com\\probe.tlb", &create)));
    create->SetGuid(guid);
    create->SetVersion(1, 0);
    create->SetName(const_cast<LPOLESTR>(L"CorvelProbe"));
    create->SetLcid(0);
    ASSERT_TRUE(SUCCEEDED(create->SaveAllChanges()));
    create->Release();
    ITypeLib* library = nullptr;
    ASSERT_TRUE(SUCCEEDED(LoadTypeLibEx(L"C:\\corvel_safe\\com\\probe.tlb", REGKIND_REGISTER, &library)));
    library->Release();
    CoUninitialize();
    const std::string key = "TypeLib\\{5C0E1A2B-1D2E-4F30-8192-A3B4C5D6E7F8}";
    ASSERT_TRUE(keyExists(HKEY_CLASSES_ROOT, key + "\\1.0"));
    unregisterComServer(tlb);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, key + "\\1.0"));

    const std::string server = folder + "\\probe server.exe";
    ASSERT_TRUE(CopyFileA((binFolder() + "corvel_server_probe.exe").c_str(), server.c_str(), FALSE));
    setString(HKEY_CURRENT_USER, "Software\\CorvelTest", "ServerCommandLine", "");
    unregisterComServer(server);
    std::string line;
    for (const DWORD start = GetTickCount(); line.empty() && GetTickCount() - start < 120000; Sleep(50))
        line = readString(HKEY_CURRENT_USER, "Software\\CorvelTest", "ServerCommandLine");
    EXPECT_EQ(line, "\"" + server + "\" /unregserver");
}

// RegDeleteTree follows links (and never ends on one to an ancestor): clean up the way the
// uninstaller deletes.
void deleteLinkedTree(const std::string& path) {
    Win32Registry registry;
    RegistryAccess::Key key = nullptr;
    if (registry.openForChange(HKEY_CURRENT_USER, path, key, true) != RegistryAccess::Open::kOk) return;
    deleteKeyTree(registry, key);
    registry.close(key);
    registry.deleteKey(HKEY_CURRENT_USER, path);
}

// A volatile registry link below HKEY_CURRENT_USER.
bool link(const std::string& name, const wchar_t* target) {
    HKEY key = nullptr;
    const std::wstring wide(name.begin(), name.end());
    if (RegCreateKeyExW(HKEY_CURRENT_USER, wide.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const bool ok = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target),
                                   static_cast<DWORD>(wcslen(target) * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

TEST(RegistryLinks, LinkInTheMiddleOfAPathIsFollowed) {
    deleteLinkedTree("Software\\CorvelMid");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\CorvelMidTarget");
    setString(HKEY_LOCAL_MACHINE, "Software\\CorvelMidTarget\\Inner", "v", "1");
    setString(HKEY_LOCAL_MACHINE, "Software\\CorvelMidTarget\\Other", "keep", "1");
    ASSERT_TRUE(link("Software\\CorvelMid\\Link", L"\\Registry\\Machine\\Software\\CorvelMidTarget"));
    writer::RegistryTree tree;
    tree.key("HKCU\\Software\\CorvelMid\\Link\\Inner", record::kDeleteKey).value("v", 1);
    Win32Registry registry;
    TextBuffer log;
    EXPECT_TRUE(walkRegistryTree(registry, TextBuffer(tree.encode()), WalkMode::kCheck, nullptr));
    walkRegistryTree(registry, TextBuffer(tree.encode()), WalkMode::kDelete, &log);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "Software\\CorvelMidTarget\\Inner")) << "skipped as if missing";
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, "Software\\CorvelMidTarget\\Other"));
    EXPECT_TRUE(log.empty()) << log.str();
    deleteLinkedTree("Software\\CorvelMid");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\CorvelMidTarget");
}

TEST(RegistryLinks, TreeDeletionRemovesTheLinkNotItsTarget) {
    const std::string app = "Software\\CorvelLinks\\App";
    deleteLinkedTree("Software\\CorvelLinks");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\CorvelLinkTarget");
    setString(HKEY_LOCAL_MACHINE, "Software\\CorvelLinkTarget\\Inner", "keep", "1");
    setString(HKEY_CURRENT_USER, app + "\\Plain", "v", "1");
    ASSERT_TRUE(link(app + "\\ToOther", L"\\Registry\\Machine\\Software\\CorvelLinkTarget"));
    ASSERT_TRUE(keyExists(HKEY_CURRENT_USER, app + "\\ToOther\\Inner")) << "the link is followed by ordinary opens";
    // A link back to an ancestor: followed, the tree would never end.
    DWORD size = 0;
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    std::vector<BYTE> buffer(512);
    GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size);
    CloseHandle(token);
    LPWSTR sid = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid);
    const std::wstring user = L"\\Registry\\User\\" + std::wstring(sid) + L"\\Software\\CorvelLinks";
    LocalFree(sid);
    ASSERT_TRUE(link(app + "\\ToAncestor", user.c_str()));

    writer::RegistryTree tree;
    tree.key("HKCU\\" + app, record::kDeleteKey | record::kDeleteTree);
    Win32Registry registry;
    TextBuffer log;
    walkRegistryTree(registry, TextBuffer(tree.encode()), WalkMode::kDelete, &log);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, app));
    EXPECT_TRUE(valueExists(HKEY_LOCAL_MACHINE, "Software\\CorvelLinkTarget\\Inner", "keep"));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "Software\\CorvelLinks"));
    EXPECT_TRUE(log.empty()) << log.str();
    deleteLinkedTree("Software\\CorvelLinks");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\CorvelLinkTarget");
}

// The longest key name, 255 characters, takes 510 bytes through the ANSI functions in a
// double-byte code page; a tree holding one is still emptied and deleted. The test entry
// corvel_uninstaller_double_byte runs this under code page 932.
TEST(RegistryNames, LongestDoubleByteKeyNameIsDeleted) {
    if (GetACP() != 932) {
        if (getenv("CORVEL_DOUBLE_BYTE")) FAIL() << "code page " << GetACP() << ", not 932";
        GTEST_SKIP() << "needs the double-byte code page 932";
    }
    const std::string app = "Software\\CorvelLongNames";
    RegDeleteTreeA(HKEY_CURRENT_USER, app.c_str());
    // Made through the wide functions: the ANSI ones take at most 260 characters of path.
    const std::wstring name = L"Software\\CorvelLongNames\\" + std::wstring(255, L'\x3042');  // HIRAGANA LETTER A
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    writer::RegistryTree tree;
    tree.key("HKCU\\" + app, record::kDeleteKey | record::kDeleteTree);
    Win32Registry registry;
    TextBuffer log;
    walkRegistryTree(registry, TextBuffer(tree.encode()), WalkMode::kDelete, &log);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, app));
    EXPECT_TRUE(log.empty()) << log.str();
    RegDeleteTreeA(HKEY_CURRENT_USER, app.c_str());
}

// A junction made by hand (FSCTL_SET_REPARSE_POINT with a mount-point buffer).
bool makeJunction(const std::string& at, const std::string& target) {
    if (!CreateDirectoryA(at.c_str(), nullptr)) return false;
    HANDLE dir = CreateFileA(at.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (dir == INVALID_HANDLE_VALUE) return false;
    const std::wstring substitute = L"\\??\\" + std::wstring(target.begin(), target.end());
    const std::wstring print(target.begin(), target.end());
    std::vector<BYTE> data(8 + 8 + (substitute.size() + print.size() + 2) * 2);
    auto* words = reinterpret_cast<WORD*>(data.data());
    *reinterpret_cast<DWORD*>(data.data()) = IO_REPARSE_TAG_MOUNT_POINT;
    words[2] = static_cast<WORD>(data.size() - 8);            // data length
    words[4] = 0;                                              // substitute offset
    words[5] = static_cast<WORD>(substitute.size() * 2);       // substitute length
    words[6] = static_cast<WORD>((substitute.size() + 1) * 2); // print offset
    words[7] = static_cast<WORD>(print.size() * 2);            // print length
    memcpy(data.data() + 16, substitute.c_str(), (substitute.size() + 1) * 2);
    memcpy(data.data() + 16 + (substitute.size() + 1) * 2, print.c_str(), (print.size() + 1) * 2);
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(dir, FSCTL_SET_REPARSE_POINT, data.data(), static_cast<DWORD>(data.size()), nullptr, 0,
                                    &returned, nullptr);
    CloseHandle(dir);
    return ok != 0;
}

TEST(FileSystemLinks, LinkInAFolderPartIsNotActedThrough) {
    std::string folder = "C:\\corvel_safe\\links";
    removeTree(folder);
    ASSERT_TRUE(makeFolders(folder + "\\elsewhere"));
    if (!makeJunction(folder + "\\app", folder + "\\elsewhere")) {
        RemoveDirectoryA((folder + "\\app").c_str());
        CreateSymbolicLinkA((folder + "\\app").c_str(), (folder + "\\elsewhere").c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    }
    // Wine 8 refuses FSCTL_SET_REPARSE_POINT and reports success for CreateSymbolicLink without
    // making a link; it does show a Unix symbolic link in the prefix as a reparse point, and the
    // test setup makes one.
    auto isLink = [](const std::string& path) {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    };
    if (!isLink(folder + "\\app")) folder = "C:\\corvel_safe_unixlink";
    if (!isLink(folder + "\\app")) GTEST_SKIP() << "no junction, directory symbolic link or prepared Unix link";
    const std::string victim = folder + "\\elsewhere\\victim.txt";
    ASSERT_TRUE(writeText(victim, "someone else's"));
    ASSERT_TRUE(fileExists(folder + "\\app\\victim.txt")) << "the link leads to the other folder";
    // Whoever owns it (here the account the tests run as, which Wine makes an administrator),
    // a link that is not one of the system's compatibility junctions is not acted through,
    // even when it carries their hidden and system attributes.
    SetFileAttributesA((folder + "\\app").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    Win32FileSystem fs;
    const FolderFacts facts = fs.folderFacts(folder + "\\app");
    EXPECT_TRUE(facts.reparsePoint);
    EXPECT_FALSE(compatibilityJunction(folder + "\\app", facts, fs.knownFolders())) << facts.target;
    RemovalLogs logs;
    removeFiles(TextBuffer((folder + "\\app\\victim.txt\r\n").c_str()), fs, logs);
    removeDirectories(TextBuffer((folder + "\\app\\sub\r\n").c_str()), fs, logs);
    EXPECT_TRUE(fileExists(victim));
    EXPECT_EQ(logs.files.str(), folder + "\\app\\victim.txt\r\n");
    EXPECT_EQ(logs.directories.str(), folder + "\\app\\sub\r\n");
    // The deletion checks the folders again itself, through the handles it acts through.
    EXPECT_EQ(fs.deleteFile(folder + "\\app\\victim.txt"), static_cast<uint32_t>(ERROR_CANT_RESOLVE_FILENAME));
    ASSERT_TRUE(makeFolders(folder + "\\elsewhere\\sub"));
    EXPECT_EQ(fs.removeDirectory(folder + "\\app\\sub"), static_cast<uint32_t>(ERROR_CANT_RESOLVE_FILENAME));
    EXPECT_TRUE(fileExists(folder + "\\elsewhere\\sub"));
    RemoveDirectoryA((folder + "\\elsewhere\\sub").c_str());

    // A backup behind the link is not deleted; a restore target behind it is not overwritten.
    const std::string mine = "C:\\corvel_safe\\mine.bak";
    ASSERT_TRUE(writeText(mine, "mine"));
    RemovalLogs backupLogs;
    processBackups(TextBuffer((folder + "\\app\\victim.txt\t" + folder + "\\t.dll\t0\t0\t0\t0\r\n").c_str()), fs, false,
                   backupLogs);
    processBackups(TextBuffer((mine + "\t" + folder + "\\app\\victim.txt\t0\t0\t0\t0\r\n").c_str()), fs, true,
                   backupLogs);
    EXPECT_EQ(readText(victim), "someone else's");
    EXPECT_EQ(readText(mine), "mine");
    EXPECT_EQ(backupLogs.files.str(), folder + "\\app\\victim.txt\r\n" + folder + "\\app\\victim.txt <- " + mine + "\r\n");
    DeleteFileA(mine.c_str());
    DeleteFileA(victim.c_str());
}

// Someone swaps a folder of the path between the check and the deletion: renames it away and
// puts in its place a new one holding a file of the same name, or one whose "app" is a link.
// The checked folders are held until the deletion is done, so the rename fails and the
// recorded item goes.
struct FolderSwap {
    std::string folder, moved, replacement;  // replacement empty: a new folder with a decoy
    bool tried = false, renamed = false;
};
FolderSwap g_swap;
void swapFolder(const std::string&) {
    if (g_swap.tried) return;
    g_swap.tried = true;
    g_swap.renamed = MoveFileExA(g_swap.folder.c_str(), g_swap.moved.c_str(), 0) != 0;
    if (!g_swap.renamed) return;
    if (!g_swap.replacement.empty()) {
        MoveFileExA(g_swap.replacement.c_str(), g_swap.folder.c_str(), 0);
    } else {
        makeFolders(g_swap.folder + "\\app\\sub");
        writeText(g_swap.folder + "\\app\\f.txt", "decoy");
    }
}

TEST(FileSystemLinks, FolderSwappedAfterTheCheckIsNotActedThrough) {
    const std::string root = "C:\\corvel_safe\\swap", scene = root + "\\scene";
    struct Row {
        bool folder;    // the folders stage (app\sub) or the files stage (app\f.txt)
        bool link;      // swapped for a folder whose "app" is a link to another folder
        bool byHandle;  // deleted through its handle, or by path (systems before Vista)
    };
    const Row rows[] = {{false, false, true}, {true, false, true}, {false, true, true},
                        {true, true, true},   {false, true, false}, {true, true, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "folder " << row.folder << " link " << row.link << " by handle " << row.byHandle);
        removeTree(root);
        ASSERT_TRUE(makeFolders(scene + "\\app\\sub") && writeText(scene + "\\app\\f.txt", "recorded"));
        g_swap = FolderSwap();
        g_swap.folder = scene;
        g_swap.moved = root + "\\moved";
        std::string elsewhere = root + "\\elsewhere";
        ASSERT_TRUE(makeFolders(elsewhere));
        if (row.link) {
            // A junction where the system makes them; Wine cannot, and moving a Unix link moves
            // the folder it leads to, so there the folder holding the link the test setup made
            // is moved in.
            g_swap.replacement = root + "\\withlink";
            if (!makeFolders(g_swap.replacement) || !makeJunction(g_swap.replacement + "\\app", elsewhere)) {
                g_swap.replacement = "C:\\corvel_safe_unixlink\\withlink";
                elsewhere = "C:\\corvel_safe_unixlink\\elsewhere";
                const DWORD attributes = GetFileAttributesA((g_swap.replacement + "\\app").c_str());
                ASSERT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                    << "no junction, and no prepared Unix link";
            }
        }
        ASSERT_TRUE(makeFolders(elsewhere + "\\sub") && writeText(elsewhere + "\\f.txt", "someone else's"));
        const std::string item = scene + (row.folder ? "\\app\\sub" : "\\app\\f.txt");
        Win32FileSystem fs;
        RemovalLogs logs;
        setAfterFoldersHeldHook(&swapFolder);
        setDeleteByHandle(row.byHandle);
        if (row.folder) {
            removeDirectories(TextBuffer((item + "\r\n").c_str()), fs, logs);
        } else {
            removeFiles(TextBuffer((item + "\r\n").c_str()), fs, logs);
        }
        setAfterFoldersHeldHook(nullptr);
        setDeleteByHandle(true);
        EXPECT_TRUE(g_swap.tried);
        EXPECT_FALSE(g_swap.renamed) << "a checked folder was renamed before the deletion";
        EXPECT_FALSE(fileExists(item)) << "the recorded item stays";
        EXPECT_FALSE(fileExists(g_swap.moved)) << "the recorded item was moved away, and something else deleted";
        EXPECT_EQ(readText(elsewhere + "\\f.txt"), "someone else's");
        EXPECT_TRUE(fileExists(elsewhere + "\\sub"));
        EXPECT_TRUE(logs.files.empty()) << logs.files.str();
        EXPECT_TRUE(logs.directories.empty()) << logs.directories.str();
        // The prepared link goes back where the test setup keeps it.
        if (g_swap.renamed && g_swap.replacement.find("unixlink") != std::string::npos)
            MoveFileExA(scene.c_str(), g_swap.replacement.c_str(), 0);
        DeleteFileA((elsewhere + "\\f.txt").c_str());
        RemoveDirectoryA((elsewhere + "\\sub").c_str());
    }
    removeTree(root);
}

}  // namespace
