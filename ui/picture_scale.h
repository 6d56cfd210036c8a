#pragma once
// Smooth scaling of the 16x16 toolbar and menu pictures to the screen's DPI.
#include <cstdint>
#include <vector>

namespace tessory::ui {

// The picture size for a DPI: 16 pixels at 96 dpi, in proportion above it, never below 16.
int PictureSize(int dpi);

// Premultiplied 0xAARRGGBB pixels, rows top to bottom, resampled bilinearly from width x height
// to newWidth x newHeight; clear pixels do not bleed colour into their neighbours.
std::vector<std::uint32_t> ScalePixels(const std::vector<std::uint32_t>& pixels, int width, int height, int newWidth,
                                       int newHeight);

}  // namespace tessory::ui
