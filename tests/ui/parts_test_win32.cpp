#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "about_box_win32.h"
#include "classes_root_win32.h"
#include "folder_list_win32.h"
#include "folder_verb_win32.h"
#include "save_dialog_win32.h"
#include "web_browser_win32.h"

#include <oleidl.h>
#include "platform/win32/wide_text_win32.h"

namespace tessory::ui {
namespace {

constexpr const wchar_t* kCommandKey = L"Folder\\shell\\Print listing with Tessory\\command";
constexpr const wchar_t* kVerbKey = L"Folder\\shell\\Print listing with Tessory";
constexpr const wchar_t* kClassesVerbKey = L"Software\\Classes\\Folder\\shell\\Print listing with Tessory";

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::wstring ExpectedCommand() { return Widen("\"" + ProgramFolder() + ProgramExeName() + ".exe\" \"%1\""); }

class FolderVerbTest : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kClassesVerbKey);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassesVerbKey);
  }
};

TEST_F(FolderVerbTest, AddWritesThisProgramsCommandLineForThisUserAndTestsRegistered) {
  EXPECT_FALSE(IsFolderVerbRegistered());
  SetFolderVerb(1);
  EXPECT_EQ(MergedClassesDefault(kCommandKey), ExpectedCommand());
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kClassesVerbKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClassesVerbKey));
  EXPECT_TRUE(IsFolderVerbRegistered());
  SetFolderVerb(1);
  EXPECT_EQ(MergedClassesDefault(kCommandKey), ExpectedCommand());
  EXPECT_TRUE(IsFolderVerbRegistered());
}

TEST_F(FolderVerbTest, ProgramFolderEndsInOneBackslashAndNamesThisExe) {
  const std::string folder = ProgramFolder();
  ASSERT_GE(folder.size(), 3u);
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_NE(folder[folder.size() - 2], '\\');
  EXPECT_EQ(ProgramExeName(), "ui_win32_parts_test");
}

// Another copy's verb, and this copy's in the unquoted form of older versions (machine-wide).
TEST_F(FolderVerbTest, VerbOfAnotherCopyOrUnquotedIsNotRegisteredUntilAddedAgain) {
  for (const std::wstring& old : {L"\"C:\\Elsewhere\\" + Widen(ProgramExeName()) + L".exe\" \"%1\"",
                                  Widen(ProgramFolder() + ProgramExeName()) + L".exe %1"}) {
    WriteClassesDefault(kCommandKey, old);
    EXPECT_FALSE(IsFolderVerbRegistered());
    SetFolderVerb(1);
    EXPECT_TRUE(IsFolderVerbRegistered());
    EXPECT_EQ(MergedClassesDefault(kCommandKey), ExpectedCommand());
    TearDown();
  }
}

TEST_F(FolderVerbTest, TestIgnoresLetterCaseButNotOtherDifferences) {
  std::wstring upper = ExpectedCommand();
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  WriteClassesDefault(kCommandKey, upper);
  EXPECT_TRUE(IsFolderVerbRegistered());
  WriteClassesDefault(kCommandKey, ExpectedCommand().substr(0, ExpectedCommand().size() - 4) + L"%1");
  EXPECT_FALSE(IsFolderVerbRegistered());
  WriteClassesDefault(kCommandKey, L"");
  EXPECT_FALSE(IsFolderVerbRegistered());
}

TEST_F(FolderVerbTest, CommandLineLongerThanAnyFixedBufferIsReadAndCompared) {
  WriteClassesDefault(kCommandKey, std::wstring(300, L'x'));
  EXPECT_FALSE(IsFolderVerbRegistered());
}

// Run from the copy's folder: the command line written, read back past 255 characters from a deep
// folder, and with a single backslash after a drive root.
TEST_F(FolderVerbTest, CopiesInADeepFolderAndAtADriveRootAddTheirOwnCommandLine) {
  std::wstring deep = L"C:\\TessoryDeepVerb";
  std::vector<std::wstring> made;
  while (deep.size() < 244) {
    deep += L"\\" + std::wstring(std::min<size_t>(40, 244 - deep.size() - 1), L'v');
    made.push_back(deep);
  }
  ASSERT_TRUE(CreateDirectoryW(L"C:\\TessoryDeepVerb", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  for (const std::wstring& folder : made) CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring writer = Widen(ProgramFolder()) + L"tessory_test_verb_writer.exe";
  for (const std::wstring& copy : {deep + L"\\verb_copy.exe", std::wstring(L"C:\\verb_copy.exe")}) {
    ASSERT_TRUE(CopyFileW(writer.c_str(), copy.c_str(), FALSE)) << GetLastError();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + copy + L"\"";
    ASSERT_TRUE(CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    WaitForSingleObject(process.hProcess, 30000);
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u) << "the copy tests its own verb as registered";
    EXPECT_EQ(MergedClassesDefault(kCommandKey), L"\"" + copy + L"\" \"%1\"");
    EXPECT_FALSE(IsFolderVerbRegistered()) << "it names the copy, not this program";
    DeleteFileW(copy.c_str());
  }
  EXPECT_GT(deep.size() + std::wstring(L"\"\\verb_copy.exe\" \"%1\"").size(), 255u);
  for (auto folder = made.rbegin(); folder != made.rend(); ++folder) RemoveDirectoryW(folder->c_str());
  RemoveDirectoryW(L"C:\\TessoryDeepVerb");
}

// "Drive not available" is for a drive without a medium or device; this Wine can make only the
// last kind (see the drive test of Tessory.exe), so the rest of the rule is checked here.
TEST(DriveNotReadyTest, OnlyAMissingMediumOrDeviceCounts) {
  for (DWORD error : {ERROR_NOT_READY, ERROR_NO_MEDIA_IN_DRIVE, ERROR_UNRECOGNIZED_MEDIA, ERROR_DEV_NOT_EXIST,
                      ERROR_INVALID_DRIVE, ERROR_PATH_NOT_FOUND})
    EXPECT_TRUE(DriveNotReady(error)) << error;
  for (DWORD error : {ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_DIRECTORY,
                      ERROR_BAD_NETPATH, ERROR_NETNAME_DELETED})
    EXPECT_FALSE(DriveNotReady(error)) << error;
}

TEST_F(FolderVerbTest, RemoveDeletesTheWholeVerbIncludingForeignSubkeys) {
  WriteClassesDefault(kCommandKey, L"C:\\Old\\Tessory.exe %1");  // machine-wide, from an older copy
  ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kClassesVerbKey));
  SetFolderVerb(1);
  WriteClassesDefault(std::wstring(kVerbKey) + L"\\extra\\deeper", L"x");
  WriteClassesDefault(std::wstring(kVerbKey) + L"\\another", L"y");
  SetFolderVerb(0);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kVerbKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kClassesVerbKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClassesVerbKey));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"Folder\\shell"));
  EXPECT_FALSE(IsFolderVerbRegistered());
}

TEST_F(FolderVerbTest, RemoveWhenNothingIsRegisteredAndOtherModesChangeNothing) {
  SetFolderVerb(0);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kVerbKey));
  SetFolderVerb(2);
  SetFolderVerb(-1);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kVerbKey));
  SetFolderVerb(1);
  SetFolderVerb(7);
  EXPECT_TRUE(IsFolderVerbRegistered());
}

TEST_F(FolderVerbTest, DeleteRegistryTreeReportsMissingKeysAndUnknownRoots) {
  EXPECT_EQ(RegistryRootKeyOf("HKCR\\Folder"), HKEY_CLASSES_ROOT);
  EXPECT_EQ(RegistryRootKeyOf("hkcr\\Folder"), HKEY_CLASSES_ROOT);
  EXPECT_EQ(RegistryRootKeyOf("HKLM\\Software"), nullptr);
  EXPECT_EQ(DeleteRegistryTree("HKCR\\Folder\\shell\\No such verb of Tessory"), ERROR_FILE_NOT_FOUND);
  EXPECT_NE(DeleteRegistryTree("HKXX\\Folder"), ERROR_SUCCESS);
  WriteClassesDefault(L"TessoryTestTree\\a\\b\\c", L"1");
  WriteClassesDefault(L"TessoryTestTree\\d", L"2");
  EXPECT_EQ(DeleteRegistryTree("HKCR\\TessoryTestTree"), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"TessoryTestTree"));
}

class GetKeyValueTest : public ::testing::Test {
 protected:
  static constexpr const wchar_t* kKey = L"Software\\Ombrel\\TessoryTestValues";
  void SetUp() override {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring text = L"C:\\Tools\\msinfo32.exe";
    RegSetValueExW(key, L"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    const DWORD number = 4000000000u;
    RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    const BYTE bytes[] = {1, 2, 3};
    RegSetValueExW(key, L"Bytes", 0, REG_BINARY, bytes, sizeof bytes);
    RegCloseKey(key);
  }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
};

TEST_F(GetKeyValueTest, ReadsTextAndNumbersAndKeepsTheValueForOtherTypes) {
  const std::string key = Narrow(kKey);
  std::string value = "previous";
  EXPECT_TRUE(GetKeyValue(HKEY_CURRENT_USER, key, "Text", value));
  EXPECT_EQ(value, "C:\\Tools\\msinfo32.exe");
  EXPECT_TRUE(GetKeyValue(HKEY_CURRENT_USER, key, "Number", value));
  EXPECT_EQ(value, "4000000000");
  value = "kept";
  EXPECT_TRUE(GetKeyValue(HKEY_CURRENT_USER, key, "Bytes", value));
  EXPECT_EQ(value, "kept");
  EXPECT_FALSE(GetKeyValue(HKEY_CURRENT_USER, key, "Missing", value));
  EXPECT_EQ(value, "");
  value = "x";
  EXPECT_FALSE(GetKeyValue(HKEY_CURRENT_USER, key + "\\NoSuchKey", "Text", value));
  EXPECT_EQ(value, "");
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Run with a Western code page (1252).
TEST(WriteDocumentFileTest, AnsiWhenEveryCharacterFitsOtherwiseDeclaredUtf8) {
  ASSERT_EQ(GetACP(), 1252u);
  const std::string path = ProgramFolder() + "document-save-test.html";
  {
    std::ofstream old(path, std::ios::binary);
    old << std::string(5000, 'x');
  }
  struct Case {
    const wchar_t* markup;
    const char* bytes;
  };
  const Case cases[] = {
      {L"<head></head><body>short</body>", "<head></head><body>short</body>"},
      {L"<HEAD><STYLE></STYLE></HEAD><BODY>caf\u00e9</BODY>", "<HEAD><STYLE></STYLE></HEAD><BODY>caf\xE9</BODY>"},
      {L"<HEAD><STYLE></STYLE></HEAD>\u4e2d \u0141\u00f3d\u017a \U0001F600 caf\u00e9",
       "<HEAD><meta charset=\"utf-8\"><STYLE></STYLE></HEAD>\xE4\xB8\xAD \xC5\x81\xC3\xB3" "d\xC5\xBA "
       "\xF0\x9F\x98\x80 caf\xC3\xA9"},
      {L"<HEAD><META charset=utf-8></HEAD>\u0141", "<HEAD><META charset=utf-8></HEAD>\xC5\x81"},
      {L"\u0141", "<meta charset=\"utf-8\">\xC5\x81"},
      {L"", ""},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteDocumentFile(path, c.markup));
    EXPECT_EQ(ReadBytes(path), c.bytes);
  }
  DeleteFileA(path.c_str());
  EXPECT_FALSE(WriteDocumentFile(ProgramFolder() + "no such folder\\x.html", L"text"));
}

// Stands in for the browser control's active object: takes the keys it is told to, records all.
class FakeActiveObject : public IOleInPlaceActiveObject {
 public:
  std::vector<WPARAM> offered;
  WPARAM takes = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetWindow(HWND*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) override {
    offered.push_back(msg->wParam);
    return msg->wParam == takes ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
};

// The preview's loop offers keystrokes inside the browser to its active object; what it takes
// is not dispatched again, and nothing else is offered.
TEST(PreviewKeysTest, KeystrokesInsideTheBrowserGoToItsActiveObject) {
  HWND frame = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  HWND browser = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 50, 50, frame, nullptr, nullptr, nullptr);
  HWND page = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 20, 20, browser, nullptr, nullptr, nullptr);
  HWND toolbar = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 60, 0, 20, 20, frame, nullptr, nullptr, nullptr);
  FakeActiveObject active;
  active.takes = VK_TAB;
  struct Case {
    HWND target;
    UINT message;
    WPARAM key;
    bool taken;
    bool offered;
  };
  const Case cases[] = {
      {page, WM_KEYDOWN, VK_TAB, true, true},       {browser, WM_KEYDOWN, VK_TAB, true, true},
      {page, WM_KEYDOWN, 'C', false, true},         {page, WM_CHAR, VK_TAB, true, true},
      {toolbar, WM_KEYDOWN, VK_TAB, false, false},  {page, WM_LBUTTONDOWN, VK_TAB, false, false},
      {frame, WM_SYSKEYDOWN, VK_TAB, false, false},
  };
  for (const Case& c : cases) {
    active.offered.clear();
    MSG msg{c.target, c.message, c.key, 0, 0, {0, 0}};
    EXPECT_EQ(OfferKeyToBrowser(&active, browser, msg), c.taken) << c.message << " " << c.key;
    EXPECT_EQ(active.offered.size(), c.offered ? 1u : 0u) << c.message << " " << c.key;
  }
  MSG msg{page, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
  EXPECT_FALSE(OfferKeyToBrowser(nullptr, browser, msg)) << "no active object yet";
  DestroyWindow(frame);
}

}  // namespace
}  // namespace tessory::ui
