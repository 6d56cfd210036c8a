#include "Bmp.h"

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

bool IcoLooksSound(const uint8_t* data, size_t size) {
  constexpr size_t kDirectory = 6, kEntry = 16;
  if (data == nullptr || size < kDirectory || Le16(data) != 0 || Le16(data + 2) != 1) return false;
  size_t count = Le16(data + 4);
  if (count == 0 || count > (size - kDirectory) / kEntry) return false;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = data + kDirectory + i * kEntry;
    size_t bytes = Le32(entry + 8), offset = Le32(entry + 12);
    if (bytes == 0 || offset > size || bytes > size - offset) return false;
  }
  return true;
}

}  // namespace corvel::tpl
