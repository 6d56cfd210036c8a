#pragma once
// Checks a BMP file from the image table and takes it apart for the bitmap functions,
// so that they never read past the image's bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvel::tpl {

struct BmpImage {
  // Information header (40 bytes) and colour table, ready to hand to the bitmap functions.
  std::vector<uint8_t> info;
  const uint8_t* pixels = nullptr;
  size_t pixelBytes = 0;
  int32_t width = 0;
  int32_t height = 0;  // negative for top-down images
  int32_t bitsPerPixel = 0;
};

constexpr size_t kBmpFileHeader = 14;
constexpr size_t kBmpInfoHeader = 40;
constexpr int32_t kBmpMaxSide = 16384;

// True when the file is an uncompressed (or bit-field) BMP whose colour table and pixels lie
// within the data. `out.pixels` points into `data`.
bool ParseBmp(const uint8_t* data, size_t size, BmpImage& out);

// True when the ICO file's directory and every image it lists lie within the data.
bool IcoLooksSound(const uint8_t* data, size_t size);

}  // namespace corvel::tpl
