// Drives the real Tessory.exe under the test prefix: starts it, finds its windows, sends commands,
// reads texts, files and registry values.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "classes_root_win32.h"
#include "res/resource.h"

namespace {

constexpr DWORD kPatienceMs = 180000;
constexpr const wchar_t* kBrowserKey = L"Software\\VB and VBA Program Settings\\Ombrel\\Output";
constexpr const wchar_t* kHtmKey = L".htm";
constexpr const wchar_t* kChmKey = L".chm";
constexpr const wchar_t* kRecorderProgId = L"TessoryTest.RecordedHtml";
constexpr const wchar_t* kPreviewClass = L"TessoryPreview";

std::wstring BinFolder() {
  wchar_t module[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring path(module, n);
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring TempListing() { return BinFolder() + L"myTmpFile.htm"; }
std::wstring RecordedFile() { return BinFolder() + L"recorded.txt"; }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Narrow(const std::wstring& wide) {
  std::string out;
  for (wchar_t c : wide) out += static_cast<char>(c < 128 ? c : '?');
  return out;
}

bool WaitFor(const std::function<bool()>& condition, DWORD patience = kPatienceMs) {
  for (DWORD waited = 0; waited < patience; waited += 50) {
    if (condition()) return true;
    Sleep(50);
  }
  return condition();
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

void SetBrowserValue(const wchar_t* value) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kBrowserKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"Browser", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                 static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

std::wstring BrowserValue() {
  wchar_t buffer[64] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, kBrowserKey, L"Browser", RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
    return L"<missing>";
  return buffer;
}

// A folder tree below the temporary folder, removed at the end.
class TempTree {
 public:
  explicit TempTree(const std::wstring& name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + name;
    Remove(root_);
    CreateDirectoryW(root_.c_str(), nullptr);
  }
  ~TempTree() { Remove(root_); }
  const std::wstring& Root() const { return root_; }
  void File(const std::wstring& relative, const std::string& content) {
    std::ofstream out((root_ + L"\\" + relative).c_str(), std::ios::binary);
    out << content;
  }
  void Folder(const std::wstring& relative) { CreateDirectoryW((root_ + L"\\" + relative).c_str(), nullptr); }

 private:
  static void Remove(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = path + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Remove(child);
        else DeleteFileW(child.c_str());
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
  }
  std::wstring root_;
};

// One started Tessory.exe and what can be seen of it from outside.
class Tessory {
 public:
  explicit Tessory(const std::wstring& arguments, const std::wstring& program = BinFolder() + L"Tessory.exe") {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, BinFolder().c_str(),
                              &startup, &process_);
  }
  ~Tessory() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      if (HWND main = TopWindow(L"TessoryMain", nullptr)) PostMessageW(main, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(process_.hProcess, 10000) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 9);
      WaitForSingleObject(process_.hProcess, 10000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  bool Started() const { return started_ != FALSE; }

  // The top-level windows of this process with the class (and title, when given).
  std::vector<HWND> Windows(const wchar_t* className, const wchar_t* title) const {
    struct Search {
      DWORD pid;
      const wchar_t* className;
      const wchar_t* title;
      std::vector<HWND> found;
    } search{process_.dwProcessId, className, title, {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
          auto* s = reinterpret_cast<Search*>(data);
          DWORD pid = 0;
          GetWindowThreadProcessId(window, &pid);
          if (pid == s->pid && ClassOf(window) == s->className && (!s->title || WindowText(window) == s->title))
            s->found.push_back(window);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
  HWND TopWindow(const wchar_t* className, const wchar_t* title) const {
    const std::vector<HWND> found = Windows(className, title);
    return found.empty() ? nullptr : found.front();
  }
  int CountWindows(const wchar_t* className, const wchar_t* title) const {
    return static_cast<int>(Windows(className, title).size());
  }
  HWND WaitTopWindow(const wchar_t* className, const wchar_t* title) const {
    HWND found = nullptr;
    WaitFor([&] { return (found = TopWindow(className, title)) != nullptr && IsWindowVisible(found); });
    return found;
  }
  HWND WaitMainWindow() const { return WaitTopWindow(L"TessoryMain", L"Tessory"); }
  // A message box of this process with the title; its text in text.
  HWND WaitMessageBox(const wchar_t* title, std::wstring& text) const {
    HWND box = WaitTopWindow(L"#32770", title);
    if (box) text = WindowText(GetDlgItem(box, 0xFFFF));
    return box;
  }
  bool WaitExit(DWORD patience = kPatienceMs) const {
    return WaitForSingleObject(process_.hProcess, patience) == WAIT_OBJECT_0;
  }
  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION process_{};
  BOOL started_ = FALSE;
};

void Command(HWND main, int id) { PostMessageW(main, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

// A toolbar click as the toolbar reports it: the button's command, the toolbar as sender.
void ToolbarClick(HWND window, int toolbarId, int command) {
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, toolbarId)));
}

void SetFolderBox(HWND main, const std::wstring& text) {
  SendMessageW(GetDlgItem(main, IDC_TXTFOLDER), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring FolderBox(HWND main) { return WindowText(GetDlgItem(main, IDC_TXTFOLDER)); }

DWORD_PTR TextLimit(HWND box) {
  DWORD_PTR limit = 0;
  SendMessageTimeoutW(box, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, kPatienceMs, &limit);
  return limit;
}

// Waits until the window's thread has handled everything posted to it before. A sent message
// would overtake what was posted, so a text limit is posted to the main window's folder box
// after it, and looked for; other windows are only sent to.
void Drain(HWND window) {
  HWND box = GetDlgItem(window, IDC_TXTFOLDER);
  if (box == nullptr) {
    DWORD_PTR ignored;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kPatienceMs, &ignored);
    return;
  }
  static WPARAM marker = 0x7FFF0000;
  const DWORD_PTR limit = TextLimit(box), mark = ++marker;
  PostMessageW(box, EM_SETLIMITTEXT, mark, 0);
  WaitFor([&] { return TextLimit(box) == mark; });
  SendMessageW(box, EM_SETLIMITTEXT, limit, 0);
}

class TessoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteFileW(TempListing().c_str());
    DeleteFileW(RecordedFile().c_str());
    previousHtm_ = ClassesDefault(kHtmKey);
    // The "open" handler of .htm files records what it is asked to open.
    WriteClassesDefault(std::wstring(kRecorderProgId) + L"\\shell\\open\\command",
                        L"\"" + BinFolder() + L"tessory_test_recorder.exe\" \"%1\"");
    WriteClassesDefault(kHtmKey, kRecorderProgId);
    previousChm_ = ClassesDefault(kChmKey);
    WriteClassesDefault(kChmKey, kRecorderProgId);
    SetBrowserValue(L"0");
  }
  void TearDown() override {
    WriteClassesDefault(kHtmKey, previousHtm_.empty() ? L"htmlfile" : previousHtm_);
    WriteClassesDefault(kChmKey, previousChm_.empty() ? L"chm.file" : previousChm_);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kRecorderProgId);
  }
  std::wstring previousHtm_;
  std::wstring previousChm_;
};

std::string RecordedCommandLine() {
  const std::string recorded = ReadBytes(RecordedFile());
  return Narrow(std::wstring(reinterpret_cast<const wchar_t*>(recorded.data()), recorded.size() / sizeof(wchar_t)));
}

TEST_F(TessoryTest, CommandLineFolderIsListedAndOpenedInTheDefaultProgram) {
  TempTree tree(L"TessoryCmdLine");
  tree.File(L"alpha.txt", "12345");
  tree.File(L"beta.dat", "1234567890");
  tree.Folder(L"Sub Folder");
  tree.File(L"Sub Folder\\gamma.txt", "x");

  Tessory app(tree.Root());
  ASSERT_TRUE(app.Started());
  ASSERT_TRUE(WaitFor([] { return Exists(RecordedFile()); })) << "the default program was not started";
  EXPECT_NE(RecordedCommandLine().find("myTmpFile.htm"), std::string::npos) << RecordedCommandLine();

  const std::string document = ReadBytes(TempListing());
  EXPECT_NE(document.find("<h2>Listing of " + Narrow(tree.Root()) + "</h2>"), std::string::npos);
  EXPECT_NE(document.find("alpha.txt"), std::string::npos);
  EXPECT_NE(document.find("gamma.txt"), std::string::npos);
  EXPECT_NE(document.find("Total Files: 3, Total Folders : 2, Total Size: 16 bytes."), std::string::npos);
  EXPECT_EQ(document.substr(document.size() - 14), "</body></html>");

  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr) << "the main window is shown after the listing";
  EXPECT_EQ(FolderBox(main), tree.Root());
  EXPECT_EQ(app.CountWindows(kPreviewClass, L"Tessory - Preview & Print"), 0);
}

// An environment variable of this process (and so of the programs it starts) for one scope.
class ScopedVariable {
 public:
  ScopedVariable(const wchar_t* name, const std::wstring& value) : name_(name) {
    wchar_t buffer[4096] = {};
    had_ = GetEnvironmentVariableW(name, buffer, 4096) > 0;
    previous_ = buffer;
    SetEnvironmentVariableW(name, value.c_str());
  }
  ~ScopedVariable() { SetEnvironmentVariableW(name_, had_ ? previous_.c_str() : nullptr); }

 private:
  const wchar_t* name_;
  bool had_ = false;
  std::wstring previous_;
};

// Installed where a standard user may not write (an immutable folder made by the test's set-up):
// the listing goes to the per-user folder, and where that cannot be written either, a message
// names the file and the reason.
TEST_F(TessoryTest, ProgramFolderThatRefusesNewFilesListsIntoThePerUserFolder) {
  const char* prepared = std::getenv("TESSORY_LOCKED_FOLDER");
  ASSERT_NE(prepared, nullptr);
  const std::wstring locked(prepared, prepared + strlen(prepared));
  const std::wstring program = locked + L"\\Program\\Tessory.exe";
  const std::wstring perUserListing = locked + L"\\AppData\\Tessory\\myTmpFile.htm";
  ASSERT_EQ(CreateFileW((locked + L"\\Program\\probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
            INVALID_HANDLE_VALUE) << "the set-up must leave the program folder unwritable";
  TempTree tree(L"TessoryLocked");
  tree.File(L"listed-here.txt", "1");
  {
    ScopedVariable appData(L"LOCALAPPDATA", locked + L"\\AppData");
    Tessory app(tree.Root(), program);
    ASSERT_TRUE(WaitFor([] { return Exists(RecordedFile()); })) << "the command-line run showed nothing";
    EXPECT_NE(RecordedCommandLine().find(Narrow(perUserListing)), std::string::npos) << RecordedCommandLine();
    EXPECT_NE(ReadBytes(perUserListing).find("listed-here.txt"), std::string::npos);

    // The same from the main window's Preview command.
    HWND main = app.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    DeleteFileW(RecordedFile().c_str());
    DeleteFileW(perUserListing.c_str());
    tree.File(L"second-run.txt", "2");
    SetFolderBox(main, tree.Root());
    Command(main, ID_MN_PREVIEW);
    ASSERT_TRUE(WaitFor([] { return Exists(RecordedFile()); })) << "the main window's run showed nothing";
    EXPECT_NE(ReadBytes(perUserListing).find("second-run.txt"), std::string::npos);
  }
  DeleteFileW(RecordedFile().c_str());
  {
    ScopedVariable appData(L"LOCALAPPDATA", locked + L"\\LockedAppData");
    Tessory app(tree.Root(), program);
    std::wstring text;
    HWND box = app.WaitMessageBox(L"Error", text);
    ASSERT_NE(box, nullptr) << "a listing that cannot be written is reported";
    EXPECT_NE(text.find(locked + L"\\Program\\myTmpFile.htm"), std::wstring::npos) << Narrow(text);
    EXPECT_GT(text.size(), text.find(L"myTmpFile.htm") + 20) << "the system's reason follows the file";
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_NE(app.WaitMainWindow(), nullptr);
    EXPECT_FALSE(Exists(RecordedFile()));
  }
}

// A text value below HKEY_CURRENT_USER, put back as it was (or removed) when the guard ends.
class UserValue {
 public:
  UserValue(const wchar_t* key, const wchar_t* name) : key_(key), name_(name) {
    wchar_t buffer[256] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    had_ = RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buffer, &size) == ERROR_SUCCESS;
    previous_ = buffer;
  }
  ~UserValue() {
    if (had_) Set(previous_);
    else RegDeleteKeyValueW(HKEY_CURRENT_USER, key_, name_);
  }
  void Set(const std::wstring& value) const {
    RegSetKeyValueW(HKEY_CURRENT_USER, key_, name_, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }

 private:
  const wchar_t* key_;
  const wchar_t* name_;
  bool had_ = false;
  std::wstring previous_;
};

// The size bounds are written in the user's number format: group and decimal separators of two
// regional settings, as a new process reads them from the registry.
TEST_F(TessoryTest, SizeBoundsAreReadInTheUsersNumberFormat) {
  TempTree tree(L"TessorySizes");
  tree.File(L"small.txt", std::string(999, 's'));
  tree.File(L"inside.txt", std::string(2000, 'i'));
  tree.File(L"large.txt", std::string(2001, 'l'));
  constexpr const wchar_t* kInternational = L"Control Panel\\International";
  constexpr const wchar_t* kFilter = L"Software\\VB and VBA Program Settings\\Ombrel\\Filter";
  UserValue thousand(kInternational, L"sThousand"), decimal(kInternational, L"sDecimal");
  UserValue sizeOn(kFilter, L"FileSize"), from(kFilter, L"FileSizeFrom"), to(kFilter, L"FileSizeTo");
  sizeOn.Set(L"1");
  struct Case {
    const wchar_t* thousand;
    const wchar_t* decimal;
    const wchar_t* from;
    const wchar_t* to;
  };
  for (const Case& c : {Case{L",", L".", L"1,000", L"2,000.5"}, Case{L".", L",", L"1.000", L"2.000,5"}}) {
    thousand.Set(c.thousand);
    decimal.Set(c.decimal);
    from.Set(c.from);
    to.Set(c.to);
    DeleteFileW(TempListing().c_str());
    Tessory app(tree.Root());
    ASSERT_NE(app.WaitMainWindow(), nullptr);
    const std::string document = ReadBytes(TempListing());
    EXPECT_NE(document.find("inside.txt"), std::string::npos) << Narrow(c.from);
    EXPECT_EQ(document.find("small.txt"), std::string::npos) << Narrow(c.from);
    EXPECT_EQ(document.find("large.txt"), std::string::npos) << Narrow(c.from);
  }
}

// An atl.dll beside the program (a Downloads folder) is not the one the preview loads.
TEST_F(TessoryTest, PlantedLibraryBesideTheProgramIsNotLoaded) {
  SetBrowserValue(L"1");
  TempTree downloads(L"TessoryDownloads");
  const std::wstring program = downloads.Root() + L"\\Tessory.exe";
  ASSERT_TRUE(CopyFileW((BinFolder() + L"Tessory.exe").c_str(), program.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW((BinFolder() + L"planted\\atl.dll").c_str(), (downloads.Root() + L"\\atl.dll").c_str(), FALSE));
  TempTree tree(L"TessoryPlantedTree");
  tree.File(L"shown.txt", "shown");
  // Wine prefers its own atl.dll to one found beside the program; Windows takes the one it finds first.
  UserValue windowsOrder(L"Software\\Wine\\AppDefaults\\Tessory.exe\\DllOverrides", L"atl");
  windowsOrder.Set(L"native,builtin");
  Tessory app(tree.Root(), program);
  HWND preview = app.WaitTopWindow(kPreviewClass, L"Tessory - Preview & Print");
  ASSERT_NE(preview, nullptr);
  EXPECT_NE(GetDlgItem(preview, IDC_WEB), nullptr) << "the system's atl.dll hosts the browser";
  EXPECT_FALSE(Exists(downloads.Root() + L"\\planted-loaded.txt")) << "the planted atl.dll was loaded";
  ToolbarClick(preview, IDC_PREVIEW_TOOLBAR, ID_PREVIEW_BUTTON_FIRST + 2);
  PostMessageW(app.WaitMainWindow(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(app.WaitExit());
}

// Started as the shell starts the verb: its registered command line with "%1" replaced by the
// folder. Program folder and listed folder both have blanks, and a program planted at the first
// blank ("...\\Program.exe") would be started by an unquoted command line instead of Tessory.
TEST_F(TessoryTest, FolderVerbCommandLineStartsThisCopyForAFolderWithBlanks) {
  TempTree install(L"TessoryVerbInstall");
  install.Folder(L"Program Folder");
  const std::wstring program = install.Root() + L"\\Program Folder\\Tessory.exe";
  ASSERT_TRUE(CopyFileW((BinFolder() + L"tessory_test_recorder.exe").c_str(), (install.Root() + L"\\Program.exe").c_str(),
                        FALSE));
  // The verb writer adds the verb for wherever it lies; under Tessory's name it adds Tessory's.
  ASSERT_TRUE(CopyFileW((BinFolder() + L"tessory_test_verb_writer.exe").c_str(), program.c_str(), FALSE));
  {
    Tessory writer(L"", program);
    ASSERT_TRUE(writer.WaitExit());
    ASSERT_EQ(writer.ExitCode(), 0u);
  }
  ASSERT_TRUE(CopyFileW((BinFolder() + L"Tessory.exe").c_str(), program.c_str(), FALSE));
  TempTree tree(L"Tessory Verb Folder");
  tree.File(L"by-verb.txt", "v");

  std::wstring command = MergedClassesDefault(L"Folder\\shell\\Print listing with Tessory\\command");
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\Folder\\shell\\Print listing with Tessory");
  const std::size_t placeholder = command.find(L"%1");
  ASSERT_NE(placeholder, std::wstring::npos) << Narrow(command);
  command.replace(placeholder, 2, tree.Root());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  CloseHandle(process.hThread);
  const std::wstring listing = install.Root() + L"\\Program Folder\\myTmpFile.htm";
  EXPECT_TRUE(WaitFor([] { return Exists(RecordedFile()); })) << "Tessory did not show the listing";
  EXPECT_NE(ReadBytes(listing).find("<h2>Listing of " + Narrow(tree.Root()) + "</h2>"), std::string::npos);
  EXPECT_NE(ReadBytes(listing).find("by-verb.txt"), std::string::npos);
  EXPECT_FALSE(Exists(install.Root() + L"\\recorded.txt")) << "the planted Program.exe was started";
  HWND main = nullptr;
  if (WaitFor([&] { return (main = FindWindowW(L"TessoryMain", L"Tessory")) != nullptr; })) PostMessageW(main, WM_CLOSE, 0, 0);
  WaitForSingleObject(process.hProcess, kPatienceMs);
  CloseHandle(process.hProcess);
}

TEST_F(TessoryTest, ShortFormOnTheCommandLineBecomesTheLongFormInTheFolderBox) {
  TempTree tree(L"TessoryLongName Folder");
  tree.File(L"one.txt", "1");
  wchar_t shortPath[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameW(tree.Root().c_str(), shortPath, MAX_PATH), 0u);
  Tessory app(shortPath);
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(FolderBox(main), tree.Root());
  EXPECT_NE(ReadBytes(TempListing()).find("one.txt"), std::string::npos);
}

TEST_F(TessoryTest, QuotedPathWithBlanksIsListed) {
  TempTree tree(L"Tessory Quoted Folder");
  tree.File(L"quoted.txt", "1");
  Tessory app(L"\"" + tree.Root() + L"\"");
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  EXPECT_NE(ReadBytes(TempListing()).find("quoted.txt"), std::string::npos);
}

TEST_F(TessoryTest, MissingFolderOnTheCommandLineListsNothing) {
  Tessory app(L"C:\\no\\such\\folder\\anywhere");
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(FolderBox(main), L"");
  EXPECT_FALSE(Exists(TempListing()));
  EXPECT_EQ(app.CountWindows(L"#32770", L"Error"), 0);
}

// Also the toolbar's caption dispatch: its separators do nothing, its Save button validates too.
TEST_F(TessoryTest, InvalidFolderIsRefusedWithAMessageAndEmptyBoxDoesNothing) {
  Tessory app(L"");
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(FolderBox(main), L"c:\\");

  SetFolderBox(main, L"");
  Command(main, ID_MN_PREVIEW);
  Command(main, ID_MN_SAVE);
  ToolbarClick(main, IDC_TOOLBAR1, ID_TOOLBAR_BUTTON_FIRST + 3);
  Drain(main);
  EXPECT_EQ(app.CountWindows(L"#32770", L"Error"), 0);
  EXPECT_FALSE(Exists(TempListing()));

  SetFolderBox(main, L"C:\\no\\such\\folder");
  ToolbarClick(main, IDC_TOOLBAR1, ID_TOOLBAR_BUTTON_FIRST + 1);
  ToolbarClick(main, IDC_TOOLBAR1, ID_TOOLBAR_BUTTON_FIRST + 5);
  Drain(main);
  EXPECT_EQ(app.CountWindows(L"#32770", L"Error"), 0);
  for (int button : {3, 2}) {
    ToolbarClick(main, IDC_TOOLBAR1, ID_TOOLBAR_BUTTON_FIRST + button);
    std::wstring text;
    HWND box = app.WaitMessageBox(L"Error", text);
    ASSERT_NE(box, nullptr) << button;
    EXPECT_EQ(text, L"Invalid folder specified.");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }));
  }
  EXPECT_FALSE(Exists(TempListing()));
}

TEST_F(TessoryTest, SecondInstanceIsRefusedAndTheFirstListsNothing) {
  TempTree tree(L"TessorySecond");
  tree.File(L"a.txt", "a");
  Tessory first(L"");
  ASSERT_NE(first.WaitMainWindow(), nullptr);

  Tessory second(tree.Root());
  std::wstring text;
  HWND box = second.WaitMessageBox(L"Cannot start two instances", text);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(text, L"Another instance already running.");
  EXPECT_EQ(second.CountWindows(L"TessoryMain", L"Tessory") == 0 ||
                !IsWindowVisible(second.TopWindow(L"TessoryMain", L"Tessory")),
            true);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(second.WaitExit());
  EXPECT_FALSE(Exists(TempListing()));
  EXPECT_FALSE(Exists(RecordedFile()));
}

TEST_F(TessoryTest, BrowserChoiceIsReadAtStartAndWrittenAtClose) {
  struct Case {
    const wchar_t* stored;
    const wchar_t* afterSwitch;
  };
  for (const Case& c : {Case{L"0", L"1"}, Case{L"1", L"0"}, Case{L"abc", L"1"}, Case{L"0.5", L"0"}}) {
    SetBrowserValue(c.stored);
    Tessory app(L"");
    HWND main = app.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    Command(main, ID_MN_USEINTERNALBROWSER);
    Drain(main);
    EXPECT_EQ(BrowserValue(), c.stored) << "written only when the window closes";
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(app.WaitExit());
    EXPECT_EQ(BrowserValue(), c.afterSwitch) << Narrow(c.stored);
  }
}

TEST_F(TessoryTest, StopDuringALargeRunLeavesNoDocument) {
  TempTree tree(L"TessoryLarge");
  for (int i = 0; i < 60; ++i) {
    const std::wstring folder = L"f" + std::to_wstring(i);
    tree.Folder(folder);
    for (int j = 0; j < 10; ++j) tree.File(folder + L"\\file" + std::to_wstring(j) + L".txt", "data");
  }
  Tessory app(L"");
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  SetFolderBox(main, tree.Root());
  Command(main, ID_MN_PREVIEW);
  ToolbarClick(main, IDC_TOOLBAR1, ID_TOOLBAR_BUTTON_FIRST + 4);
  // Preview and Stop are queued together: the run sees Stop at its first chance to handle events.
  Drain(main);
  ASSERT_TRUE(WaitFor([&] { return WindowText(GetDlgItem(main, IDC_SBAR)).empty() && Exists(TempListing()); }));
  PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(app.WaitExit());
  const std::string partial = ReadBytes(TempListing());
  EXPECT_EQ(partial.find("</body></html>"), std::string::npos);
  EXPECT_EQ(partial.find("f59"), std::string::npos) << "the walk went on after Stop";
  EXPECT_FALSE(Exists(RecordedFile()));
}

TEST_F(TessoryTest, PreviewWindowOpensMaximisedWithTheBrowserBelowItsToolbar) {
  SetBrowserValue(L"1");
  TempTree tree(L"TessoryPreview");
  tree.File(L"shown.txt", "shown");
  Tessory app(tree.Root());
  HWND preview = app.WaitTopWindow(kPreviewClass, L"Tessory - Preview & Print");
  ASSERT_NE(preview, nullptr);
  EXPECT_TRUE(IsZoomed(preview));
  HWND main = app.TopWindow(L"TessoryMain", L"Tessory");
  EXPECT_TRUE(main == nullptr || !IsWindowVisible(main)) << "the main window appears after the preview";

  HWND toolbar = GetDlgItem(preview, IDC_PREVIEW_TOOLBAR);
  HWND web = GetDlgItem(preview, IDC_WEB);
  ASSERT_NE(toolbar, nullptr);
  ASSERT_NE(web, nullptr) << "the web browser control is hosted";
  RECT bar, browser, outer;
  GetWindowRect(toolbar, &bar);
  GetWindowRect(web, &browser);
  GetWindowRect(preview, &outer);
  EXPECT_GE(browser.top, bar.bottom);
  EXPECT_LE(browser.top - bar.bottom, 5);
  EXPECT_GT(browser.right - browser.left, (outer.right - outer.left) * 9 / 10);
  EXPECT_GT(browser.bottom - browser.top, (outer.bottom - outer.top) * 3 / 4);

  ShowWindow(preview, SW_RESTORE);
  SetWindowPos(preview, nullptr, 0, 0, 700, 500, SWP_NOZORDER | SWP_NOMOVE);
  Drain(preview);
  GetWindowRect(web, &browser);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(browser.right - browser.left, 700 - MulDiv(100, dpi, 1440));

  ToolbarClick(preview, IDC_PREVIEW_TOOLBAR, ID_PREVIEW_BUTTON_FIRST + 2);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(preview); }));
  EXPECT_NE(app.WaitMainWindow(), nullptr);
  EXPECT_FALSE(Exists(RecordedFile())) << "the preview window replaces the default program";
}

TEST_F(TessoryTest, AboutBoxIsOneModelessBoxWithTheResourceVersion) {
  Tessory app(L"");
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  Command(main, ID_MN_ABOUT);
  HWND about = app.WaitTopWindow(L"#32770", L"About Tessory");
  ASSERT_NE(about, nullptr);
  Command(main, ID_MN_ABOUT);
  Drain(main);
  EXPECT_EQ(app.CountWindows(L"#32770", L"About Tessory"), 1);
  EXPECT_TRUE(IsWindowEnabled(main)) << "the about box is not modal";

  const std::wstring exe = BinFolder() + L"Tessory.exe";
  DWORD ignored = 0;
  std::vector<BYTE> data(GetFileVersionInfoSizeW(exe.c_str(), &ignored));
  ASSERT_FALSE(data.empty());
  ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length));
  const std::wstring expected = L"Version " + std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
                                std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
                                std::to_wstring(LOWORD(info->dwFileVersionLS));
  EXPECT_EQ(WindowText(GetDlgItem(about, IDC_LBLVERSION)), expected);
  // The resource carries the project's one version number.
  EXPECT_EQ(expected, L"Version " L"" TESSORY_VERSION_TEXT);
  EXPECT_EQ(WindowText(GetDlgItem(about, IDC_LBLTITLE)), L"Tessory");

  PostMessageW(about, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }));
}

TEST_F(TessoryTest, HelpContentsOpensTheHelpFileBesideTheProgram) {
  Tessory app(L"");
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(Exists(BinFolder() + L"help.chm")) << "the build puts help.chm beside Tessory.exe";
  Command(main, ID_MNU_CONTENTS);
  ASSERT_TRUE(WaitFor([] { return Exists(RecordedFile()); }));
  EXPECT_NE(RecordedCommandLine().find(Narrow(BinFolder()) + "help.chm"), std::string::npos) << RecordedCommandLine();
}

}  // namespace

namespace {

constexpr const wchar_t* kMsinfoKey = L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";

class SystemInfoTest : public TessoryTest {
 protected:
  void SetUp() override {
    TessoryTest::SetUp();
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kMsinfoKey, L"PATH");
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Shared Tools Location", L"MSINFO");
  }
  void TearDown() override {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kMsinfoKey, L"PATH");
    TessoryTest::TearDown();
  }
};

TEST_F(SystemInfoTest, UnavailableWithoutRegistryValuesAndStartedFromThePathValue) {
  Tessory app(L"");
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  Command(main, ID_MN_ABOUT);
  HWND about = app.WaitTopWindow(L"#32770", L"About Tessory");
  ASSERT_NE(about, nullptr);

  PostMessageW(about, WM_COMMAND, IDC_CMDSYSINFO, 0);
  std::wstring text;
  HWND box = app.WaitMessageBox(L"Tessory", text);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(text, L"System Information Is Unavailable At This Time");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));

  const std::wstring program = BinFolder() + L"tessory_test_recorder.exe";
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kMsinfoKey, L"PATH", REG_SZ, program.c_str(),
                            static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  PostMessageW(about, WM_COMMAND, IDC_CMDSYSINFO, 0);
  ASSERT_TRUE(WaitFor([] { return Exists(RecordedFile()); }));
  EXPECT_NE(RecordedCommandLine().find("tessory_test_recorder.exe"), std::string::npos);
  EXPECT_EQ(app.CountWindows(L"#32770", L"Tessory"), 0);
}

}  // namespace

namespace {

TEST_F(TessoryTest, DriveThatCannotBeReachedKeepsThePreviousFolder) {
  // A drive letter whose target folder does not exist stands in for a drive without a medium.
  ASSERT_TRUE(DefineDosDeviceW(0, L"Q:", L"C:\\TessoryNoSuchDriveTarget"));
  Tessory app(L"");
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  HWND drives = GetDlgItem(main, IDC_DRIVE1);
  const LRESULT q = SendMessageW(drives, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"q:"));
  DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"Q:", nullptr);
  ASSERT_NE(q, CB_ERR) << "the drive list shows every drive letter";
  SendMessageW(drives, CB_SETCURSEL, q, 0);
  PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_DRIVE1, CBN_SELCHANGE), reinterpret_cast<LPARAM>(drives));
  std::wstring text;
  HWND box = app.WaitMessageBox(L"Tessory", text);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(text, L"Drive not available");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));
  EXPECT_EQ(FolderBox(main), L"c:\\");
  EXPECT_EQ(SendMessageW(drives, CB_GETCURSEL, 0, 0), q);

  const LRESULT c = SendMessageW(drives, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"c:"));
  SetFolderBox(main, L"typed");
  SendMessageW(drives, CB_SETCURSEL, c, 0);
  PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_DRIVE1, CBN_SELCHANGE), reinterpret_cast<LPARAM>(drives));
  Drain(main);
  EXPECT_EQ(FolderBox(main), L"typed") << "the folder list did not change, so the box keeps its text";
}

}  // namespace

namespace {

// The open top-level dialog of the process other than the main window, or nullptr.
HWND WaitDialog(const Tessory& app, const wchar_t* title) { return app.WaitTopWindow(L"#32770", title); }

TEST_F(TessoryTest, SaveRunWritesTheDocumentToTheChosenFileAndConfirms) {
  TempTree tree(L"TessorySave");
  tree.File(L"saved-entry.txt", "abc");
  const std::wstring target = tree.Root() + L"\\listing";
  Tessory app(L"");
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  SetFolderBox(main, tree.Root());
  Command(main, ID_MN_SAVE);
  HWND dialog = WaitDialog(app, L"Save As");
  ASSERT_NE(dialog, nullptr);
  // The explorer-style dialog's file name box.
  SendMessageW(GetDlgItem(dialog, 0x47C), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(target.c_str()));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  // A name that does not exist yet is confirmed first (create prompt).
  HWND saved = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    if (HWND prompt = app.TopWindow(L"#32770", L"Save As"); prompt && prompt != dialog && IsWindowVisible(prompt))
      PostMessageW(prompt, WM_COMMAND, IDYES, 0);
    saved = app.TopWindow(L"#32770", L"Saved");
    return saved != nullptr;
  }));
  EXPECT_EQ(WindowText(GetDlgItem(saved, 0xFFFF)), L"Listing was saved to specified file successfully.");
  PostMessageW(saved, WM_COMMAND, IDOK, 0);
  const std::string document = ReadBytes(target + L".html");
  EXPECT_NE(document.find("saved-entry.txt"), std::string::npos);
  EXPECT_EQ(document, ReadBytes(TempListing())) << "the chosen file and the temporary listing file hold one document";
  EXPECT_FALSE(Exists(RecordedFile())) << "a save run shows nothing";
}

TEST_F(TessoryTest, CancelledFolderBrowserLeavesTheFolderBox) {
  Tessory app(L"");
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  SetFolderBox(main, L"C:\\kept");
  ToolbarClick(main, IDC_TOOLBAR1, ID_TOOLBAR_BUTTON_FIRST);
  HWND browser = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    browser = app.TopWindow(L"#32770", nullptr);
    return browser && IsWindowVisible(browser);
  }));
  EXPECT_NE(FindWindowExW(browser, nullptr, L"Static", L"Select directory"), nullptr);
  PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(browser); }));
  Drain(main);
  EXPECT_EQ(FolderBox(main), L"C:\\kept");
}

}  // namespace

namespace {

TEST_F(TessoryTest, OptionsButtonOpensTheModalSettingsDialog) {
  Tessory app(L"");
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ToolbarClick(main, IDC_TOOLBAR1, ID_TOOLBAR_BUTTON_FIRST + 6);
  HWND settings = app.WaitTopWindow(L"#32770", L"Settings");
  ASSERT_NE(settings, nullptr);
  EXPECT_FALSE(IsWindowEnabled(main)) << "the settings dialog is modal";
  PostMessageW(settings, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(settings); }));
  EXPECT_TRUE(IsWindowEnabled(main));
}

}  // namespace
