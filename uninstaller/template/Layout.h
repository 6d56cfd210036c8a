#pragma once
// Display arithmetic of template windows: scale factor, scaled sizes, font height,
// frame-metric adjustment, screen placement and the frame an image button shows.

#include <cstdint>

namespace corvel::tpl {

constexpr int32_t kUnitScale = 1000;

// Template positions and sizes are held to this range when read, so that a position plus a
// size, a frame adjustment or a scaled value never overflows 32 bits.
constexpr int32_t kMinCoordinate = -32768;
constexpr int32_t kMaxCoordinate = 32767;

int32_t ClampPosition(int64_t value);
int32_t ClampSize(int64_t value);

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool Contains(int32_t x, int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct Point {
  int32_t x = 0, y = 0;
};

struct Size {
  int32_t width = 0, height = 0;
};

// a * b / c rounded half away from zero, -1 when c is 0 or the result does not fit.
int32_t MulDivRound(int32_t a, int32_t b, int32_t c);

// Thousandths from the screen's dots per inch: 96 gives 1000, 120 gives 1250.
int32_t ScaleFromDpi(int32_t dpi);

// Both saturate at the 32-bit range.
int32_t ScaleValue(int32_t value, int32_t scale);
// The assumed caption height stays unscaled.
int32_t ScaleWindowHeight(int32_t height, int32_t scale);

// Negative: a character height in pixels, as the font functions take it.
int32_t FontPixelHeight(int32_t points, int32_t scale);

struct FrameMetrics {
  int32_t edgeX = 0, borderX = 0;
  int32_t edgeY = 0, borderY = 0;
  int32_t caption = 0;
};

Size AdjustForFrame(Size size, const FrameMetrics& metrics);

// Top-left corner for placement codes 0 to 8, offsets added, kept inside the work area.
Point PlaceWindow(const Rect& workArea, int32_t placement, int32_t xOffset, int32_t yOffset, Size size);

struct ButtonFrameChoice {
  int32_t frame = 0;
  bool focusRect = false;  // the strip has no focus frame, so a rectangle shows the focus
};

ButtonFrameChoice ChooseButtonFrame(bool pressed, bool disabled, bool hot, bool focused,
                                    int32_t stripWidth, int32_t buttonWidth);

}  // namespace corvel::tpl
