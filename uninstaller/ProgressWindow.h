#pragma once
// The progress window as the run sees it. The template engine builds it from the record's
// window template; the run only shows, hides, enables and fills controls by ID and runs the
// message loop on its handle. Portable: the handle is passed as an opaque pointer (an HWND).
#include <cstdint>
#include <memory>
#include <string>

#include "RecordFormat.h"

namespace corvel {

namespace control {
constexpr int kDetails = 54;
constexpr int kClose = 55;
constexpr int kProduct = 57;
constexpr int kFirstStatusMark = 61;  // 61..65, one per stage
constexpr int kLastStatusMark = 65;
constexpr int kEndNotice = 71;
constexpr int kProblemsNotice = 72;
}  // namespace control

class ProgressWindow;

// What the run does when the window reports something (the three handler slots the
// uninstaller replaces). Each returns true when it acted.
class ProgressWindowEvents {
public:
    virtual ~ProgressWindowEvents() = default;
    // WM_INITDIALOG, sent while the window is being built: hide marks, disable buttons,
    // fill the product text.
    virtual bool onInitialise(ProgressWindow& window) = 0;
    // WM_CLOSE: the closing actions.
    virtual bool onClose(ProgressWindow& window) = 0;
    // WM_COMMAND with notification code 0: 54 opens the details, 55 runs the closing actions.
    virtual bool onCommand(ProgressWindow& window, int controlId) = 0;
};

// What the window is built from. The spans point into the run's record and stay valid for
// the whole run.
struct WindowSource {
    ByteSpan windowTemplate;  // begins with "RTT"
    const ImageTable* images = nullptr;
    int32_t language = 0;     // picks the language-tagged control texts
    std::string captionUtf8;  // window title
};

class ProgressWindow {
public:
    virtual ~ProgressWindow() = default;
    // 1 on success; -2 template without "RTT", -6 out of memory, -1 window not created.
    // Anything but 1 means the window could not be built and the run goes on without it.
    virtual int build(const WindowSource& source, ProgressWindowEvents& events, void* moduleInstance) = 0;
    virtual void* handle() const = 0;  // the top-level HWND, or nullptr
    virtual void setTitleUtf8(const std::string& text) = 0;
    virtual void showControl(int id, bool visible) = 0;
    virtual void enableControl(int id, bool enabled) = 0;
    // Adds the default-button style and gives the control the focus.
    virtual void makeDefaultAndFocus(int id) = 0;
    // UTF-8 text of a control (at most 1023 characters), or empty when there is no such control.
    virtual std::string controlTextUtf8(int id) const = 0;
    virtual void setControlTextUtf8(int id, const std::string& text) = 0;
};

// Supplied by the template engine when it is linked in; returns nullptr otherwise.
std::unique_ptr<ProgressWindow> createProgressWindow();

}  // namespace corvel
