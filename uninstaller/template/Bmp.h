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
// A stretched copy is a screen bitmap: no side beyond an image's, and at most 64 million
// pixels (256 MiB at 32 bits), so a tiny image on a huge label cannot ask for gigabytes.
constexpr int64_t kBmpMaxStretchPixels = int64_t(1) << 26;

// True when the file is an uncompressed (or bit-field) BMP whose colour table and pixels lie
// within the data. `out.pixels` points into `data`.
bool ParseBmp(const uint8_t* data, size_t size, BmpImage& out);

// Whether an image of imageWidth x imageHeight is stretched to the target size: both target
// sides positive, within the bounds above, and the size differs from the image's.
bool StretchWanted(int32_t targetWidth, int32_t targetHeight, int32_t imageWidth, int32_t imageHeight);

// One image of an ICO file, where it lies in the file.
struct IcoEntry {
  uint8_t width = 0, height = 0, colours = 0;
  uint16_t planes = 0, bitCount = 0;
  uint32_t bytes = 0, offset = 0;
};

// True when the ICO file's directory and every image it lists lie within the data, and each
// image is a PNG or an uncompressed DIB whose colour table and both masks fit in its bytes.
// The entries are returned through `entries` when given.
bool IcoLooksSound(const uint8_t* data, size_t size, std::vector<IcoEntry>* entries = nullptr);

}  // namespace corvel::tpl
