#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "../listing/fakes.h"
#include "listing/listing_engine.h"
#include "listing/wildcard.h"
#include "listing/win32/win32_file_system.h"
#include "platform/file_io.h"
#include "platform/win32/wide_text_win32.h"
#include "settings/memory_store.h"
#include "settings/setting_keys.h"

namespace tessory {
namespace {

class Win32FileSystemTest : public ::testing::Test {
protected:
    void Create(const std::wstring& name, const std::string& text, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        std::wstring path = Widen(folder) + L"\\" + name;
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(h);
        SetFileAttributesW(path.c_str(), attributes);
    }
    std::map<std::string, FileInfo> Read(std::vector<std::string>& subfolders) {
        std::map<std::string, FileInfo> files;
        EXPECT_TRUE(fs.ReadFolder(folder, [&](const FileInfo& f) { files[f.name] = f; }, subfolders));
        return files;
    }
    ScratchFolder scratch;
    std::string folder = scratch.Path().string();
    Win32FileSystem fs;
};

TEST_F(Win32FileSystemTest, HiddenFilesListedSystemFilesAndFoldersNot) {
    Create(L"plain.txt", "hello");
    Create(L"secret.txt", "x", FILE_ATTRIBUTE_HIDDEN);
    Create(L"locked.doc", "12", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    Create(L"boot.sys", "s", FILE_ATTRIBUTE_SYSTEM);
    CreateDirectoryW((Widen(folder) + L"\\Sub").c_str(), nullptr);
    std::vector<std::string> subfolders;
    auto files = Read(subfolders);
    EXPECT_EQ(files.size(), 3u);
    EXPECT_EQ(files.count("boot.sys"), 0u);
    EXPECT_EQ(files["plain.txt"].length, 5u);
    EXPECT_EQ(files["secret.txt"].attributes.value() & kAttrHidden, static_cast<std::uint32_t>(kAttrHidden));
    EXPECT_EQ(files["locked.doc"].attributes, static_cast<std::uint32_t>(kAttrArchive | kAttrReadOnly));
    EXPECT_EQ(subfolders, std::vector<std::string>{folder + "\\Sub"});
    SetFileAttributesW((Widen(folder) + L"\\locked.doc").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32FileSystemTest, LengthsBeyondFourGiBAndNamesOutsideTheCodePage) {
    std::wstring name = L"\x4e2d\x6587.bin";  // not in a Western code page
    std::wstring path = Widen(folder) + L"\\" + name;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 5000000000LL;
    ASSERT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(h));
    CloseHandle(h);
    std::vector<std::string> subfolders;
    auto files = Read(subfolders);
    ASSERT_EQ(files.size(), 1u);
    const FileInfo& file = files.begin()->second;
    EXPECT_EQ(file.name, Narrow(name));
    EXPECT_EQ(file.length, 5000000000ull);
    EXPECT_TRUE(file.modified.has_value());
}

TEST_F(Win32FileSystemTest, FoldersDeeperThanMaxPathAreRead) {
    std::string deep = folder;
    while (deep.size() < 300) {
        deep += "\\" + std::string(40, 'd');
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + Widen(deep)).c_str(), nullptr));
    }
    HANDLE h = CreateFileW((L"\\\\?\\" + Widen(deep) + L"\\f.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    std::vector<std::string> subfolders;
    std::vector<std::string> names;
    ASSERT_TRUE(fs.ReadFolder(deep, [&](const FileInfo& f) { names.push_back(f.name); }, subfolders));
    EXPECT_EQ(names, std::vector<std::string>{"f.txt"});
    // The scratch folder's own clean-up cannot reach this deep.
    DeleteFileW((L"\\\\?\\" + Widen(deep) + L"\\f.txt").c_str());
    for (; deep.size() > folder.size(); deep.resize(deep.rfind('\\'))) RemoveDirectoryW((L"\\\\?\\" + Widen(deep)).c_str());
}

// Run with TZ=Europe/Berlin: each file's date takes the offset of its own season, whatever today's is.
TEST_F(Win32FileSystemTest, ModificationTimesTakeTheOffsetOfTheirOwnDate) {
    struct Case {
        SYSTEMTIME utc;
        DateTime local;
    };
    const Case cases[] = {
        {{2025, 7, 1, 14, 22, 30, 0, 0}, {2025, 7, 15, 0, 30, 0}},  // summer time, UTC+2
        {{2025, 1, 2, 14, 23, 30, 0, 0}, {2025, 1, 15, 0, 30, 0}},  // winter time, UTC+1
    };
    for (const Case& c : cases) {
        Create(L"dated.txt", "d");
        FILETIME written;
        ASSERT_TRUE(SystemTimeToFileTime(&c.utc, &written));
        HANDLE h = CreateFileW((Widen(folder) + L"\\dated.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &written));
        CloseHandle(h);
        std::vector<std::string> subfolders;
        auto files = Read(subfolders);
        ASSERT_TRUE(files["dated.txt"].modified.has_value());
        EXPECT_EQ(*files["dated.txt"].modified, c.local) << c.utc.wMonth;
    }
}

// A relative start folder with ".." whose subfolders pass MAX_PATH: walked to the bottom, and
// every path shown as the walk builds it from the start folder as given.
TEST_F(Win32FileSystemTest, RelativeStartFolderWithSubfoldersBeyondMaxPath) {
    std::wstring deep = Widen(folder) + L"\\top";
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    std::string shown = "top\\..\\top";
    int levels = 0;
    while (deep.size() < 320) {
        deep += L"\\" + std::wstring(40, L'd');
        shown += "\\" + std::string(40, 'd');
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
        ++levels;
    }
    CloseHandle(CreateFileW((L"\\\\?\\" + deep + L"\\bottom.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                            nullptr));
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(Widen(folder).c_str()));
    MemoryStore store;
    RecordingHost host(scratch.File("myTmpFile.htm"));
    ListingEngine engine(fs, host, store);
    const RunOutcome outcome = engine.BuildListing("top\\..\\top", 2);
    SetCurrentDirectoryW(previous);
    ASSERT_EQ(outcome, RunOutcome::Finished);
    EXPECT_EQ(engine.Totals().folders, levels + 1);
    EXPECT_EQ(engine.Totals().unreadableFolders, 0);
    std::ifstream in(host.TemporaryFilePath(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("<td class=\"dir\">" + shown + "</td>"), std::string::npos);
    EXPECT_NE(text.str().find(">bottom.txt<"), std::string::npos);
    DeleteFileW((L"\\\\?\\" + deep + L"\\bottom.txt").c_str());
    for (; deep.size() > folder.size(); deep.resize(deep.rfind(L'\\'))) RemoveDirectoryW((L"\\\\?\\" + deep).c_str());
}

// Wine opens long relative paths without the prefix, which Windows does not: the form is checked here.
TEST(ExtendedLengthPathTest, LongPathsBecomeAbsoluteWithThePrefix) {
    wchar_t current[MAX_PATH];
    const DWORD n = GetCurrentDirectoryW(MAX_PATH, current);
    const std::wstring cwd(current, n), long1(200, L'a'), long2(100, L'b');
    struct Case {
        std::wstring path;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"rel\\short", L"rel\\short"},
        {L"top\\..\\" + long1 + L"\\" + long2, L"\\\\?\\" + cwd + L"\\" + long1 + L"\\" + long2},
        {L"C:/" + long1 + L"/" + long2, L"\\\\?\\C:\\" + long1 + L"\\" + long2},
        {L"\\\\server\\share\\" + long1 + L"\\" + long2, L"\\\\?\\UNC\\server\\share\\" + long1 + L"\\" + long2},
        {L"\\\\?\\C:\\" + long1, L"\\\\?\\C:\\" + long1},
    };
    for (const Case& c : cases) EXPECT_EQ(ExtendedLengthPath(c.path), c.expected) << Narrow(c.path).substr(0, 20);
}

// The enumeration fails part way (through the seam): the folder keeps the files read before and
// counts as one that could not be read.
TEST_F(Win32FileSystemTest, EnumerationFailingPartWayKeepsWhatWasReadAndCountsTheFolder) {
    class FailingAfterTwo : public Win32FileSystem {
    protected:
        BOOL FindNext(HANDLE find, WIN32_FIND_DATAW& data) override {
            if (++calls_ < 4) return Win32FileSystem::FindNext(find, data);
            SetLastError(ERROR_NETNAME_DELETED);
            return FALSE;
        }

    private:
        int calls_ = 0;
    };
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt", L"d.txt", L"e.txt"}) Create(name, "x");
    FailingAfterTwo failing;
    std::vector<std::string> subfolders;
    int read = 0;
    EXPECT_FALSE(failing.ReadFolder(folder, [&](const FileInfo&) { ++read; }, subfolders));
    EXPECT_GE(read, 1);
    EXPECT_LT(read, 5);
    MemoryStore store;
    RecordingHost host(scratch.File("myTmpFile.htm"));
    FailingAfterTwo failingAgain;
    ListingEngine engine(failingAgain, host, store);
    ASSERT_EQ(engine.BuildListing(folder, 2), RunOutcome::Finished);
    EXPECT_EQ(engine.Totals().unreadableFolders, 1);
    EXPECT_EQ(engine.Totals().files, read);
}

// A junction back to the folder itself must be neither listed as a subfolder nor walked. This
// Wine cannot make junctions; its nearest, a Unix link to a folder that it shows as a reparse
// point, is made by the test's set-up and named in TESSORY_LINK_FOLDER.
TEST_F(Win32FileSystemTest, FolderLinksAreNotWalked) {
    std::wstring target = L"\\??\\" + Widen(folder), print = Widen(folder);
    std::wstring link = Widen(folder) + L"\\Loop";
    ASSERT_TRUE(CreateDirectoryW(link.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((Widen(folder) + L"\\Sub").c_str(), nullptr));
    struct {
        DWORD tag;
        WORD dataLength, reserved, substituteOffset, substituteLength, printOffset, printLength;
        WCHAR names[600];
    } buffer = {};
    buffer.tag = IO_REPARSE_TAG_MOUNT_POINT;
    buffer.substituteLength = static_cast<WORD>(target.size() * 2);
    buffer.printOffset = static_cast<WORD>(buffer.substituteLength + 2);
    buffer.printLength = static_cast<WORD>(print.size() * 2);
    target.copy(buffer.names, target.size());
    print.copy(buffer.names + target.size() + 1, print.size());
    buffer.dataLength = static_cast<WORD>(8 + buffer.printOffset + buffer.printLength + 2);
    HANDLE h = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD returned = 0;
    BOOL made = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, &buffer, 8u + buffer.dataLength, nullptr, 0, &returned, nullptr);
    DWORD error = GetLastError();
    CloseHandle(h);
    if (!made) {
        ASSERT_EQ(error, static_cast<DWORD>(ERROR_NOT_SUPPORTED));
        RemoveDirectoryW(link.c_str());
        const char* prepared = std::getenv("TESSORY_LINK_FOLDER");
        ASSERT_NE(prepared, nullptr);
        folder = prepared;
        link = Widen(folder) + L"\\Loop";
    }
    ASSERT_NE(GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    std::vector<std::string> subfolders;
    Read(subfolders);
    EXPECT_EQ(subfolders, std::vector<std::string>{folder + "\\Sub"});
    EXPECT_EQ(fs.LinksNotFollowed(), 1);  // for the listing's summary
    if (made) RemoveDirectoryW(link.c_str());
}

// Tag values as the platform documents them.
TEST(ReparseTagTest, OnlyNameSurrogatesAreSkipped) {
    EXPECT_FALSE(WalksIntoReparsePoint(0xA0000003));  // mount point, junction
    EXPECT_FALSE(WalksIntoReparsePoint(0xA000000C));  // symbolic link
    EXPECT_FALSE(WalksIntoReparsePoint(0xA0000019));  // WSL symbolic link
    EXPECT_TRUE(WalksIntoReparsePoint(0x9000001A));   // cloud files
    EXPECT_TRUE(WalksIntoReparsePoint(0x9000601A));   // cloud files, sub-type 6
    EXPECT_TRUE(WalksIntoReparsePoint(0x80000013));   // deduplication
    EXPECT_TRUE(WalksIntoReparsePoint(0x80000017));   // WOF compression
    EXPECT_FALSE(WalksIntoReparsePoint(0));           // no tag to be had
}

// Matching lower-cases with the system's mapping, for every BMP code point on its way through UTF-8.
TEST(CaseMappingWin32Test, LowerTextAgreesWithCharLowerBuffW) {
    int mismatches = 0;
    for (unsigned code = 1; code <= 0xFFFF && mismatches < 10; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF) continue;
        wchar_t expected = static_cast<wchar_t>(code);
        CharLowerBuffW(&expected, 1);
        std::u32string lowered = LowerText(Narrow(std::wstring(1, static_cast<wchar_t>(code))));
        if (lowered != std::u32string(1, static_cast<char32_t>(expected))) {
            ++mismatches;
            ADD_FAILURE() << std::hex << "U+" << code;
        }
    }
    EXPECT_EQ(LowerText("\xF0\x9F\x98\x80Z"), U"\U0001F600z");  // a surrogate pair keeps its place
}

TEST_F(Win32FileSystemTest, TypeNamesComeFromTheShell) {
    EXPECT_FALSE(fs.TypeName("notes.txt").empty());
    EXPECT_EQ(fs.TypeName("notes.txt"), fs.TypeName("OTHER.TXT"));
    EXPECT_NE(fs.TypeName("notes.txt"), fs.TypeName("page.htm"));
    EXPECT_EQ(fs.JoinPath("C:\\", "a"), "C:\\a");
    EXPECT_EQ(fs.JoinPath("C:\\x", "a"), "C:\\x\\a");
}

TEST_F(Win32FileSystemTest, EngineListsARealFolderWithAttributesAndShellTypes) {
    Create(L"a.txt", "abc", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
    Create(L"b.sys", "s", FILE_ATTRIBUTE_SYSTEM);
    CreateDirectoryW((Widen(folder) + L"\\Sub").c_str(), nullptr);
    Create(L"Sub\\\x4e2d.txt", "12345");
    MemoryStore store;
    store.Write(key::kAttrib.section, key::kAttrib.name, "1");
    RecordingHost host(scratch.File("myTmpFile.htm"));
    ListingEngine engine(fs, host, store);
    ASSERT_EQ(engine.BuildListing(folder, 2), RunOutcome::Finished);
    std::ifstream in(host.TemporaryFilePath(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string document = text.str();
    std::string type = ToFileText(fs.TypeName("a.txt"));
    EXPECT_NE(document.find("<td width=\"35%\">a.txt</td><td width=\"20%\">" + type +
                            "</td><td width=\"10%\">3 Bytes</td>"),
              std::string::npos);
    EXPECT_NE(document.find("<td width=\"6%\">ar</td>"), std::string::npos);
    EXPECT_EQ(document.find("b.sys"), std::string::npos);
    EXPECT_NE(document.find("<td width=\"10%\">5 Bytes</td>"), std::string::npos);  // true size of the unmappable name
    EXPECT_NE(document.find("Total Files: 2, Total Folders : 2, Total Size: 8 bytes."), std::string::npos);
    SetFileAttributesW((Widen(folder) + L"\\a.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW((Widen(folder) + L"\\b.sys").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Run with a Western code page (1252): a document whose texts all fit keeps that code page and
// no declaration; one name that does not fit, even in a later folder, makes the whole document
// UTF-8, declared first in the head, with every name exact.
TEST_F(Win32FileSystemTest, EveryNameSurvivesInTheDocument) {
    ASSERT_EQ(GetACP(), 1252u);
    struct Case {
        std::vector<std::wstring> subfolderNames;
        const char* head;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{L"plain.txt"}, "<html><head><style>\r\n", {"caf\xE9.txt", "plain.txt"}},
        {{L"\x4e2d\x6587.txt", L"\x0141\x00f3" L"d\x017a.txt", L"\U0001F600.txt", L"caf\x00e9 2.txt"},
         "<html><head><meta charset=\"utf-8\"><style>\r\n",
         {"caf\xC3\xA9.txt", "\xE4\xB8\xAD\xE6\x96\x87.txt", "\xC5\x81\xC3\xB3" "d\xC5\xBA.txt",
          "\xF0\x9F\x98\x80.txt", "caf\xC3\xA9 2.txt"}},
    };
    for (const Case& c : cases) {
        ScratchFolder tree;
        const std::wstring root = Widen(tree.Path().string());
        ASSERT_TRUE(CreateDirectoryW((root + L"\\Sub").c_str(), nullptr));
        for (const std::wstring& name : std::vector<std::wstring>{L"caf\x00e9.txt"})
            CloseHandle(CreateFileW((root + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        for (const std::wstring& name : c.subfolderNames)
            CloseHandle(CreateFileW((root + L"\\Sub\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                    nullptr));
        MemoryStore store;
        RecordingHost host(scratch.File("myTmpFile.htm"));
        ListingEngine engine(fs, host, store);
        ASSERT_EQ(engine.BuildListing(tree.Path().string(), 2), RunOutcome::Finished);
        std::ifstream in(host.TemporaryFilePath(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        const std::string document = text.str();
        EXPECT_EQ(document.substr(0, std::string(c.head).size()), c.head);
        EXPECT_EQ(document.find("charset", 30), std::string::npos);
        for (const std::string& name : c.expected) EXPECT_NE(document.find(">" + name + "<"), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace tessory
