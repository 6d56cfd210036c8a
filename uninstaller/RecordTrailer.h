#pragma once
// Finds the stored record in the uninstaller's own file. The record ends with a 4-byte
// little-endian trailer holding the record's offset. A signed file carries its certificate
// table after that trailer, so there the trailer sits just before the table.
#include <cstdint>
#include <functional>

namespace corvel {

// Reads exactly `size` bytes at `offset` into `out`; false when it cannot.
using ReadAt = std::function<bool(uint32_t offset, uint32_t size, unsigned char* out)>;

struct CertificateTable {
    uint32_t offset = 0;
    uint32_t size = 0;
};

// The certificate table named by the PE security directory, when the file is a PE image whose
// directory names one. False for anything else, and for a table that does not fit the file.
bool findCertificateTable(uint32_t fileSize, const ReadAt& readAt, CertificateTable& table);

struct StoredRecordPlace {
    uint32_t offset = 0;
    uint32_t length = 0;
};

// Where the stored record lies: before the trailer at the end of the file, or before the
// trailer that precedes a certificate table ending the file. False when the file is too short
// or too long, cannot be read, or the trailer's offset lies past the trailer.
bool locateStoredRecord(uint64_t fileSize, const ReadAt& readAt, StoredRecordPlace& place);

}  // namespace corvel
