#include "preview_window_win32.h"

#include <memory>

#include "../commands.h"
#include "../layout.h"
#include "../res/resource.h"
#include "platform/win32/wide_text_win32.h"
#include "save_dialog_win32.h"
#include "toolbar_win32.h"
#include "web_browser_win32.h"

namespace tessory::ui {

namespace {

constexpr const wchar_t* kCaption = L"Tessory - Preview & Print";
constexpr int kDesignClientWidth = 7296;
constexpr int kDesignClientHeight = 5964;
// The exit code passed on when the message queue itself fails (GetMessageW gives -1).
constexpr int kMessageLoopFailed = 1;

struct Preview {
  HINSTANCE instance = nullptr;
  std::string documentPath;
  HWND window = nullptr;
  HWND toolbar = nullptr;
  HIMAGELIST pictures = nullptr;
  WebBrowserHost web;
};

int Dpi(HWND window) {
  HDC dc = GetDC(window);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(window, dc);
  return dpi > 0 ? dpi : 96;
}

int PixelsToTwips(int pixels, int dpi) { return MulDiv(pixels, 1440, dpi); }

void Form_Resize(Preview& p) {
  if (IsIconic(p.window)) return;
  SendMessageW(p.toolbar, TB_AUTOSIZE, 0, 0);
  if (!p.web.Window()) return;
  const int dpi = Dpi(p.window);
  RECT outer, bar;
  GetWindowRect(p.window, &outer);
  GetWindowRect(p.toolbar, &bar);
  const Rect twips = PreviewBrowserRect(PixelsToTwips(outer.right - outer.left, dpi),
                                        PixelsToTwips(outer.bottom - outer.top, dpi),
                                        PixelsToTwips(bar.bottom - bar.top, dpi));
  MoveWindow(p.web.Window(), TwipsToPixels(twips.left, dpi), TwipsToPixels(twips.top, dpi),
             TwipsToPixels(twips.width, dpi), TwipsToPixels(twips.height, dpi), TRUE);
}

void Save_Click(Preview& p) {
  const auto path = AskSaveHtmlPath(p.window);
  if (!path) return;
  std::wstring markup;
  if (p.web.RootInnerHtml(markup) && WriteDocumentFile(*path, markup)) ShowSavedMessage(p.window);
}

void Toolbar1_ButtonClick(Preview& p, int command) {
  switch (PreviewCommandForCaption(ToolbarButtonCaption(p.toolbar, command))) {
    case PreviewCommand::Save: Save_Click(p); break;
    case PreviewCommand::Print: p.web.Print(); break;
    case PreviewCommand::Close: DestroyWindow(p.window); break;
    case PreviewCommand::None: break;
  }
}

void Form_Load(Preview& p) {
  p.pictures = LoadPictureStrip(p.instance, IDB_PREVIEW_PICTURES);
  p.toolbar = CreatePictureToolbar(p.window, IDC_PREVIEW_TOOLBAR, p.pictures,
                                   {{L"Save", 0}, {L"Print", 1}, {L"Close", 2}}, ID_PREVIEW_BUTTON_FIRST);
  p.web.Create(p.window, IDC_WEB);
  p.web.Navigate(p.documentPath);
}

LRESULT CALLBACK PreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* p = reinterpret_cast<Preview*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      p = static_cast<Preview*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      p->window = window;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(p));
      break;
    }
    case WM_CREATE:
      Form_Load(*p);
      return 0;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) Form_Resize(*p);
      return 0;
    case WM_COMMAND:
      if (p && reinterpret_cast<HWND>(lParam) == p->toolbar && p->toolbar) {
        Toolbar1_ButtonClick(*p, LOWORD(wParam));
        return 0;
      }
      break;
    case WM_DESTROY:
      if (p) p->window = nullptr;
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterPreviewClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(instance, kPreviewWindowClass, &wc)) return;
  wc.lpfnWndProc = PreviewProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TESSORY));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kPreviewWindowClass;
  RegisterClassExW(&wc);
}

}  // namespace

void ShowPreviewModal(HINSTANCE instance, HWND owner, const std::string& documentPath) {
  RegisterPreviewClass(instance);
  auto p = std::make_unique<Preview>();
  p->instance = instance;
  p->documentPath = documentPath;
  const int dpi = Dpi(owner);
  RECT design{0, 0, TwipsToPixels(kDesignClientWidth, dpi), TwipsToPixels(kDesignClientHeight, dpi)};
  AdjustWindowRectEx(&design, WS_OVERLAPPEDWINDOW, FALSE, 0);
  HWND window = CreateWindowExW(0, kPreviewWindowClass, kCaption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                design.right - design.left, design.bottom - design.top, owner, nullptr, instance,
                                p.get());
  if (!window) return;
  const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  ShowWindow(window, SW_SHOWMAXIMIZED);
  UpdateWindow(window);
  MSG msg;
  bool quit = false;
  int quitCode = 0;
  while (p->window) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      quit = true;
      quitCode = got == 0 ? static_cast<int>(msg.wParam) : kMessageLoopFailed;
      DestroyWindow(p->window);
      break;
    }
    if (p->web.TranslateKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  if (owner && IsWindowVisible(owner)) SetActiveWindow(owner);
  ImageList_Destroy(p->pictures);
  if (quit) PostQuitMessage(quitCode);
}

}  // namespace tessory::ui
