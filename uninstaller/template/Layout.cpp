#include "Layout.h"

#include <cstdlib>

namespace corvel::tpl {

int32_t MulDivRound(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  int64_t product = int64_t(a) * int64_t(b);
  int64_t q = product / c;
  int64_t r = product % c;
  if (2 * std::llabs(r) >= std::llabs(int64_t(c))) q += ((product < 0) != (c < 0)) ? -1 : 1;
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return static_cast<int32_t>(q);
}

namespace {

int32_t Saturate(int64_t v) {
  return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
}

}  // namespace

int32_t ClampPosition(int64_t v) {
  return static_cast<int32_t>(v < kMinCoordinate ? kMinCoordinate : v > kMaxCoordinate ? kMaxCoordinate : v);
}

int32_t ClampSize(int64_t v) { return static_cast<int32_t>(v < 0 ? 0 : v > kMaxCoordinate ? kMaxCoordinate : v); }

int32_t ScaleFromDpi(int32_t dpi) { return MulDivRound(1000000, dpi, 72) / 1333; }

int32_t ScaleValue(int32_t value, int32_t scale) {
  return Saturate(int64_t(value) * scale / kUnitScale);
}

int32_t ScaleWindowHeight(int32_t height, int32_t scale) {
  constexpr int32_t kCaption = 18;
  return Saturate((int64_t(height) - kCaption) * scale / kUnitScale + kCaption);
}

int32_t FontPixelHeight(int32_t points, int32_t scale) {
  return -MulDivRound(points, scale * 96 / kUnitScale, 72);
}

Size AdjustForFrame(Size size, const FrameMetrics& m) {
  constexpr int64_t kCaption = 18;
  int64_t width = size.width, height = size.height;
  int64_t ax = int64_t(m.edgeX) + m.borderX;
  if (ax > 2) width += 2 * ax - 4;
  int64_t ay = int64_t(m.edgeY) + m.borderY;
  if (ay > 2) height += 2 * ay - 4;
  if (m.caption > kCaption) height += m.caption - kCaption;
  return Size{Saturate(width), Saturate(height)};
}

Point PlaceWindow(const Rect& area, int32_t placement, int32_t xOffset, int32_t yOffset, Size size) {
  int64_t w = size.width, h = size.height;
  int64_t centredX = area.left + (int64_t(area.right) - area.left) / 2 - w / 2;
  int64_t centredY = area.top + (int64_t(area.bottom) - area.top) / 2 - h / 2;
  int64_t rightX = area.right - w;
  int64_t bottomY = area.bottom - h;
  int64_t x = area.left, y = area.top;
  switch (placement) {
    case 1: x = centredX; y = area.top; break;
    case 2: x = rightX; y = area.top; break;
    case 3: x = area.left; y = centredY; break;
    case 4: x = centredX; y = centredY; break;
    case 5: x = rightX; y = centredY; break;
    case 6: x = area.left; y = bottomY; break;
    case 7: x = centredX; y = bottomY; break;
    case 8: x = rightX; y = bottomY; break;
    default: break;
  }
  x += xOffset;
  y += yOffset;
  // Kept on the work area rather than at screen coordinate 0, so a taskbar on the left or top
  // never covers the window's corner.
  if (x < area.left)
    x = area.left;
  else if (x + w > area.right)
    x = rightX;
  if (y < area.top)
    y = area.top;
  else if (y + h > area.bottom)
    y = bottomY;
  return Point{static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

ButtonFrameChoice ChooseButtonFrame(bool pressed, bool disabled, bool hot, bool focused,
                                    int32_t stripWidth, int32_t w) {
  int64_t strip = stripWidth;
  bool hasHotFrame = strip > 3 * int64_t(w) + 3;
  bool hasFocusFrame = strip > 4 * int64_t(w) + 4;
  ButtonFrameChoice c;
  if (pressed)
    c.frame = 1;
  else if (disabled)
    c.frame = 2;
  else if (hot && hasHotFrame)
    c.frame = 3;
  else if (focused && hasFocusFrame)
    c.frame = 4;
  c.focusRect = focused && !hasFocusFrame;
  return c;
}

}  // namespace corvel::tpl
