#include "layout.h"

#include <algorithm>
#include <cmath>

namespace tessory::ui {

int TwipsToPixels(int twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

int CentredOrigin(int screenExtent, int windowExtent) {
  return static_cast<int>(std::lround(screenExtent / 2.0 - windowExtent / 2.0));
}

Rect PreviewBrowserRect(int windowWidth, int windowHeight, int toolbarHeight) {
  Rect r;
  r.left = 0;
  r.top = toolbarHeight + 50;
  r.width = std::max(0, windowWidth - 100);
  r.height = std::max(0, windowHeight - 450 - toolbarHeight);
  return r;
}

}  // namespace tessory::ui
