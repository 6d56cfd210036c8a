#include <cstddef>
#include <cstdint>
#include <vector>

#include "Bmp.h"

// Keeps the reads from being optimised away.
volatile unsigned bmpFuzzSink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the input, so reading one byte past it is caught.
  std::vector<uint8_t> copy(data, data + size);
  corvel::tpl::BmpImage image;
  if (corvel::tpl::ParseBmp(copy.data(), copy.size(), image)) {
    // Touch every byte the bitmap functions would read.
    unsigned sum = 0;
    for (uint8_t b : image.info) sum += b;
    for (size_t i = 0; i < image.pixelBytes; ++i) sum += image.pixels[i];
    bmpFuzzSink = sum;
  }
  std::vector<corvel::tpl::IcoEntry> entries;
  if (corvel::tpl::IcoLooksSound(copy.data(), copy.size(), &entries)) {
    // The icon loader hands each listed image to the system: its last byte must be in the data.
    for (const corvel::tpl::IcoEntry& e : entries) bmpFuzzSink = copy[e.offset + e.bytes - 1];
  }
  return 0;
}
