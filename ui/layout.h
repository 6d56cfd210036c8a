#pragma once
// Twip arithmetic of the windows: centring and the preview window's browser placement.

namespace tessory::ui {

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
};

// Twips to pixels at the given dots per inch, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dpi);

// The origin that centres an extent on the screen: screen / 2 - extent / 2, halves in floating point.
int CentredOrigin(int screenExtent, int windowExtent);

// The browser below the preview window's toolbar, from the window's outer size (all in twips).
// A window smaller than the toolbar and margins gives a zero extent, never a negative one.
Rect PreviewBrowserRect(int windowWidth, int windowHeight, int toolbarHeight);

}  // namespace tessory::ui
