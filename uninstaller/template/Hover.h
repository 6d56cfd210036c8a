#pragma once
// Hover tracking of template windows: which link label or image button is hot, and what the
// window must repaint and which cursor it must set when the mouse moves or the timer ticks.

#include <cstdint>
#include <functional>
#include <vector>

#include "Layout.h"

namespace corvel::tpl {

constexpr unsigned kHoverTracking = 0x1;
constexpr unsigned kHoverHot = 0x2;
constexpr unsigned kHoverHotIsButton = 0x4;

constexpr uint32_t kLinkHotColour = 0x0000FF;  // red
constexpr int kNoControl = -1;

struct HoverItem {
  Rect rect;  // template rectangle in client coordinates, after scaling
  bool enabled = true;
  bool visible = true;
  bool link = false;
  bool imageButton = false;
  uint32_t colour = 0;
  uint32_t normalColour = 0;
  bool hotMark = false;
};

struct HoverState {
  unsigned flags = 0;
  int hot = kNoControl;
};

enum class CursorChange { None, Hand, Arrow };

// What the window has to do after a hover step; indices are into the item list.
struct HoverEffects {
  std::vector<int> repaint;      // link labels whose colour changed
  std::vector<int> paintNormal;  // image buttons that lost their hot mark
  std::vector<int> paintHot;     // image buttons that gained it
  CursorChange cursor = CursorChange::None;
};

void HoverMouseMove(HoverState& state, std::vector<HoverItem>& items, Point mouse, HoverEffects& fx);

// A cursor request from child `child` (kNoControl for the window itself or a child that is no
// control). Returns true when the request is answered with the hand cursor.
bool HoverSetCursor(HoverState& state, std::vector<HoverItem>& items, int child, bool duringMouseMove,
                    HoverEffects& fx);

// A tick of the hover timer; `underCursor(i)` tells whether control i's window is under the cursor.
void HoverTimer(HoverState& state, std::vector<HoverItem>& items,
                const std::function<bool(int)>& underCursor, HoverEffects& fx);

// A left click while a control is hot; returns the link label to open, or kNoControl.
int HoverClick(HoverState& state, std::vector<HoverItem>& items);

}  // namespace corvel::tpl
