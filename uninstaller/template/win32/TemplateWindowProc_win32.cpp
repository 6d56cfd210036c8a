#include "TemplateWindow_win32.h"

#include <shellapi.h>

#include <new>

#include "Text_win32.h"

namespace corvel::tpl {

namespace {

constexpr UINT kHotItemState = 0x40;
constexpr COLORREF kDisabledText = 0xA0A0A0;
constexpr int kButtonTextMax = 199;

LRESULT DefaultProcessing(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return ntFamily() ? DefWindowProcW(hwnd, message, wParam, lParam)
                      : DefWindowProcA(hwnd, message, wParam, lParam);
}

TemplateWindow* WindowObject(HWND hwnd) {
  auto* own = reinterpret_cast<TemplateWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  return own ? own : CurrentTemplateWindow();
}

// Brings the hover items up to date with what the user can see of each control.
void RefreshHoverItems(TemplateWindow& w) {
  for (size_t i = 0; i < w.controls.size(); ++i) {
    HWND child = w.controls[i]->window;
    w.hoverItems[i].enabled = child && IsWindowEnabled(child);
    w.hoverItems[i].visible = child && IsWindowVisible(child);
  }
}

void RepaintLabel(TemplateWindow& w, TemplateControl& c) {
  // The label's background is often transparent: the window underneath must repaint too.
  RECT r;
  GetWindowRect(c.window, &r);
  MapWindowPoints(nullptr, w.hwnd, reinterpret_cast<POINT*>(&r), 2);
  RedrawWindow(w.hwnd, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void PaintButtonState(TemplateControl& c, bool hot) {
  HDC dc = GetDC(c.window);
  HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(c.window, WM_GETFONT, 0, 0)));
  PaintImageButton(c, dc, hot ? kHotItemState : 0);
  SelectObject(dc, oldFont);
  ReleaseDC(c.window, dc);
}

void Apply(TemplateWindow& w, const HoverEffects& fx) {
  for (int i : fx.repaint) {
    w.controls[i]->desc.colour = w.hoverItems[i].colour;
    RepaintLabel(w, *w.controls[i]);
  }
  for (int i : fx.paintNormal) PaintButtonState(*w.controls[i], false);
  for (int i : fx.paintHot) PaintButtonState(*w.controls[i], true);
  if (fx.cursor == CursorChange::Hand) SetCursor(w.handCursor);
  if (fx.cursor == CursorChange::Arrow) SetCursor(w.arrowCursor);
}

void OpenLink(TemplateWindow& w, const std::string& target) {
  if (ntFamily())
    ShellExecuteW(w.hwnd, L"open", utf8ToWide(target).c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
  else
    ShellExecuteA(w.hwnd, "open", utf8ToAnsi(target).c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

bool ColourRequest(TemplateWindow& w, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  TemplateControl* c = FindControlByWindow(w, reinterpret_cast<HWND>(lParam));
  if (!c) return false;
  HDC dc = reinterpret_cast<HDC>(wParam);
  const ControlDesc& d = c->desc;
  bool edit = d.type == kTypeEdit || d.type == kTypeRichEdit;
  bool opaque = false;
  switch (message) {
    case WM_CTLCOLOREDIT:
      if (!edit) return false;
      opaque = true;
      break;
    case WM_CTLCOLORLISTBOX:
      if (d.type != kTypeListBox || !c->brush) return false;
      opaque = true;
      break;
    case WM_CTLCOLORBTN: break;
    case WM_CTLCOLORSTATIC: opaque = edit; break;
    default: return false;
  }
  SetTextColor(dc, d.colour);
  if (opaque)
    SetBkColor(dc, d.colour2);
  else
    SetBkMode(dc, TRANSPARENT);
  result = reinterpret_cast<LRESULT>(c->brush);
  return true;
}

bool DrawItem(TemplateWindow& w, WPARAM wParam, LPARAM lParam) {
  TemplateControl* c = FindControlById(w, static_cast<int>(wParam));
  if (!c || !c->desc.IsOwnerDrawButton()) return false;
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  PaintImageButton(*c, item->hDC, item->itemState);
  return true;
}

void MouseMove(TemplateWindow& w, LPARAM lParam) {
  RefreshHoverItems(w);
  HoverEffects fx;
  Point mouse{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  HoverMouseMove(w.hover, w.hoverItems, mouse, fx);
  Apply(w, fx);
}

bool CursorRequest(TemplateWindow& w, HWND hwnd, WPARAM wParam, LPARAM lParam) {
  HWND from = reinterpret_cast<HWND>(wParam);
  int child = kNoControl;
  if (from != hwnd) child = ControlIndex(w, FindControlByWindow(w, from));
  RefreshHoverItems(w);
  HoverEffects fx;
  bool hand = HoverSetCursor(w.hover, w.hoverItems, child, HIWORD(lParam) == WM_MOUSEMOVE, fx);
  Apply(w, fx);
  if (hand) SetCursor(w.handCursor);
  return hand;
}

void HoverTick(TemplateWindow& w) {
  POINT cursor;
  if (!GetCursorPos(&cursor)) return;
  HoverEffects fx;
  HoverTimer(w.hover, w.hoverItems,
             [&w, cursor](int i) {
               RECT r;
               HWND child = w.controls[i]->window;
               return child && GetWindowRect(child, &r) && PtInRect(&r, cursor);
             },
             fx);
  Apply(w, fx);
}

void Click(TemplateWindow& w) {
  int link = HoverClick(w.hover, w.hoverItems);
  if (link != kNoControl) OpenLink(w, w.controls[link]->desc.linkTarget);
}

}  // namespace

void PaintImageButton(TemplateControl& c, HDC dc, UINT itemState) {
  RECT client;
  GetClientRect(c.window, &client);
  int32_t width = client.right, height = client.bottom;
  bool disabled = (GetWindowLongA(c.window, GWL_STYLE) & WS_DISABLED) != 0;
  bool focused = (itemState & ODS_FOCUS) != 0;
  ButtonFrameChoice choice = ChooseButtonFrame((itemState & ODS_SELECTED) != 0, disabled,
                                               (itemState & kHotItemState) != 0, focused, c.stripWidth, width);
  if (c.strip) BitBlt(dc, 0, 0, width, height, c.strip, choice.frame * width, 0, SRCCOPY);

  std::wstring wide;
  std::string ansi;
  if (ntFamily()) {
    wchar_t text[kButtonTextMax + 1] = {};
    wide.assign(text, static_cast<size_t>(GetWindowTextW(c.window, text, kButtonTextMax + 1)));
    if (wide.empty()) return;
  } else {
    char text[kButtonTextMax + 1] = {};
    ansi.assign(text, static_cast<size_t>(GetWindowTextA(c.window, text, kButtonTextMax + 1)));
    if (ansi.empty()) return;
  }
  auto draw = [&](RECT* r, UINT format) {
    if (ntFamily())
      DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), r, format);
    else
      DrawTextA(dc, ansi.c_str(), static_cast<int>(ansi.size()), r, format);
  };
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, disabled ? kDisabledText : c.desc.colour2);
  RECT r = client;
  draw(&r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  if (choice.focusRect) {
    RECT extent = {0, 0, 0, 0};
    draw(&extent, DT_SINGLELINE | DT_CALCRECT);
    int32_t fw = extent.right - extent.left + 6, fh = extent.bottom - extent.top + 4;
    RECT focus = {(width - fw) / 2, (height - fh) / 2, (width - fw) / 2 + fw, (height - fh) / 2 + fh};
    DrawFocusRect(dc, &focus);
  }
}

namespace {

LRESULT Dispatch(TemplateWindow& w, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace

LRESULT CALLBACK TemplateWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  TemplateWindow* object = WindowObject(hwnd);
  if (!object) return DefaultProcessing(hwnd, message, wParam, lParam);
  // No exception may cross the system's frames: running out of memory in a handler is noted
  // and the message gets default processing.
  try {
    return Dispatch(*object, hwnd, message, wParam, lParam);
  } catch (const std::bad_alloc&) {
    object->outOfMemory = true;
    return DefaultProcessing(hwnd, message, wParam, lParam);
  }
}

namespace {

LRESULT Dispatch(TemplateWindow& w, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  bool tracking = (w.hover.flags & kHoverTracking) != 0;
  LRESULT result = 0;
  switch (message) {
    case WM_CLOSE:
      if (w.handlers.close(w, wParam, lParam)) return 1;
      break;
    case WM_COMMAND:
      if (w.handlers.command(w, wParam, lParam)) return 1;
      break;
    case WM_INITDIALOG:
      if (w.handlers.initialise(w, hwnd, wParam, lParam)) return 1;
      break;
    case WM_NOTIFY:
      if (w.handlers.notify(w, wParam, lParam)) return 1;
      break;
    case WM_PAINT:
      if (w.handlers.paint(w, wParam, lParam)) return 1;
      break;
    case WM_TIMER:
      if (wParam == kHoverTimerId && (w.hover.flags & kHoverHot)) HoverTick(w);
      if (w.handlers.timer(w, wParam, lParam)) return 1;
      break;
    case WM_MOUSEMOVE:
      if (!tracking) break;
      MouseMove(w, lParam);
      if (w.handlers.otherMessage(w, message, wParam, lParam)) return 1;
      break;
    case WM_SETCURSOR:
      if (tracking && CursorRequest(w, hwnd, wParam, lParam)) return 1;
      break;
    case WM_LBUTTONDOWN:
      if (w.hover.flags & kHoverHot) Click(w);
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      if (ColourRequest(w, message, wParam, lParam, result)) return result;
      break;
    case WM_DRAWITEM:
      if (DrawItem(w, wParam, lParam)) return 1;
      break;
    default: break;
  }
  return DefaultProcessing(hwnd, message, wParam, lParam);
}

}  // namespace

}  // namespace corvel::tpl
