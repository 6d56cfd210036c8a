#include "TemplateWindow_win32.h"

#include <commctrl.h>
#include <richedit.h>

#include <cstring>
#include <new>

#include "Layout.h"
#include "Text_win32.h"

namespace corvel::tpl {

namespace {

TemplateWindow* g_current = nullptr;

bool NoClose(TemplateWindow&, WPARAM, LPARAM) { return false; }
bool NoCommand(TemplateWindow&, WPARAM, LPARAM) { return false; }
bool Initialised(TemplateWindow&, HWND, WPARAM, LPARAM) { return true; }
bool NoOther(TemplateWindow&, UINT, WPARAM, LPARAM) { return false; }
bool NoNotify(TemplateWindow&, WPARAM, LPARAM) { return false; }
bool NoPaint(TemplateWindow&, WPARAM, LPARAM) { return false; }
bool NoTimer(TemplateWindow&, WPARAM, LPARAM) { return false; }

int32_t ScreenScale() {
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return ScaleFromDpi(dpi);
}

SystemColours CurrentSystemColours() {
  return SystemColours{static_cast<uint32_t>(GetSysColor(COLOR_WINDOWTEXT)),
                       static_cast<uint32_t>(GetSysColor(COLOR_WINDOW)),
                       static_cast<uint32_t>(GetSysColor(COLOR_BTNFACE))};
}

HFONT MakeFont(const WindowDesc& d, int32_t scale, int weight, bool underline) {
  return CreateFontA(FontPixelHeight(d.fontSize, scale), 0, 0, 0, weight, (d.fontFlags & 2) ? TRUE : FALSE,
                     underline ? TRUE : FALSE, FALSE, 0, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, d.face.c_str());
}

Rect WorkArea() {
  RECT r;
  if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0)) GetWindowRect(GetDesktopWindow(), &r);
  return Rect{r.left, r.top, r.right, r.bottom};
}

void RegisterWindowClass(HINSTANCE instance, HCURSOR arrow) {
  if (ntFamily()) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = TemplateWindowProc;
    wc.hInstance = instance;
    wc.hCursor = arrow;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"CorvelDialogTemplate";
    RegisterClassW(&wc);
  } else {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TemplateWindowProc;
    wc.hInstance = instance;
    wc.hCursor = arrow;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
  }
}

HWND CreateAnyWindow(DWORD exStyle, const char* className, DWORD style, int x, int y, int w, int h,
                     HWND parent, HMENU menu, HINSTANCE instance) {
  if (ntFamily()) {
    std::wstring wide(className, className + strlen(className));
    return CreateWindowExW(exStyle, wide.c_str(), L"", style, x, y, w, h, parent, menu, instance, nullptr);
  }
  return CreateWindowExA(exStyle, className, "", style, x, y, w, h, parent, menu, instance, nullptr);
}

const char* RichEditClass() {
  if (GetModuleHandleA("RichEd20.dll") || LoadLibraryA("RichEd20.dll")) return "RichEdit20A";
  LoadLibraryA("RichEd32.dll");
  return "RICHEDIT";
}

const char* ClassFor(int32_t type) {
  switch (type) {
    case kTypeLabel: return "STATIC";
    case kTypePushButton:
    case kTypeButton3:
    case kTypeButton4:
    case kTypeButton9: return "BUTTON";
    case kTypeEdit: return "EDIT";
    case kTypeRichEdit: return RichEditClass();
    case kTypeListBox: return "LISTBOX";
    case kTypeComboBox: return "COMBOBOX";
    case kTypeListView: return "SysListView32";
    case kTypeTreeView: return "SysTreeView32";
    default: return "";
  }
}

void AttachImages(TemplateWindow& w, TemplateControl& c, HINSTANCE instance) {
  const ControlDesc& d = c.desc;
  if (d.type == kTypeLabel && d.subtype == kLabelBitmap) {
    if (d.imageKey == kImageKeyOwnIcon || d.imageKey == kImageKeyNone) return;
    c.image = LoadTableBitmap(w, d.imageKey, d.width, d.height, nullptr);
    if (c.image) SendMessageA(c.window, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(c.image));
  } else if (d.type == kTypeLabel && d.subtype == kLabelIcon) {
    if (d.imageKey == kImageKeyOwnIcon)
      c.image = LoadIconA(instance, MAKEINTRESOURCEA(kOwnIconResource));
    else if (d.imageKey != kImageKeyNone)
      c.image = LoadTableIcon(w, d.imageKey);
    if (c.image) SendMessageA(c.window, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(c.image));
  } else if (d.IsOwnerDrawButton()) {
    int32_t width = 0;
    HBITMAP strip = LoadTableBitmap(w, d.imageKey, 0, 0, &width);
    if (!strip) return;
    c.image = strip;
    HDC screen = GetDC(w.hwnd);
    c.strip = CreateCompatibleDC(screen);
    ReleaseDC(w.hwnd, screen);
    c.stripOld = SelectObject(c.strip, strip);
    c.stripWidth = width;
  } else if (d.IsBitmapButton()) {
    c.image = LoadTableBitmap(w, d.imageKey, 0, 0, nullptr);
    if (c.image) SendMessageA(c.window, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(c.image));
  }
}

void CreateControl(TemplateWindow& w, TemplateControl& c, HINSTANCE instance) {
  const ControlDesc& d = c.desc;
  if (d.type == kTypeAbsent) return;
  const char* className = ClassFor(d.type);
  c.window = CreateAnyWindow(d.exStyle, className, d.style, d.x, d.y, d.width, d.height, w.hwnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(d.id)), instance);
  if (!c.window) return;
  setWindowTextUtf8(c.window, d.text);
  // A bold link keeps the bold font but behaves as a link.
  HFONT font = w.fonts[d.bold ? kFontBold : d.IsLink() ? kFontLink : kFontNormal];
  if (d.IsLink()) {
    SetWindowLongPtrA(c.window, GWLP_USERDATA, 1);
    w.hover.flags |= kHoverTracking;
  }
  SendMessageA(c.window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (d.IsOwnerDrawButton()) w.hover.flags |= kHoverTracking;
  if (d.type == kTypeRichEdit) SendMessageA(c.window, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(d.colour2));
  if (d.type == kTypeTreeView) SendMessageA(c.window, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(d.colour2));
  AttachImages(w, c, instance);
}

int ReadInto(TemplateWindow& w, const uint8_t* bytes, size_t size) {
  int result = ReadTemplate(bytes, size, w.language, w.scale, CurrentSystemColours(), w.desc);
  if (result != kReadOk) return result;
  for (ControlDesc& d : w.desc.controls) {
    auto c = std::unique_ptr<TemplateControl>(new (std::nothrow) TemplateControl);
    if (!c) return kReadNoMemory;
    c->desc = std::move(d);
    if (c->desc.brush == BrushKind::Null) {
      c->brush = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    } else if (c->desc.brush == BrushKind::Solid) {
      c->brush = CreateSolidBrush(c->desc.colour2);
      c->ownsBrush = true;
    }
    HoverItem item;
    item.rect = Rect{c->desc.x, c->desc.y, c->desc.x + c->desc.width, c->desc.y + c->desc.height};
    item.link = c->desc.IsLink();
    item.imageButton = c->desc.IsOwnerDrawButton();
    item.colour = c->desc.colour;
    item.normalColour = c->desc.normalColour;
    w.controls.push_back(std::move(c));
    w.hoverItems.push_back(item);
  }
  w.desc.controls.clear();
  const WindowDesc& d = w.desc;
  w.fonts[kFontNormal] = MakeFont(d, w.scale, (d.fontFlags & 1) ? FW_BOLD : FW_NORMAL, false);
  w.fonts[kFontBold] = MakeFont(d, w.scale, FW_BOLD, false);
  w.fonts[kFontLink] = MakeFont(d, w.scale, FW_NORMAL, true);
  return kReadOk;
}

void CreateWindowAndControls(TemplateWindow& w, HWND parent, HINSTANCE instance) {
  FrameMetrics m;
  m.edgeX = GetSystemMetrics(SM_CXEDGE);
  m.borderX = GetSystemMetrics(SM_CXBORDER);
  m.edgeY = GetSystemMetrics(SM_CYEDGE);
  m.borderY = GetSystemMetrics(SM_CYBORDER);
  m.caption = GetSystemMetrics(SM_CYCAPTION);
  Size size = AdjustForFrame(Size{w.desc.width, w.desc.height}, m);
  Point at = PlaceWindow(WorkArea(), w.desc.placement, w.desc.xOffset, w.desc.yOffset, size);

  if (w.desc.style & kOwnWindowStyle) {
    RegisterWindowClass(instance, w.arrowCursor);
    w.ownWindow = true;
    w.hwnd = CreateAnyWindow(w.desc.exStyle | WS_EX_DLGMODALFRAME, kWindowClass, w.desc.style & ~kOwnWindowStyle,
                             at.x, at.y, size.width, size.height, parent, nullptr, instance);
    if (!w.hwnd) return;
    SetWindowLongPtrA(w.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&w));
    if (!w.desc.title.empty()) setWindowTextUtf8(w.hwnd, w.desc.title);
  } else {
    w.hwnd = parent;
  }
  if (!w.hwnd) return;
  for (auto& c : w.controls) CreateControl(w, *c, instance);
  if (w.hover.flags & kHoverTracking) SetTimer(w.hwnd, kHoverTimerId, kHoverTimerPeriod, nullptr);
}

}  // namespace

HandlerTable DefaultHandlers() {
  return HandlerTable{NoClose, NoCommand, Initialised, NoOther, NoNotify, NoPaint, NoTimer};
}

TemplateWindow::TemplateWindow() : handlers(DefaultHandlers()) {
  handCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND
  if (!handCursor) handCursor = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kHandCursorResource));
  arrowCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  scale = ScreenScale();
}

TemplateWindow::~TemplateWindow() {
  if (hwnd && ownWindow) {
    KillTimer(hwnd, kHoverTimerId);
    DestroyWindow(hwnd);
  } else {
    for (auto& c : controls)
      if (c->window) DestroyWindow(c->window);
  }
  if (g_current == this) g_current = nullptr;
  for (auto& c : controls) {
    if (c->strip) {
      SelectObject(c->strip, c->stripOld);
      DeleteDC(c->strip);
    }
    if (c->image) {
      bool icon = c->desc.type == kTypeLabel && c->desc.subtype == kLabelIcon;
      if (icon && c->desc.imageKey != kImageKeyOwnIcon)
        DestroyIcon(static_cast<HICON>(c->image));
      else if (!icon)
        DeleteObject(c->image);
    }
    if (c->ownsBrush) DeleteObject(c->brush);
  }
  for (HFONT f : fonts)
    if (f) DeleteObject(f);
}

TemplateWindow* CurrentTemplateWindow() { return g_current; }
void SetCurrentTemplateWindow(TemplateWindow* window) { g_current = window; }

namespace {

// Takes down what a build that ran out of memory had created, so no half-built window stays.
void TearDown(TemplateWindow& w) {
  if (w.hwnd && w.ownWindow) {
    KillTimer(w.hwnd, kHoverTimerId);
    DestroyWindow(w.hwnd);
  }
  for (auto& c : w.controls) {
    if (c->window && IsWindow(c->window)) DestroyWindow(c->window);
    c->window = nullptr;
  }
  w.hwnd = nullptr;
  w.ownWindow = false;
}

}  // namespace

int BuildTemplateWindow(TemplateWindow& w, const uint8_t* bytes, size_t size, HWND parent, HINSTANCE instance) {
  g_current = &w;
  w.outOfMemory = false;
  try {
    int result = ReadInto(w, bytes, size);
    if (result != kReadOk) return result;
    CreateWindowAndControls(w, parent, instance);
  } catch (const std::bad_alloc&) {
    TearDown(w);
    return kReadNoMemory;
  }
  if (!w.hwnd) return kBuildNoWindow;
  SendMessageA(w.hwnd, WM_INITDIALOG, 0, 0);
  // The window procedure catches what runs out of memory inside the handlers.
  if (w.outOfMemory) {
    TearDown(w);
    return kReadNoMemory;
  }
  if (TemplateControl* focus = FindControlById(w, kFocusControlId))
    if (focus->window) SetFocus(focus->window);
  ShowWindow(w.hwnd, SW_SHOWNORMAL);
  return kBuildOk;
}

TemplateControl* FindControlById(TemplateWindow& w, int id) {
  for (auto& c : w.controls)
    if (c->desc.id == id) return c.get();
  return nullptr;
}

TemplateControl* FindControlByWindow(TemplateWindow& w, HWND child) {
  if (!child) return nullptr;
  for (auto& c : w.controls)
    if (c->window == child) return c.get();
  return nullptr;
}

int ControlIndex(const TemplateWindow& w, const TemplateControl* control) {
  for (size_t i = 0; i < w.controls.size(); ++i)
    if (w.controls[i].get() == control) return static_cast<int>(i);
  return kNoControl;
}

}  // namespace corvel::tpl
