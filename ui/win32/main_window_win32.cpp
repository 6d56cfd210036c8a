#include "main_window_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "../commands.h"
#include "../folder_verb.h"
#include "../layout.h"
#include "../res/resource.h"
#include "about_box_win32.h"
#include "folder_verb_win32.h"
#include "listing/win32/win32_file_system.h"
#include "listing_file_win32.h"
#include "platform/win32/wide_text_win32.h"
#include "preview_window_win32.h"
#include "save_dialog_win32.h"
#include "settings/dialog/win32/settings_dialog_win32.h"
#include "settings/encodings.h"
#include "settings/settings_store.h"
#include "toolbar_win32.h"

namespace tessory::ui {

namespace {

constexpr const wchar_t* kTitle = L"Tessory";
constexpr const char* kOutputSection = "Output";
constexpr const char* kBrowserKey = "Browser";
constexpr const char* kTemporaryFileName = "myTmpFile.htm";
constexpr const char* kHelpFileName = "help.chm";
constexpr ULONGLONG kEventsInterval = 15;  // milliseconds between two looks at the queue during a run
constexpr const wchar_t* kInitialFolder = L"c:\\";
constexpr const wchar_t* kSecondInstanceText = L"Another instance already running.";
constexpr const wchar_t* kSecondInstanceTitle = L"Cannot start two instances";
constexpr const wchar_t* kInvalidFolderText = L"Invalid folder specified.";
constexpr const wchar_t* kInvalidFolderTitle = L"Error";
constexpr const wchar_t* kDriveUnavailableText = L"Drive not available";
constexpr const wchar_t* kWriteFailedTitle = L"Error";
constexpr const wchar_t* kFolderHint =
    L"Type or paste the folder to list, or choose it with Browse. Preview shows its listing; "
    L"Save As writes the listing to an HTML file. Options chooses what the listing holds.";

// Design sizes in twips.
constexpr int kClientWidth = 7572;
constexpr int kClientHeight = 4740;
constexpr int kFrameLeft = 120;
constexpr int kFrameWidth = 7335;
constexpr int kFrame2Top = 720;
constexpr int kFrame2Height = 735;
constexpr int kFrame1Top = 1680;
constexpr int kFolderBoxWidth = 5895;
constexpr int kBottomMargin = 120;

// Strip pictures: open, save, preview, stop, settings, help.
constexpr int kMenuPictureOfSlot[8] = {0, -1, 1, 2, -1, 3, 4, 5};

const std::vector<ToolbarButton> kToolbarButtons = {
    {L"Open", 0}, {L"", 0}, {L"Save", 1}, {L"Preview", 2}, {L"Stop", 3}, {L"", 0}, {L"Options", 4}};

int ScreenDpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

int Px(int twips) { return TwipsToPixels(twips, ScreenDpi()); }

HFONT CreateMessageFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

HWND Child(HWND parent, const wchar_t* kind, const wchar_t* text, DWORD style, int id, HFONT font, DWORD exStyle = 0) {
  HWND control = CreateWindowExW(exStyle, kind, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

}  // namespace

std::wstring ToLongPath(const std::wstring& path) {
  // A path past MAX_PATH is asked in its extended-length form and given back without the prefix.
  const std::wstring asked = ExtendedLengthPath(path);
  const std::size_t prefix = asked == path ? 0 : asked.compare(0, 8, L"\\\\?\\UNC\\") == 0 ? 6 : 4;
  std::vector<wchar_t> buffer(260);
  FileSystemRedirectionOff redirectionOff;  // the 32-bit program names the true System32 too
  DWORD n = GetLongPathNameW(asked.c_str(), buffer.data(), 260);
  if (n == 0) return std::wstring();
  if (n > 260) {
    buffer.assign(n, L'\0');
    n = GetLongPathNameW(asked.c_str(), buffer.data(), n);
    if (n == 0 || n > buffer.size()) return std::wstring();
  }
  const std::wstring found(buffer.data(), n);
  if (prefix == 6) return L"\\" + found.substr(8);
  return found.substr(prefix);
}

bool DirectorySearchFinds(const std::wstring& text) {
  // A text that ends in a separator searches inside that folder, as the runtime's search does.
  std::wstring pattern = text;
  if (!pattern.empty() && (pattern.back() == L'\\' || pattern.back() == L'/')) pattern += L'*';
  pattern = ExtendedLengthPath(pattern);
  WIN32_FIND_DATAW found;
  HANDLE search;
  {
    FileSystemRedirectionOff redirectionOff;
    search = FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &found, FindExSearchLimitToDirectories, nullptr, 0);
  }
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

MainWindow::MainWindow(HINSTANCE instance, FileSystem& fileSystem)
    : instance_(instance),
      engine_(fileSystem, *this),
      dir1_([this](const std::wstring& path) { Dir1_Change(path); }) {}

MainWindow::~MainWindow() {
  for (HBITMAP picture : picture1_)
    if (picture) DeleteObject(picture);
  if (imageList3_) ImageList_Destroy(imageList3_);
  if (font_) DeleteObject(font_);
  if (instanceMutex_) CloseHandle(instanceMutex_);
}

bool MainWindow::Start(const std::wstring& commandLine, int showCommand) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance_;
  wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_TESSORY));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TESSORY), IMAGE_ICON, 16, 16, 0));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMainWindowClass;
  RegisterClassExW(&wc);

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT outer{0, 0, Px(kClientWidth), Px(kClientHeight)};
  AdjustWindowRectEx(&outer, style, TRUE, 0);
  window_ = CreateWindowExW(0, kMainWindowClass, kTitle, style, CW_USEDEFAULT, CW_USEDEFAULT,
                            outer.right - outer.left, outer.bottom - outer.top, nullptr,
                            LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_MAINMENU)), instance_, this);
  if (!window_) return false;
  accelerators_ = LoadAcceleratorsW(instance_, MAKEINTRESOURCEW(IDR_ACCELERATORS));

  Form_Load();
  if (RefuseSecondInstance()) return false;

  CheckMenuItem(GetMenu(window_), ID_MN_USEINTERNALBROWSER,
                FlagNotZero(GetSetting(kOutputSection, kBrowserKey, "1")) ? MF_CHECKED : MF_UNCHECKED);

  const std::string tail = CommandTail(Narrow(commandLine));
  if (!tail.empty()) {
    SetFolderText(ToLongPath(Widen(FolderFromCommandTail(tail))));
    LetEventsRun();
    ValidateAndRun(kOutputShow);
  }
  if (!window_) return false;
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  return true;
}

void MainWindow::Form_Load() {
  CreateControls();
  SetMenuPictures();
  CentreOnScreen();
  dir1_.SetPath(kInitialFolder);
}

bool MainWindow::RefuseSecondInstance() {
  instanceMutex_ = CreateMutexW(nullptr, FALSE, kInstanceMutexName);
  if (!instanceMutex_ || GetLastError() != ERROR_ALREADY_EXISTS) return false;
  MessageBoxW(window_, kSecondInstanceText, kSecondInstanceTitle, MB_OK | MB_ICONINFORMATION);
  DestroyWindow(window_);
  window_ = nullptr;
  return true;
}

void MainWindow::CreateControls() {
  font_ = CreateMessageFont();
  imageList3_ = LoadPictureStrip(instance_, IDB_MAIN_PICTURES);
  toolbar1_ = CreatePictureToolbar(window_, IDC_TOOLBAR1, imageList3_, kToolbarButtons, ID_TOOLBAR_BUTTON_FIRST);
  SendMessageW(toolbar1_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

  frame2_ = Child(window_, L"BUTTON", L"Source Drive", BS_GROUPBOX, IDC_FRAME2, font_);
  drive1_ = Child(window_, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, IDC_DRIVE1, font_);
  frame1_ = Child(window_, L"BUTTON", L"Source Folder", BS_GROUPBOX, IDC_FRAME1, font_);
  txtFolder_ = Child(window_, WC_EDITW, L"", ES_AUTOHSCROLL | WS_TABSTOP, IDC_TXTFOLDER, font_, WS_EX_CLIENTEDGE);
  browse_ = Child(window_, WC_BUTTONW, L"&Browse...", BS_PUSHBUTTON | WS_TABSTOP, IDC_BROWSE, font_);
  hint_ = Child(window_, WC_STATICW, kFolderHint, SS_LEFT, IDC_FOLDER_HINT, font_);
  sbar_ = Child(window_, STATUSCLASSNAMEW, L"", 0, IDC_SBAR, font_);
  int parts[] = {-1};
  SendMessageW(sbar_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
  RECT bar;
  GetWindowRect(sbar_, &bar);
  // The folder frame reaches down to the status bar.
  const int frame1Bottom = Px(kClientHeight) - (bar.bottom - bar.top) - Px(kBottomMargin);

  const int inset = Px(120);
  MoveWindow(frame2_, Px(kFrameLeft), Px(kFrame2Top), Px(kFrameWidth), Px(kFrame2Height), FALSE);
  MoveWindow(drive1_, Px(kFrameLeft) + inset, Px(kFrame2Top) + Px(300), Px(kFrameWidth) - 2 * inset, Px(3000),
             FALSE);
  MoveWindow(frame1_, Px(kFrameLeft), Px(kFrame1Top), Px(kFrameWidth), frame1Bottom - Px(kFrame1Top), FALSE);
  MoveWindow(txtFolder_, Px(kFrameLeft) + inset, Px(kFrame1Top) + Px(300), Px(kFolderBoxWidth), Px(330), FALSE);
  const int browseLeft = Px(kFrameLeft) + 2 * inset + Px(kFolderBoxWidth);
  MoveWindow(browse_, browseLeft, Px(kFrame1Top) + Px(285), Px(kFrameLeft + kFrameWidth) - inset - browseLeft, Px(360),
             FALSE);
  MoveWindow(hint_, Px(kFrameLeft) + inset, Px(kFrame1Top) + Px(800), Px(kFrameWidth) - 2 * inset,
             frame1Bottom - Px(kFrame1Top) - Px(900), FALSE);
  SendMessageW(txtFolder_, EM_SETLIMITTEXT, 32767, 0);
  FillDriveList();
}

void MainWindow::FillDriveList() {
  wchar_t drives[512] = {};
  const DWORD n = GetLogicalDriveStringsW(511, drives);
  if (n == 0 || n > 511) return;
  for (const wchar_t* drive = drives; *drive; drive += wcslen(drive) + 1) {
    std::wstring entry{static_cast<wchar_t>(towlower(drive[0])), L':'};
    const UINT kind = GetDriveTypeW(drive);
    wchar_t label[MAX_PATH + 1] = {};
    // Removable drives are not asked for a label: that would wait for a medium.
    if ((kind == DRIVE_FIXED || kind == DRIVE_RAMDISK) &&
        GetVolumeInformationW(drive, label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0) && label[0])
      entry += L" [" + std::wstring(label) + L"]";
    SendMessageW(drive1_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  }
  SendMessageW(drive1_, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"c:"));
}

void MainWindow::SetMenuPictures() {
  for (int slot = 0; slot < 8; ++slot)
    picture1_[slot] = LoadMenuPicture(instance_, IDB_MAIN_PICTURES, kMenuPictureOfSlot[slot]);
  // The pictures go beside the captions at their full 16x16 size; the check-mark area would cut them.
  HMENU bar = GetMenu(window_);
  auto give = [&](UINT command, int slot) {
    if (!picture1_[slot] || command == static_cast<UINT>(-1)) return;
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_BITMAP;
    item.hbmpItem = picture1_[slot];
    SetMenuItemInfoW(bar, command, FALSE, &item);
  };
  HMENU listing = GetSubMenu(bar, 0);
  for (int position = 0; position <= 5; ++position) give(GetMenuItemID(listing, position), position);
  give(GetMenuItemID(GetSubMenu(bar, 1), 0), 6);
  give(ID_MNU_CONTENTS, 7);
}

void MainWindow::CentreOnScreen() {
  RECT r;
  GetWindowRect(window_, &r);
  SetWindowPos(window_, nullptr, CentredOrigin(GetSystemMetrics(SM_CXSCREEN), r.right - r.left),
               CentredOrigin(GetSystemMetrics(SM_CYSCREEN), r.bottom - r.top), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (!self || self->window_ != window) return DefWindowProcW(window, message, wParam, lParam);
  return self->Handle(message, wParam, lParam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      Command(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
      if (HIWORD(wParam) == CBN_SELCHANGE && reinterpret_cast<HWND>(lParam) == drive1_) Drive1_Change();
      return 0;
    case WM_SIZE:
      SendMessageW(toolbar1_, TB_AUTOSIZE, 0, 0);
      SendMessageW(sbar_, WM_SIZE, 0, 0);
      return 0;
    case WM_SETCURSOR:
      if (busy_) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      // The run in progress uses this window's controls: it is stopped first, the close follows it.
      if (engine_.Running()) {
        engine_.RequestStop();
        closeAfterRun_ = true;
        return 0;
      }
      Form_Unload();
      DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(exitCode_);
      return 0;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void MainWindow::Form_Unload() {
  const bool checked = InternalBrowserChecked();
  SaveSetting(kOutputSection, kBrowserKey, std::to_string(FlagFromBoolean(checked)));
}

void MainWindow::Command(int id, HWND control) {
  if (control && control == toolbar1_) {
    Toolbar1_ButtonClick(id);
    return;
  }
  if (control && id != IDC_BROWSE) return;
  switch (id) {
    case ID_MN_OPEN:
    case IDC_BROWSE: mnOpen_Click(); break;
    case ID_MN_SAVE: ValidateAndRun(kOutputSave); break;
    case ID_MN_PREVIEW: ValidateAndRun(kOutputShow); break;
    case ID_MN_STOP: mnStop_Click(); break;
    case ID_MN_SETTINGS: mnSettings_Click(); break;
    case ID_MN_USEINTERNALBROWSER: mnUseInternalBrowser_Click(); break;
    case ID_MNU_CONTENTS: mnucontents_Click(); break;
    case ID_MN_ABOUT: mnAbout_Click(); break;
  }
}

void MainWindow::Toolbar1_ButtonClick(int command) {
  switch (MainCommandForCaption(ToolbarButtonCaption(toolbar1_, command))) {
    case MainCommand::Settings: mnSettings_Click(); break;
    case MainCommand::Preview: ValidateAndRun(kOutputShow); break;
    case MainCommand::Save: ValidateAndRun(kOutputSave); break;
    case MainCommand::Stop: mnStop_Click(); break;
    case MainCommand::Open: mnOpen_Click(); break;
    default: break;
  }
}

void MainWindow::mnOpen_Click() {
  const std::string chosen = BrowseForFolder(window_);
  if (chosen.empty()) return;
  SetFolderText(Widen(chosen));
  dir1_.SetPath(Widen(chosen));
}

void MainWindow::mnStop_Click() { engine_.RequestStop(); }

void MainWindow::mnSettings_Click() {
  settings::ShowSettingsDialog(window_);
}

void MainWindow::mnUseInternalBrowser_Click() {
  CheckMenuItem(GetMenu(window_), ID_MN_USEINTERNALBROWSER, InternalBrowserChecked() ? MF_UNCHECKED : MF_CHECKED);
}

void MainWindow::mnucontents_Click() {
  const std::wstring help = Widen(ProgramFolder() + kHelpFileName);
  ShellExecuteW(window_, L"open", help.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void MainWindow::mnAbout_Click() { ShowAboutBox(instance_, window_); }

void MainWindow::Drive1_Change() {
  const LRESULT index = SendMessageW(drive1_, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return;
  wchar_t entry[MAX_PATH + 8] = {};
  if (SendMessageW(drive1_, CB_GETLBTEXTLEN, index, 0) >= static_cast<LRESULT>(std::size(entry))) return;
  SendMessageW(drive1_, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(entry));
  // Only a drive that is not ready is reported; any other failure keeps the previous folder silently.
  if (DriveNotReady(dir1_.SetPath(DriveCurrentFolder(entry[0]))))
    MessageBoxW(window_, kDriveUnavailableText, kTitle, MB_OK);
}

void MainWindow::Dir1_Change(const std::wstring& path) { SetFolderText(path); }

void MainWindow::ValidateAndRun(std::int16_t mode) {
  const std::wstring folder = FolderText();
  if (folder.empty()) return;
  // One run at a time: the runs share the run state and the temporary listing file.
  if (engine_.Running()) return;
  if (!DirectorySearchFinds(folder)) {
    MessageBoxW(window_, kInvalidFolderText, kInvalidFolderTitle, MB_OK | MB_ICONSTOP);
    return;
  }
  const RunOutcome outcome = engine_.BuildListing(Narrow(folder), mode);
  // A listing that could not be written is never a silent nothing.
  if (outcome == RunOutcome::WriteFailed && window_) {
    const FileFailure& failure = engine_.LastFailure();
    MessageBoxW(window_, WriteFailureText(failure.path, failure.error).c_str(), kWriteFailedTitle, MB_OK | MB_ICONSTOP);
  }
  if (closeAfterRun_ && window_) PostMessageW(window_, WM_CLOSE, 0, 0);
}

std::wstring MainWindow::FolderText() const {
  const int length = GetWindowTextLengthW(txtFolder_);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int n = GetWindowTextW(txtFolder_, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  return text;
}

void MainWindow::SetFolderText(const std::wstring& text) { SetWindowTextW(txtFolder_, text.c_str()); }

bool MainWindow::InternalBrowserChecked() const {
  return (GetMenuState(GetMenu(window_), ID_MN_USEINTERNALBROWSER, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void MainWindow::SetBusy(bool busy) {
  busy_ = busy;
  SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void MainWindow::SetStatusText(const std::string& text) {
  SendMessageW(sbar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

bool MainWindow::Dispatch(MSG& msg) {
  const HWND about = AboutBoxWindow();
  if (about && IsDialogMessageW(about, &msg)) return true;
  if (window_ && accelerators_ && TranslateAcceleratorW(window_, accelerators_, &msg)) return true;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return true;
}

void MainWindow::LetEventsRun() {
  // The run asks after every file and row; a few dozen times a second keeps Stop and repainting
  // prompt, while a queue check per file would cost more than the walk itself.
  const ULONGLONG now = GetTickCount64();
  if (now - lastEventsRun_ < kEventsInterval) return;
  lastEventsRun_ = now;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The loop that owns the quit request must still see it after the run.
      engine_.RequestStop();
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Dispatch(msg);
  }
}

std::string MainWindow::TemporaryFilePath() { return ListingFilePath(kTemporaryFileName); }

void MainWindow::ShowDocument(const std::string& documentPath) {
  if (InternalBrowserChecked()) {
    ShowPreviewModal(instance_, window_, documentPath);
    return;
  }
  ShellExecuteW(window_, L"open", Widen(documentPath).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::optional<std::string> MainWindow::AskSavePath() { return AskSaveHtmlPath(window_); }

void MainWindow::DocumentSaved(const std::string&) { ShowSavedMessage(window_); }

int MainWindow::MessageLoop() {
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) Dispatch(msg);
  return got == 0 ? static_cast<int>(msg.wParam) : 1;  // -1: the queue itself failed
}

}  // namespace tessory::ui
