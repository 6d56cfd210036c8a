#include "Bmp.h"

#include <algorithm>

namespace corvel::tpl {

namespace {

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

constexpr uint32_t kRgb = 0;
constexpr uint32_t kBitFields = 3;
constexpr size_t kColourCountOffset = 32;

}  // namespace

bool ParseBmp(const uint8_t* data, size_t size, BmpImage& out) {
  out = BmpImage();
  if (data == nullptr || size < kBmpFileHeader + kBmpInfoHeader || data[0] != 'B' || data[1] != 'M')
    return false;
  const uint8_t* info = data + kBmpFileHeader;
  int32_t width = static_cast<int32_t>(Le32(info + 4));
  int32_t height = static_cast<int32_t>(Le32(info + 8));
  uint16_t planes = Le16(info + 12);
  uint16_t bits = Le16(info + 14);
  uint32_t compression = Le32(info + 16);
  uint32_t used = Le32(info + kColourCountOffset);
  uint32_t headerBytes = Le32(info);
  if (headerBytes < kBmpInfoHeader || headerBytes > size - kBmpFileHeader || planes != 1) return false;
  if (width <= 0 || width > kBmpMaxSide || height == 0 || height < -kBmpMaxSide || height > kBmpMaxSide)
    return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (compression != kRgb && !(compression == kBitFields && (bits == 16 || bits == 32))) return false;

  size_t tableBytes = 0;
  if (bits <= 8) {
    size_t full = size_t(1) << bits;
    size_t colours = used == 0 ? full : used;
    if (colours > full) return false;
    tableBytes = colours * 4;
  }
  // The three colour masks: inside headers of 52 bytes or more, else after the header.
  const uint8_t* masks = nullptr;
  if (compression == kBitFields) {
    if (headerBytes >= kBmpInfoHeader + 12)
      masks = info + kBmpInfoHeader;
    else
      tableBytes = 12;
  }
  // Newer, longer headers are read as their first 40 bytes; the table follows the whole header.
  const uint8_t* table = info + headerBytes;
  size_t available = size - kBmpFileHeader - headerBytes;
  if (tableBytes > available) return false;

  size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
  size_t rows = height < 0 ? size_t(-int64_t(height)) : size_t(height);
  size_t pixelBytes = stride * rows;
  if (pixelBytes > available - tableBytes) return false;

  out.info.assign(info, info + kBmpInfoHeader);
  if (masks != nullptr) out.info.insert(out.info.end(), masks, masks + 12);
  out.info.insert(out.info.end(), table, table + tableBytes);
  out.info[0] = kBmpInfoHeader;
  out.info[1] = out.info[2] = out.info[3] = 0;
  // Above 8 bits a colour count would make the functions look for a table we do not pass.
  if (bits > 8) for (size_t i = 0; i < 4; ++i) out.info[kColourCountOffset + i] = 0;
  out.pixels = table + tableBytes;
  out.pixelBytes = pixelBytes;
  out.width = width;
  out.height = height;
  out.bitsPerPixel = bits;
  return true;
}

bool StretchWanted(int32_t targetWidth, int32_t targetHeight, int32_t imageWidth, int32_t imageHeight) {
  if (targetWidth <= 0 || targetHeight <= 0) return false;
  if (targetWidth > kBmpMaxSide || targetHeight > kBmpMaxSide) return false;
  if (int64_t(targetWidth) * targetHeight > kBmpMaxStretchPixels) return false;
  return targetWidth != imageWidth || targetHeight != imageHeight;
}

namespace {

// An icon image as the system's icon reader takes it: PNG, or a 40-byte DIB header of a
// doubled height (colour rows then mask rows), its colour table, colour pixels and 1-bit mask.
bool IconImageSound(const uint8_t* p, size_t bytes) {
  static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (bytes >= 8 && std::equal(kPng, kPng + 8, p)) return true;
  if (bytes < kBmpInfoHeader || Le32(p) != kBmpInfoHeader) return false;
  int32_t width = static_cast<int32_t>(Le32(p + 4));
  int32_t height = static_cast<int32_t>(Le32(p + 8));
  uint16_t planes = Le16(p + 12), bits = Le16(p + 14);
  uint32_t compression = Le32(p + 16), used = Le32(p + kColourCountOffset);
  constexpr int32_t kMaxIconSide = 256;
  if (planes != 1 || compression != kRgb || width <= 0 || width > kMaxIconSide || height <= 0 ||
      height > 2 * kMaxIconSide || height % 2 != 0)
    return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  size_t table = 0;
  if (bits <= 8) {
    size_t full = size_t(1) << bits;
    if (used > full) return false;
    table = (used == 0 ? full : used) * 4;
  }
  size_t rows = size_t(height) / 2;
  size_t colourRows = ((size_t(width) * bits + 31) / 32) * 4 * rows;
  size_t maskRows = ((size_t(width) + 31) / 32) * 4 * rows;
  return kBmpInfoHeader + table + colourRows + maskRows <= bytes;
}

}  // namespace

bool IcoLooksSound(const uint8_t* data, size_t size, std::vector<IcoEntry>* entries) {
  constexpr size_t kDirectory = 6, kEntry = 16;
  if (entries) entries->clear();
  if (data == nullptr || size < kDirectory || Le16(data) != 0 || Le16(data + 2) != 1) return false;
  size_t count = Le16(data + 4);
  if (count == 0 || count > (size - kDirectory) / kEntry) return false;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = data + kDirectory + i * kEntry;
    IcoEntry e;
    e.width = p[0];
    e.height = p[1];
    e.colours = p[2];
    e.planes = Le16(p + 4);
    e.bitCount = Le16(p + 6);
    e.bytes = Le32(p + 8);
    e.offset = Le32(p + 12);
    if (e.bytes == 0 || e.offset > size || e.bytes > size - e.offset) return false;
    if (!IconImageSound(data + e.offset, e.bytes)) return false;
    if (entries) entries->push_back(e);
  }
  return true;
}

}  // namespace corvel::tpl
