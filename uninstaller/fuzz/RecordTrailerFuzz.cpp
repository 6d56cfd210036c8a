// Feeds arbitrary files to the search for the stored record: PE headers, the security
// directory and the trailer. Every read must stay inside the file, and so must the place found.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "RecordFormat.h"
#include "RecordTrailer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const corvel::ReadAt readAt = [&](uint32_t offset, uint32_t length, unsigned char* out) {
        if (offset > size || length > size - offset) std::abort();
        std::memcpy(out, data + offset, length);
        return true;
    };
    corvel::StoredRecordPlace place;
    if (!corvel::locateStoredRecord(size, readAt, place)) return 0;
    if (uint64_t{place.offset} + place.length + 4 > size) std::abort();
    corvel::DecodedRecord decoded;
    corvel::decodeStoredRecord(
        corvel::TextBuffer(reinterpret_cast<const char*>(data) + place.offset, static_cast<int>(place.length)), decoded);
    return 0;
}
