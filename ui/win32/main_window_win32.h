#pragma once
// frmMain: the start-up window. It holds the folder to list, starts listing runs and hosts them.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "folder_list_win32.h"
#include "listing/listing_engine.h"
#include "listing/run_host.h"

namespace tessory::ui {

inline constexpr const wchar_t* kMainWindowClass = L"TessoryMain";
inline constexpr const wchar_t* kInstanceMutexName = L"Local\\Ombrel.Tessory.Instance";

class MainWindow : public RunHost {
 public:
  MainWindow(HINSTANCE instance, FileSystem& fileSystem);
  ~MainWindow() override;
  // Start-up with the process's command line; false when the program must end at once.
  bool Start(const std::wstring& commandLine, int showCommand);
  // The message loop until the window is closed; returns the exit code.
  int MessageLoop();

  // RunHost: what a listing run asks of the window.
  void SetBusy(bool busy) override;
  void SetStatusText(const std::string& text) override;
  void LetEventsRun() override;
  std::string TemporaryFilePath() override;
  void ShowDocument(const std::string& documentPath) override;
  std::optional<std::string> AskSavePath() override;
  void DocumentSaved(const std::string& path) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  bool Dispatch(MSG& msg);

  void Form_Load();
  void CreateControls();
  void FillDriveList();
  void SetMenuPictures();
  void CentreOnScreen();
  bool RefuseSecondInstance();
  void Form_Unload();

  void Command(int id, HWND control);
  void mnOpen_Click();
  void mnStop_Click();
  void mnSettings_Click();
  void mnUseInternalBrowser_Click();
  void mnucontents_Click();
  void mnAbout_Click();
  void Toolbar1_ButtonClick(int command);
  void Drive1_Change();
  void Dir1_Change(const std::wstring& path);
  void ValidateAndRun(std::int16_t mode);

  std::wstring FolderText() const;
  void SetFolderText(const std::wstring& text);
  bool InternalBrowserChecked() const;

  HINSTANCE instance_;
  ListingEngine engine_;
  ULONGLONG lastEventsRun_ = 0;
  FolderList dir1_;
  HWND window_ = nullptr;
  HWND toolbar1_ = nullptr;
  HWND frame2_ = nullptr;
  HWND drive1_ = nullptr;
  HWND frame1_ = nullptr;
  HWND txtFolder_ = nullptr;
  HWND browse_ = nullptr;
  HWND hint_ = nullptr;
  HWND sbar_ = nullptr;
  HACCEL accelerators_ = nullptr;
  HIMAGELIST imageList3_ = nullptr;
  HFONT font_ = nullptr;
  HBITMAP picture1_[8] = {};
  HANDLE instanceMutex_ = nullptr;
  bool busy_ = false;
  bool closeAfterRun_ = false;
  int exitCode_ = 0;
};

// ToLongPath: the long form of a path, or empty text when it does not resolve.
std::wstring ToLongPath(const std::wstring& path);
// The directory search of the Preview and Save commands: true when the text names or matches an entry.
bool DirectorySearchFinds(const std::wstring& text);

}  // namespace tessory::ui
