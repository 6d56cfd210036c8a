#pragma once
// A window built from a window template: the window object with its handler table, its
// controls, fonts and hover state, the building operation and the window procedure.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Hover.h"
#include "RecordFormat.h"
#include "TemplateReader.h"

namespace corvel::tpl {

class TemplateWindow;

// Seven operations in slot order; each returns true when it handled the message.
struct HandlerTable {
  bool (*close)(TemplateWindow&, WPARAM, LPARAM);
  bool (*command)(TemplateWindow&, WPARAM, LPARAM);
  bool (*initialise)(TemplateWindow&, HWND, WPARAM, LPARAM);
  bool (*otherMessage)(TemplateWindow&, UINT, WPARAM, LPARAM);
  bool (*notify)(TemplateWindow&, WPARAM, LPARAM);
  bool (*paint)(TemplateWindow&, WPARAM, LPARAM);
  bool (*timer)(TemplateWindow&, WPARAM, LPARAM);
};

HandlerTable DefaultHandlers();

struct TemplateControl {
  ControlDesc desc;
  HWND window = nullptr;
  HBRUSH brush = nullptr;
  bool ownsBrush = false;
  HANDLE image = nullptr;
  // Owner-drawn image buttons: the frame strip selected into a memory surface.
  HDC strip = nullptr;
  HGDIOBJ stripOld = nullptr;
  int32_t stripWidth = 0;
};

constexpr char kWindowClass[] = "CorvelDialogTemplate";
constexpr UINT_PTR kHoverTimerId = 13;
constexpr UINT kHoverTimerPeriod = 70;
constexpr int kFocusControlId = 55;
constexpr int kOwnIconResource = 101;
constexpr int kHandCursorResource = 114;

constexpr int kBuildOk = 1;
constexpr int kBuildNoWindow = -1;

enum FontIndex { kFontNormal, kFontBold, kFontLink, kFontCount };

class TemplateWindow {
 public:
  // Default handlers, cursors and the scale factor of the screen.
  TemplateWindow();
  ~TemplateWindow();
  TemplateWindow(const TemplateWindow&) = delete;
  TemplateWindow& operator=(const TemplateWindow&) = delete;

  HandlerTable handlers;
  void* context = nullptr;  // for whoever replaces handlers
  HWND hwnd = nullptr;
  bool ownWindow = false;
  WindowDesc desc;
  HFONT fonts[kFontCount] = {};
  std::vector<std::unique_ptr<TemplateControl>> controls;
  // Parallel to `controls`.
  std::vector<HoverItem> hoverItems;
  HoverState hover;
  HCURSOR handCursor = nullptr;
  HCURSOR arrowCursor = nullptr;
  int32_t scale = kUnitScale;
  // Set when a message ran out of memory; building then fails with kReadNoMemory.
  bool outOfMemory = false;

  // Set before building: where image keys are looked up and which language texts show.
  const corvel::ImageTable* images = nullptr;
  int32_t language = 1;
};

// 1 on success; kReadNoMagic (-2), kReadNoMemory (-6), or kBuildNoWindow (-1).
int BuildTemplateWindow(TemplateWindow& window, const uint8_t* bytes, size_t size, HWND parent,
                        HINSTANCE instance);

TemplateControl* FindControlById(TemplateWindow& window, int id);
TemplateControl* FindControlByWindow(TemplateWindow& window, HWND child);
int ControlIndex(const TemplateWindow& window, const TemplateControl* control);

// The window object being built or run; the window procedure falls back on it.
TemplateWindow* CurrentTemplateWindow();
void SetCurrentTemplateWindow(TemplateWindow* window);

LRESULT CALLBACK TemplateWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Paints an owner-drawn image button as the given item state asks.
void PaintImageButton(TemplateControl& control, HDC dc, UINT itemState);

// Images from the image table. Both return null when the key has no usable entry.
HBITMAP LoadTableBitmap(const TemplateWindow& window, int32_t key, int32_t width, int32_t height,
                        int32_t* loadedWidth);
HICON LoadTableIcon(const TemplateWindow& window, int32_t key);

// A path in the temporary folder that no file uses: "zqw", a number and the extension.
// Icons do not use it: they are made from the checked bytes in memory.
std::string UniqueTempFile(const char* extension);

}  // namespace corvel::tpl
