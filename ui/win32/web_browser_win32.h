#pragma once
// The platform's web browser control hosted in an "AtlAxWin" window of atl.dll.
#include <windows.h>

#include <string>

struct IWebBrowser2;
struct IOleInPlaceActiveObject;

namespace tessory::ui {

class WebBrowserHost {
 public:
  WebBrowserHost() = default;
  ~WebBrowserHost();
  WebBrowserHost(const WebBrowserHost&) = delete;
  WebBrowserHost& operator=(const WebBrowserHost&) = delete;

  // Creates the hosting child window; false when the platform has no such control.
  bool Create(HWND parent, int id);
  HWND Window() const { return window_; }
  // Loads a plain file path (UTF-8).
  void Navigate(const std::string& path);
  // The inner markup of the shown document's root element; false when it cannot be had.
  bool RootInnerHtml(std::wstring& markup);
  // The browser's print command with the print dialog shown to the user.
  void Print();
  // Offers a keystroke of the message loop to the page (Tab, Ctrl+C, Ctrl+A); true when the page took it.
  bool TranslateKey(MSG& msg);

 private:
  HWND window_ = nullptr;
  IWebBrowser2* browser_ = nullptr;
  IOleInPlaceActiveObject* activeObject_ = nullptr;
};

// A keystroke meant for a window inside browserWindow, offered to the control's active object:
// true when it took the keystroke, which then must not be dispatched as well.
bool OfferKeyToBrowser(IOleInPlaceActiveObject* active, HWND browserWindow, MSG& msg);

}  // namespace tessory::ui
