#include "Hover.h"

namespace corvel::tpl {

namespace {

bool Tracked(const HoverItem& item) { return item.link || item.imageButton; }

void CoolDown(std::vector<HoverItem>& items, int i, HoverEffects& fx) {
  HoverItem& item = items[i];
  if (item.link && item.colour != item.normalColour) {
    item.colour = item.normalColour;
    fx.repaint.push_back(i);
  } else if (item.imageButton && item.hotMark) {
    item.hotMark = false;
    fx.paintNormal.push_back(i);
  }
}

}  // namespace

void HoverMouseMove(HoverState& state, std::vector<HoverItem>& items, Point mouse, HoverEffects& fx) {
  bool linkWasHot = state.hot != kNoControl && items[state.hot].link;
  state.hot = kNoControl;
  state.flags &= ~(kHoverHot | kHoverHotIsButton);
  for (int i = 0; i < static_cast<int>(items.size()); ++i) {
    HoverItem& item = items[i];
    if (!item.enabled || !item.visible || !Tracked(item)) continue;
    if (item.rect.Contains(mouse.x, mouse.y)) {
      state.hot = i;
      state.flags |= kHoverHot;
      if (item.link && item.colour == item.normalColour) {
        fx.cursor = CursorChange::Hand;
        item.colour = kLinkHotColour;
        fx.repaint.push_back(i);
      } else if (item.imageButton) {
        state.flags |= kHoverHotIsButton;
      }
    } else {
      CoolDown(items, i, fx);
    }
  }
  if (state.hot == kNoControl && linkWasHot) fx.cursor = CursorChange::Arrow;
}

bool HoverSetCursor(HoverState& state, std::vector<HoverItem>& items, int child, bool duringMouseMove,
                    HoverEffects& fx) {
  if (child != kNoControl && duringMouseMove && child < static_cast<int>(items.size())) {
    HoverItem& item = items[child];
    if (item.imageButton && item.enabled && !item.hotMark) {
      state.hot = child;
      state.flags |= kHoverHot | kHoverHotIsButton;
      item.hotMark = true;
      fx.paintHot.push_back(child);
    }
  }
  return (state.flags & kHoverHot) && !(state.flags & kHoverHotIsButton);
}

void HoverTimer(HoverState& state, std::vector<HoverItem>& items,
                const std::function<bool(int)>& underCursor, HoverEffects& fx) {
  if (!(state.flags & kHoverHot)) return;
  bool anyUnder = false;
  for (int i = 0; i < static_cast<int>(items.size()); ++i) {
    HoverItem& item = items[i];
    bool warm = (item.link && item.colour != item.normalColour) || (item.imageButton && item.hotMark);
    if (!warm) continue;
    if (underCursor(i))
      anyUnder = true;
    else
      CoolDown(items, i, fx);
  }
  if (!anyUnder) {
    state.flags &= ~(kHoverHot | kHoverHotIsButton);
    fx.cursor = CursorChange::Arrow;
  }
}

int HoverClick(HoverState& state, std::vector<HoverItem>& items) {
  if (!(state.flags & kHoverHot) || state.hot == kNoControl) return kNoControl;
  HoverItem& item = items[state.hot];
  if (item.imageButton) {
    state.flags &= ~(kHoverHot | kHoverHotIsButton);
    item.hotMark = false;
    state.hot = kNoControl;
    return kNoControl;
  }
  return item.link ? state.hot : kNoControl;
}

}  // namespace corvel::tpl
