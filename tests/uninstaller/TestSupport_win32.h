#pragma once
// Helpers for the Windows tests: scratch folders, records on a copy of the real uninstaller,
// running it, and finding and pressing the dialogs it shows.
#include <windows.h>

#include <functional>
#include <string>

#include "RecordWriter.h"

namespace corvel::test {

std::string binFolder();  // where the test executable and CorvelUninstaller.exe live
bool writeText(const std::string& path, const std::string& text);
std::string readText(const std::string& path);
bool fileExists(const std::string& path);
bool makeFolders(const std::string& path);

// Writes a copy of CorvelUninstaller.exe (or another build of it in the same folder) with the record appended.
bool writeUninstaller(const std::string& path, const writer::RecordDescription& record,
                      const char* program = "CorvelUninstaller.exe");

class Process {
public:
    bool start(const std::string& exe, const std::string& arguments);
    // Exit code, or -1 when it did not end within the time.
    int wait(DWORD milliseconds = 60000);
    DWORD id() const { return info_.dwProcessId; }
    ~Process();

private:
    PROCESS_INFORMATION info_ = {};
};

// A top-level dialog (class #32770) of the process with the given title, or nullptr after the time.
HWND findDialog(DWORD processId, const std::string& title, DWORD milliseconds = 120000);
// A visible top-level window of the process by class and, when given, title.
HWND findWindow(DWORD processId, const char* cls, const char* title, DWORD milliseconds = 120000);
std::string windowText(HWND window);
std::string itemText(HWND dialog, int id);
// Message boxes keep their text in the static control 0xFFFF.
inline std::string messageText(HWND box) { return itemText(box, 0xFFFF); }
void press(HWND dialog, int id);
// Presses and waits until the dialog is gone, so that the next search cannot find it again.
void pressAndWait(HWND dialog, int id);
// Whether the dialog is still open once its thread has handled every message posted to it so far
// (a pushed state posted to one of its buttons after them shows when it has).
bool openAfterPostedMessages(HWND dialog, int buttonId, DWORD milliseconds = 120000);
// Waits until the progress window's run has ended: Close (55) enabled, and the window's thread
// back in its message loop, so that everything the end of the run shows is shown. False after the time.
bool waitForRunEnd(HWND window, DWORD milliseconds = 10000);

std::string pendingRenames();  // PendingFileRenameOperations, entries joined by "|"

}  // namespace corvel::test

namespace corvel::test {
// Deletes a folder with everything in it.
void removeTree(const std::string& path);
// The values a test needs in the registry: created (with every key on the way) or overwritten.
void setDword(HKEY root, const std::string& key, const std::string& name, DWORD value);
void setString(HKEY root, const std::string& key, const std::string& name, const std::string& value);
bool keyExists(HKEY root, const std::string& key);
bool valueExists(HKEY root, const std::string& key, const std::string& name);
// -1 when missing.
long long readDword(HKEY root, const std::string& key, const std::string& name);
std::string readString(HKEY root, const std::string& key, const std::string& name);
}  // namespace corvel::test
