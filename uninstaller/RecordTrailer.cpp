#include "RecordTrailer.h"

namespace corvel {

namespace {

uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Reads `size` bytes at `offset` only when they lie inside the file.
bool readInside(uint32_t fileSize, const ReadAt& readAt, uint64_t offset, uint32_t size, unsigned char* out) {
    return offset + size <= fileSize && readAt(static_cast<uint32_t>(offset), size, out);
}

constexpr uint32_t kPeHeaderOffsetAt = 0x3C;
constexpr uint32_t kFileHeaderSize = 20;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kSecurityDirectory = 4;

}  // namespace

bool findCertificateTable(uint32_t fileSize, const ReadAt& readAt, CertificateTable& table) {
    unsigned char dos[kPeHeaderOffsetAt + 4];
    if (!readInside(fileSize, readAt, 0, sizeof dos, dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    const uint64_t pe = le32(dos + kPeHeaderOffsetAt);
    unsigned char head[4 + kFileHeaderSize + 2];
    if (!readInside(fileSize, readAt, pe, sizeof head, head) || head[0] != 'P' || head[1] != 'E' || head[2] || head[3])
        return false;
    const uint32_t optionalSize = le16(head + 4 + 16);
    const uint16_t magic = le16(head + 4 + kFileHeaderSize);
    // Where the directory count and the directories start inside the optional header.
    uint32_t countAt = 0;
    if (magic == kPe32Magic) {
        countAt = 92;
    } else if (magic == kPe32PlusMagic) {
        countAt = 108;
    } else {
        return false;
    }
    const uint32_t entryAt = countAt + 4 + kSecurityDirectory * 8;
    if (optionalSize < entryAt + 8) return false;
    const uint64_t optional = pe + 4 + kFileHeaderSize;
    unsigned char count[4], entry[8];
    if (!readInside(fileSize, readAt, optional + countAt, 4, count) || le32(count) <= kSecurityDirectory) return false;
    if (!readInside(fileSize, readAt, optional + entryAt, 8, entry)) return false;
    table.offset = le32(entry);
    table.size = le32(entry + 4);
    return table.size > 0 && static_cast<uint64_t>(table.offset) + table.size <= fileSize;
}

bool locateStoredRecord(uint64_t fileSize, const ReadAt& readAt, StoredRecordPlace& place) {
    if (fileSize < 4 || fileSize > 0x7FFFFFFF) return false;
    const uint32_t size = static_cast<uint32_t>(fileSize);
    uint32_t end = size;  // where the trailer ends
    CertificateTable table;
    if (findCertificateTable(size, readAt, table) && table.offset + table.size == size && table.offset >= 4)
        end = table.offset;
    unsigned char tail[4];
    if (!readAt(end - 4, 4, tail)) return false;
    const uint32_t start = le32(tail);
    // An offset past the trailer would make the stored record's length negative.
    if (start > end - 4) return false;
    place.offset = start;
    place.length = end - 4 - start;
    return true;
}

}  // namespace corvel
