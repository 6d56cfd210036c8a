#include "picture_scale.h"

#include <algorithm>
#include <cmath>

namespace tessory::ui {

int PictureSize(int dpi) { return std::max(16, (16 * dpi + 48) / 96); }

std::vector<std::uint32_t> ScalePixels(const std::vector<std::uint32_t>& pixels, int width, int height, int newWidth,
                                       int newHeight) {
  std::vector<std::uint32_t> out(static_cast<std::size_t>(newWidth) * newHeight);
  const auto source = [&](int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; };
  for (int y = 0; y < newHeight; ++y) {
    const double sy = std::clamp((y + 0.5) * height / newHeight - 0.5, 0.0, height - 1.0);
    const int y0 = static_cast<int>(sy), y1 = std::min(y0 + 1, height - 1);
    const double fy = sy - y0;
    for (int x = 0; x < newWidth; ++x) {
      const double sx = std::clamp((x + 0.5) * width / newWidth - 0.5, 0.0, width - 1.0);
      const int x0 = static_cast<int>(sx), x1 = std::min(x0 + 1, width - 1);
      const double fx = sx - x0;
      std::uint32_t pixel = 0;
      // Each channel of premultiplied pixels blends alike, alpha included.
      for (int shift = 0; shift < 32; shift += 8) {
        const auto channel = [&](std::uint32_t p) { return static_cast<double>((p >> shift) & 0xFF); };
        const double top = channel(source(x0, y0)) * (1 - fx) + channel(source(x1, y0)) * fx;
        const double bottom = channel(source(x0, y1)) * (1 - fx) + channel(source(x1, y1)) * fx;
        const auto value = static_cast<std::uint32_t>(std::lround(top * (1 - fy) + bottom * fy));
        pixel |= std::min<std::uint32_t>(value, 255) << shift;
      }
      out[static_cast<std::size_t>(y) * newWidth + x] = pixel;
    }
  }
  return out;
}

}  // namespace tessory::ui
