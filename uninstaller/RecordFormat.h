#pragma once
// The uninstallation record: its layers, header tables, body sections and registry tree.
// Both the uninstaller (reader) and the record writer in tools/ use these definitions;
// docs/record-format.md describes the layout for people who write records.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "TextBuffer.h"

namespace corvel {

// A view into bytes owned elsewhere; never read past data + size.
struct ByteSpan {
    const unsigned char* data = nullptr;
    size_t size = 0;
    bool empty() const { return size == 0; }
};

namespace record {

constexpr char kHeaderMarker = '\\';
constexpr int kLayerTail = 10;  // step, base and eight lane sums
constexpr int kLanes = 8;

constexpr const char* kSharedMarker = "Shared:\r\n";
constexpr const char* kBackupsMarker = "Backups:\r\n";
constexpr const char* kFilesMarker = "Files:\r\n";
constexpr const char* kDirectoriesMarker = "Directories:\r\n";
constexpr const char* kRegistryMarker = "Registry:\r\n";
constexpr const char* kControlFileMarker = "|CTRL";

enum StringKey : int32_t {
    kWindowTitle = 0,
    kConfirm = 1,
    kRegistryCheckFailed = 2,
    kRestoreQuestion = 3,
    kSharedFileText = 4,
    kFilesHeading = 5,
    kDirectoriesHeading = 6,
    kKeysHeading = 7,
    kRestartQuestion = 8,
    kYesToAllCaption = 9,
    kNoToAllCaption = 10,
    kYesCaption = 11,
    kNoCaption = 12,
};

enum KeyFlags : uint32_t {
    kDeleteKey = 0x1,
    kDeleteIfEmpty = 0x2,
    kDeleteTree = 0x4,
    kQuietWithSubkeys = 0x8,
};
constexpr int32_t kDeleteValue = 1;

// Registry tree roots, in the order the tree stores them.
constexpr int kRootCount = 4;
extern const char* const kRootNames[kRootCount];

}  // namespace record

// Removes one layer. False when the lane sums differ or the layer is shorter than ten bytes.
bool unwrapLayer(const TextBuffer& layer, TextBuffer& payload);
TextBuffer wrapLayer(const TextBuffer& payload, uint8_t step, uint8_t base);

class StringTable {
public:
    // Reads what the block holds; entries that run past the block are dropped.
    void load(const TextBuffer& block);
    int32_t language() const { return language_; }
    // First entry with the key, or the empty text.
    TextBuffer lookup(int32_t key) const;
    int count() const { return static_cast<int>(entries_.size()); }
    // Every entry in record order, for tools that show a record.
    const std::vector<std::pair<int32_t, TextBuffer>>& entries() const { return entries_; }

private:
    int32_t language_ = 0;
    std::vector<std::pair<int32_t, TextBuffer>> entries_;
};

class ImageTable {
public:
    void load(const TextBuffer& block);
    // The image bytes of the first entry with the key; empty when there is none.
    // The span stays valid as long as this table lives and is not reloaded.
    ByteSpan find(int32_t key) const;
    int count() const { return static_cast<int>(entries_.size()); }
    // Entry i (0 <= i < count()) in record order, for tools that show a record.
    int32_t keyAt(int i) const { return entries_[i].key; }
    ByteSpan bytesAt(int i) const {
        return {reinterpret_cast<const unsigned char*>(bytes_.data()) + entries_[i].offset, entries_[i].size};
    }

private:
    struct Entry {
        int32_t key;
        size_t offset;
        size_t size;
    };
    TextBuffer bytes_;
    std::vector<Entry> entries_;
};

struct PlainRecord {
    bool hasHeader = false;
    TextBuffer header;
    StringTable strings;
    TextBuffer windowTemplate;
    ImageTable images;
    TextBuffer body;
};

// Takes the unwrapped record apart. False when it is shorter than two bytes.
// Lengths that run past their data are cut to what is there.
bool parsePlainRecord(const TextBuffer& plain, PlainRecord& out);

struct ProductLine {
    TextBuffer whole;  // the raw line, NULs included
    TextBuffer name;
    TextBuffer runCode;
    TextBuffer command;
};
ProductLine readProductLine(const TextBuffer& body);

struct Sections {
    TextBuffer shared;
    TextBuffer backups;
    TextBuffer files;
    TextBuffer directories;
    TextBuffer registry;
};
// A missing marker leaves its section empty; the section before it runs to the next
// marker that is present.
Sections splitSections(const TextBuffer& body);

// Reads the registry tree's numbers and names; once it runs out of data every read fails
// and `ended()` tells so, so that walks stop cleanly.
class TreeReader {
public:
    explicit TreeReader(const TextBuffer& tree) : tree_(tree) {}
    bool readNumber(int32_t& value);
    bool readName(std::string& name);
    bool ended() const { return ended_; }
    // Treats the rest of the tree as missing.
    void stop() { ended_ = true; }
    int position() const { return pos_; }

private:
    const TextBuffer& tree_;
    int pos_ = 0;
    bool ended_ = false;
};

// 64-bit FNV-1a.
uint64_t hashBytes(const std::string& bytes);

enum class RecordRead { kOk, kNoMemory, kCorrupt };
struct DecodedRecord {
    PlainRecord record;
    ProductLine product;
    Sections sections;
    uint64_t hash = 0;  // of the plain record
};
// Removes both layers and takes the record apart. Running out of memory anywhere in it gives
// kNoMemory, never an exception; a failing layer or a plain record under two bytes kCorrupt.
RecordRead decodeStoredRecord(const TextBuffer& stored, DecodedRecord& out) noexcept;

// Copies `text` into a caption of at most `maxBytes` bytes, cutting at a UTF-8 character boundary.
TextBuffer limitCaption(const TextBuffer& text, int maxBytes = 511);

}  // namespace corvel
