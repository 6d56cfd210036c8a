#include "ProgressWindow.h"
#include "TemplateWindow_win32.h"
#include "Text_win32.h"

#include <new>

namespace corvel {

namespace {

constexpr int kControlTextMax = 1023;

// The uninstaller's progress window: a template window whose close, command and initialise
// slots hand over to the run.
class TemplateProgressWindow : public ProgressWindow {
 public:
  int build(const WindowSource& source, ProgressWindowEvents& events, void* moduleInstance) override {
    events_ = &events;
    window_.context = this;
    window_.handlers.close = OnClose;
    window_.handlers.command = OnCommand;
    window_.handlers.initialise = OnInitialise;
    window_.images = source.images;
    window_.language = source.language;
    int result = tpl::BuildTemplateWindow(window_, source.windowTemplate.data, source.windowTemplate.size,
                                          nullptr, static_cast<HINSTANCE>(moduleInstance));
    if (result == tpl::kBuildOk && !source.captionUtf8.empty()) {
      try {
        setTitleUtf8(source.captionUtf8);
      } catch (const std::bad_alloc&) {
        // The window keeps the template's title.
      }
    }
    return result;
  }

  void* handle() const override { return window_.hwnd; }

  void setTitleUtf8(const std::string& text) override {
    if (window_.hwnd) setWindowTextUtf8(window_.hwnd, text);
  }

  void showControl(int id, bool visible) override {
    if (HWND child = Child(id)) ShowWindow(child, visible ? SW_SHOW : SW_HIDE);
  }

  void enableControl(int id, bool enabled) override {
    if (HWND child = Child(id)) EnableWindow(child, enabled ? TRUE : FALSE);
  }

  void makeDefaultAndFocus(int id) override {
    HWND child = Child(id);
    if (!child) return;
    LONG style = GetWindowLongA(child, GWL_STYLE);
    // Owner-drawn buttons already carry every low style bit; other buttons become default push buttons.
    SendMessageA(child, BM_SETSTYLE, static_cast<WPARAM>(style | BS_DEFPUSHBUTTON), TRUE);
    SetFocus(child);
  }

  std::string controlTextUtf8(int id) const override {
    HWND child = Child(id);
    return child ? windowTextUtf8(child, kControlTextMax) : std::string();
  }

  void setControlTextUtf8(int id, const std::string& text) override {
    if (HWND child = Child(id)) setWindowTextUtf8(child, text);
  }

 private:
  HWND Child(int id) const {
    tpl::TemplateControl* c = tpl::FindControlById(const_cast<tpl::TemplateWindow&>(window_), id);
    return c ? c->window : nullptr;
  }

  static TemplateProgressWindow& Self(tpl::TemplateWindow& w) {
    return *static_cast<TemplateProgressWindow*>(w.context);
  }

  static bool OnClose(tpl::TemplateWindow& w, WPARAM, LPARAM) {
    TemplateProgressWindow& self = Self(w);
    return self.events_->onClose(self);
  }

  static bool OnCommand(tpl::TemplateWindow& w, WPARAM wParam, LPARAM) {
    if (HIWORD(wParam) != 0) return false;
    TemplateProgressWindow& self = Self(w);
    return self.events_->onCommand(self, LOWORD(wParam));
  }

  static bool OnInitialise(tpl::TemplateWindow& w, HWND, WPARAM, LPARAM) {
    TemplateProgressWindow& self = Self(w);
    return self.events_->onInitialise(self);
  }

  tpl::TemplateWindow window_;
  ProgressWindowEvents* events_ = nullptr;
};

}  // namespace

std::unique_ptr<ProgressWindow> createProgressWindow() { return std::make_unique<TemplateProgressWindow>(); }

}  // namespace corvel
