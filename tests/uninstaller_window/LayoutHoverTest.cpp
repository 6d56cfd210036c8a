#include <gtest/gtest.h>

#include "Hover.h"
#include "Layout.h"

using namespace corvel::tpl;

TEST(Scale, FromDotsPerInchAndFonts) {
  const struct {
    int32_t dpi, scale, font8;
  } cases[] = {{96, 1000, -11}, {120, 1250, -13}, {144, 1500, -16}, {72, 750, -8}};
  for (auto c : cases) {
    EXPECT_EQ(c.scale, ScaleFromDpi(c.dpi)) << c.dpi;
    EXPECT_EQ(c.font8, FontPixelHeight(8, c.scale)) << c.dpi;
  }
  EXPECT_EQ(-96, FontPixelHeight(72, 1000));  // an inch at 96 dots per inch
  // Where the scale's rounding is closest: 5333333 / 1333 is 4001 exactly, 5763889 / 1333 just under 4324.
  EXPECT_EQ(4001, ScaleFromDpi(384));
  EXPECT_EQ(4323, ScaleFromDpi(415));
  EXPECT_EQ(121, ScaleWindowHeight(101, 1250));  // the 18 pixels of caption stay as they are
  EXPECT_EQ(-1, MulDivRound(1, 1, 0));
  EXPECT_EQ(-2, MulDivRound(-3, 1, 2));
  EXPECT_EQ(2, MulDivRound(3, 1, 2));
  EXPECT_EQ(INT32_MAX, MulDivRound(INT32_MAX, 1, 1));
  EXPECT_EQ(INT32_MIN, MulDivRound(INT32_MIN, 1, 1));
  EXPECT_EQ(-1, MulDivRound(INT32_MAX, 2, 1));  // beyond 32 bits either way
  EXPECT_EQ(-1, MulDivRound(INT32_MIN, 2, 1));
}

TEST(Placement, EveryCodeOnAnOffsetWorkArea) {
  const Rect area{100, 50, 1100, 850};  // 1000 x 800, midpoint (600, 450)
  const Size size{200, 100};
  const struct {
    int32_t code, x, y;
  } cases[] = {{0, 100, 50},  {1, 500, 50},  {2, 900, 50},  {3, 100, 400}, {4, 500, 400},
               {5, 900, 400}, {6, 100, 750}, {7, 500, 750}, {8, 900, 750}, {42, 100, 50}};
  for (auto c : cases) {
    Point p = PlaceWindow(area, c.code, 0, 0, size);
    EXPECT_EQ(c.x, p.x) << c.code;
    EXPECT_EQ(c.y, p.y) << c.code;
  }
  Point inside = PlaceWindow(area, 8, -10, -10, size);
  EXPECT_EQ(1100 - 10, inside.x + size.width);
  EXPECT_EQ(850 - 10, inside.y + size.height);
  Point pushedRight = PlaceWindow(area, 0, -500, -500, size);
  EXPECT_EQ(100, pushedRight.x);
  EXPECT_EQ(50, pushedRight.y);
  Point pulledBack = PlaceWindow(area, 8, 30, 30, size);
  EXPECT_EQ(900, pulledBack.x);
  EXPECT_EQ(750, pulledBack.y);
}

// A rectangle holds its left and top edges, not its right and bottom ones; a scaled value is
// the value times the scale in thousandths; a hot link is red.
TEST(Placement, EdgesOfARectangleAndScaledValues) {
  const Rect r{10, 20, 30, 40};
  const struct {
    int32_t x, y;
    bool inside;
  } points[] = {{10, 20, true}, {29, 39, true}, {9, 20, false}, {10, 19, false}, {30, 39, false}, {29, 40, false}};
  for (auto p : points) EXPECT_EQ(p.inside, r.Contains(p.x, p.y)) << p.x << "," << p.y;
  EXPECT_EQ(1248, ScaleValue(999, 1250));
  EXPECT_EQ(0x0000FFu, kLinkHotColour);
}

// The hover state's flags are single bits of their own, so that one never reads as another.
TEST(HoverFlags, EachIsABitOfItsOwn) {
  const unsigned flags[] = {kHoverTracking, kHoverHot, kHoverHotIsButton};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_NE(0u, flags[i]);
    EXPECT_EQ(0u, flags[i] & (flags[i] - 1)) << flags[i];
    for (size_t j = 0; j < i; ++j) EXPECT_EQ(0u, flags[i] & flags[j]) << flags[i] << " " << flags[j];
  }
}

TEST(ButtonFrames, StripWidthDecidesHotAndFocusFrames) {
  const int32_t w = 40;
  const struct {
    bool pressed, disabled, hot, focused;
    int32_t frames;
    int32_t frame;
    bool focusRect;
  } cases[] = {
      {true, true, true, true, 5, 1, false},    {false, true, true, false, 5, 2, false},
      {false, false, true, false, 4, 3, false}, {false, false, true, false, 3, 0, false},
      {false, false, false, true, 5, 4, false}, {false, false, false, true, 4, 0, true},
      {false, false, true, true, 5, 3, false},  {false, false, false, false, 1, 0, false},
  };
  for (auto c : cases) {
    ButtonFrameChoice choice = ChooseButtonFrame(c.pressed, c.disabled, c.hot, c.focused, c.frames * w, w);
    EXPECT_EQ(c.frame, choice.frame) << c.frames << " frames";
    EXPECT_EQ(c.focusRect, choice.focusRect) << c.frames << " frames";
  }
  // A frame counts once the strip is wider than it by more than a pixel a frame.
  EXPECT_EQ(0, ChooseButtonFrame(false, false, true, false, 3 * w + 3, w).frame);
  EXPECT_EQ(3, ChooseButtonFrame(false, false, true, false, 3 * w + 4, w).frame);
  EXPECT_TRUE(ChooseButtonFrame(false, false, false, true, 4 * w + 4, w).focusRect);
  EXPECT_EQ(4, ChooseButtonFrame(false, false, false, true, 4 * w + 5, w).frame);
}

class HoverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HoverItem link;
    link.rect = {10, 10, 110, 30};
    link.link = true;
    link.colour = link.normalColour = 0x800000;
    HoverItem button;
    button.rect = {10, 50, 90, 80};
    button.imageButton = true;
    HoverItem plain;
    plain.rect = {0, 0, 500, 500};
    items = {link, button, plain};
    state.flags = kHoverTracking;
  }
  HoverEffects Move(int32_t x, int32_t y) {
    HoverEffects fx;
    HoverMouseMove(state, items, {x, y}, fx);
    return fx;
  }
  std::vector<HoverItem> items;
  HoverState state;
};

TEST_F(HoverTest, LinkTurnsRedUnderTheMouseAndBackWhenLeft) {
  HoverEffects in = Move(20, 20);
  EXPECT_EQ(0, state.hot);
  EXPECT_EQ(kHoverTracking | kHoverHot, state.flags);
  EXPECT_EQ(kLinkHotColour, items[0].colour);
  EXPECT_EQ(CursorChange::Hand, in.cursor);
  EXPECT_EQ(std::vector<int>{0}, in.repaint);
  EXPECT_TRUE(Move(21, 21).repaint.empty());  // still hot: nothing to repaint

  HoverEffects out = Move(300, 300);
  EXPECT_EQ(kNoControl, state.hot);
  EXPECT_EQ(0x800000u, items[0].colour);
  EXPECT_EQ(CursorChange::Arrow, out.cursor);
  EXPECT_EQ(std::vector<int>{0}, out.repaint);
  EXPECT_TRUE(Move(301, 301).repaint.empty());  // already cold: nothing to repaint
}

TEST_F(HoverTest, DisabledOrHiddenControlsNeverGetHot) {
  items[0].enabled = false;
  items[1].visible = false;
  Move(20, 20);
  Move(20, 60);
  EXPECT_EQ(kNoControl, state.hot);
  EXPECT_EQ(0x800000u, items[0].colour);
}

TEST_F(HoverTest, ImageButtonHotThroughCursorRequestAndColdOnClick) {
  Move(20, 60);
  EXPECT_EQ(1, state.hot);
  EXPECT_EQ(kHoverTracking | kHoverHot | kHoverHotIsButton, state.flags);
  HoverEffects fx;
  EXPECT_FALSE(HoverSetCursor(state, items, 1, true, fx));
  EXPECT_TRUE(items[1].hotMark);
  EXPECT_EQ(std::vector<int>{1}, fx.paintHot);
  EXPECT_EQ(kNoControl, HoverClick(state, items));
  EXPECT_FALSE(items[1].hotMark);
  EXPECT_EQ(kHoverTracking, state.flags);
}

TEST_F(HoverTest, AColdLinkUnderTheCursorKeepsNothingHot) {
  Move(20, 60);
  HoverEffects fx;
  HoverSetCursor(state, items, 1, true, fx);
  HoverTimer(state, items, [](int i) { return i == 0; }, fx);  // the cursor went onto the cold link
  EXPECT_FALSE(items[1].hotMark);
  EXPECT_EQ(kHoverTracking, state.flags);
}

// Only an enabled image button becomes hot through the cursor request, and only during a move;
// a cold one leaving changes nothing, a hot one leaving is painted normal; from a hot link onto a
// button the cursor is left alone.
TEST_F(HoverTest, CursorRequestsAndLeavingByKindOfControl) {
  HoverEffects fx;
  HoverSetCursor(state, items, 0, true, fx);  // a link
  HoverSetCursor(state, items, 1, false, fx);  // not during a move
  items[1].enabled = false;
  HoverSetCursor(state, items, 1, true, fx);
  EXPECT_TRUE(fx.paintHot.empty());
  EXPECT_FALSE(items[1].hotMark);
  items[1].enabled = true;
  EXPECT_TRUE(Move(300, 300).paintNormal.empty()) << "a cold button leaving";
  HoverSetCursor(state, items, 1, true, fx);
  EXPECT_EQ(std::vector<int>{1}, Move(300, 300).paintNormal);
  Move(20, 20);
  EXPECT_EQ(CursorChange::None, Move(20, 60).cursor) << "from the hot link onto the button";
}

// The timer keeps the hot state only while a warm control is under the cursor: a cold button
// there does not count.
TEST_F(HoverTest, TimerCountsOnlyWarmControlsUnderTheCursor) {
  Move(20, 20);
  HoverEffects fx;
  HoverTimer(state, items, [](int i) { return i == 1; }, fx);
  EXPECT_EQ(kHoverTracking, state.flags);
  EXPECT_EQ(CursorChange::Arrow, fx.cursor);
}

TEST_F(HoverTest, TimerCoolsWhatTheCursorLeft) {
  Move(20, 20);
  HoverEffects fx;
  EXPECT_TRUE(HoverSetCursor(state, items, kNoControl, false, fx));
  HoverTimer(state, items, [](int) { return true; }, fx);
  EXPECT_EQ(kLinkHotColour, items[0].colour);
  EXPECT_EQ(0, HoverClick(state, items));

  HoverTimer(state, items, [](int) { return false; }, fx);
  EXPECT_EQ(0x800000u, items[0].colour);
  EXPECT_EQ(std::vector<int>{0}, fx.repaint);
  EXPECT_EQ(CursorChange::Arrow, fx.cursor);
  EXPECT_EQ(kHoverTracking, state.flags);
  EXPECT_EQ(kNoControl, HoverClick(state, items));
}
