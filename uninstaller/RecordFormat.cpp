#include "RecordFormat.h"

#include <cstring>
#include <new>

namespace corvel {

namespace record {
const char* const kRootNames[kRootCount] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                            "HKEY_USERS"};
}

namespace {

// Number of bytes from `pos` to the end, never negative.
int remaining(const TextBuffer& text, int pos) { return pos >= text.length() ? 0 : text.length() - pos; }

// A length-prefixed block at *pos; a length past the end is cut to what is there.
TextBuffer readBlock(const TextBuffer& text, int* pos) {
    int32_t n = text.u32At(*pos);
    if (n < 0 || remaining(text, *pos) < 4) {
        *pos = text.length();
        return TextBuffer();
    }
    *pos += 4;
    if (n > remaining(text, *pos)) n = remaining(text, *pos);
    TextBuffer block(text.data() + *pos, n);
    *pos += n;
    return block;
}

}  // namespace

bool unwrapLayer(const TextBuffer& layer, TextBuffer& payload) {
    const int n = layer.length();
    if (n < record::kLayerTail) return false;
    unsigned char sums[record::kLanes] = {};
    for (int i = 0; i < n - record::kLanes; ++i) sums[i % record::kLanes] += static_cast<unsigned char>(layer.byteAt(i));
    for (int j = 0; j < record::kLanes; ++j) {
        if (sums[j] != layer.byteAt(n - record::kLanes + j)) return false;
    }
    const unsigned char step = static_cast<unsigned char>(layer.byteAt(n - 10));
    const unsigned char base = static_cast<unsigned char>(layer.byteAt(n - 9));
    std::string plain(static_cast<size_t>(n - record::kLayerTail), '\0');
    unsigned char key = static_cast<unsigned char>(base + step);
    for (size_t i = 0; i < plain.size(); ++i) {
        plain[i] = static_cast<char>(static_cast<unsigned char>(layer.data()[i]) - key);
        key = static_cast<unsigned char>(key + step);
    }
    payload = TextBuffer(std::move(plain));
    return true;
}

TextBuffer wrapLayer(const TextBuffer& payload, uint8_t step, uint8_t base) {
    std::string out(static_cast<size_t>(payload.length()), '\0');
    unsigned char key = static_cast<unsigned char>(base + step);
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char>(static_cast<unsigned char>(payload.data()[i]) + key);
        key = static_cast<unsigned char>(key + step);
    }
    out.push_back(static_cast<char>(step));
    out.push_back(static_cast<char>(base));
    unsigned char sums[record::kLanes] = {};
    for (size_t i = 0; i < out.size(); ++i) sums[i % record::kLanes] += static_cast<unsigned char>(out[i]);
    for (unsigned char s : sums) out.push_back(static_cast<char>(s));
    return TextBuffer(std::move(out));
}

void StringTable::load(const TextBuffer& block) {
    entries_.clear();
    language_ = block.u32At(0);
    if (block.length() < 4) language_ = 0;
    const int32_t count = block.u32At(4);
    int pos = 8;
    for (int32_t i = 0; i < count && remaining(block, pos) >= 8; ++i) {
        const int32_t key = block.u32At(pos);
        const int32_t len = block.u32At(pos + 4);
        pos += 8;
        if (len < 0 || len > remaining(block, pos)) break;
        entries_.emplace_back(key, TextBuffer(block.data() + pos, len));
        pos += len;
    }
}

TextBuffer StringTable::lookup(int32_t key) const {
    for (const auto& entry : entries_) {
        if (entry.first == key) return entry.second;
    }
    return TextBuffer();
}

void ImageTable::load(const TextBuffer& block) {
    entries_.clear();
    bytes_ = block;
    const int32_t count = bytes_.u32At(0);
    int pos = 4;
    for (int32_t i = 0; i < count && remaining(bytes_, pos) >= 8; ++i) {
        const int32_t len = bytes_.u32At(pos);
        const int32_t key = bytes_.u32At(pos + 4);
        pos += 8;
        if (len < 0 || len > remaining(bytes_, pos)) break;
        entries_.push_back({key, static_cast<size_t>(pos), static_cast<size_t>(len)});
        pos += len;
    }
}

ByteSpan ImageTable::find(int32_t key) const {
    for (const auto& e : entries_) {
        if (e.key == key) {
            return {reinterpret_cast<const unsigned char*>(bytes_.data()) + e.offset, e.size};
        }
    }
    return {};
}

bool parsePlainRecord(const TextBuffer& plain, PlainRecord& out) {
    out = PlainRecord();
    if (plain.length() < 2) return false;
    if (plain.byteAt(0) != static_cast<unsigned char>(record::kHeaderMarker)) {
        out.body = plain;
        return true;
    }
    out.hasHeader = true;
    const int avail = remaining(plain, 6);
    int32_t h = plain.u32At(2);
    if (h < 0 || h > avail) h = avail;
    if (h > 0) out.header = TextBuffer(plain.data() + 6, h);
    const int bodyStart = 6 + h;
    if (bodyStart < plain.length()) out.body = TextBuffer(plain.data() + bodyStart, plain.length() - bodyStart);
    if (!out.header.empty()) {
        int pos = 0;
        out.strings.load(readBlock(out.header, &pos));
        out.windowTemplate = readBlock(out.header, &pos);
        out.images.load(readBlock(out.header, &pos));
    }
    return true;
}

ProductLine readProductLine(const TextBuffer& body) {
    ProductLine line;
    if (body.empty()) return line;
    int pos = 0;
    line.whole = body.readLine(&pos, true);
    const char* p = line.whole.data();
    const int n = line.whole.length();
    int start = 0;
    TextBuffer* fields[] = {&line.name, &line.runCode, &line.command};
    for (TextBuffer* field : fields) {
        if (start > n) break;
        int end = start;
        while (end < n && p[end] != '\0') ++end;
        *field = TextBuffer(p + start, end - start);
        start = end + 1;
    }
    return line;
}

Sections splitSections(const TextBuffer& body) {
    const char* markers[] = {record::kSharedMarker, record::kBackupsMarker, record::kFilesMarker,
                             record::kDirectoriesMarker, record::kRegistryMarker};
    Sections s;
    TextBuffer* parts[] = {&s.shared, &s.backups, &s.files, &s.directories, &s.registry};
    int pos = 0;
    for (int k = 0; k < 5; ++k) {
        const TextBuffer marker(markers[k]);
        const int at = body.find(marker, pos, false);
        if (at == TextBuffer::kNotFound) continue;
        const int start = at + marker.length();
        int end = body.length();
        for (int next = k + 1; next < 5 && k < 4; ++next) {
            const int found = body.find(TextBuffer(markers[next]), start, false);
            if (found != TextBuffer::kNotFound) {
                end = found;
                break;
            }
        }
        *parts[k] = TextBuffer(body.data() + start, end - start);
        pos = end;
    }
    return s;
}

bool TreeReader::readNumber(int32_t& value) {
    if (ended_ || remaining(tree_, pos_) < 4) {
        ended_ = true;
        return false;
    }
    value = tree_.u32At(pos_);
    pos_ += 4;
    return true;
}

bool TreeReader::readName(std::string& name) {
    if (ended_) return false;
    const int nul = tree_.find('\0', pos_);
    if (nul == TextBuffer::kNotFound) {
        ended_ = true;
        return false;
    }
    name.assign(tree_.data() + pos_, static_cast<size_t>(nul - pos_));
    pos_ = nul + 1;
    return true;
}

uint64_t hashBytes(const std::string& bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

RecordRead decodeStoredRecord(const TextBuffer& stored, DecodedRecord& out) noexcept {
    // The containers report exhaustion by throwing; this is the one place that turns it into
    // a result, so the reading never ends the process.
    try {
        TextBuffer inner, plain;
        if (!unwrapLayer(stored, inner) || !unwrapLayer(inner, plain) || plain.length() < 2) return RecordRead::kCorrupt;
        inner = TextBuffer();
        parsePlainRecord(plain, out.record);
        out.hash = hashBytes(plain.str());
        plain = TextBuffer();
        out.product = readProductLine(out.record.body);
        out.sections = splitSections(out.record.body);
        return RecordRead::kOk;
    } catch (const std::bad_alloc&) {
        out = DecodedRecord();
        return RecordRead::kNoMemory;
    }
}

TextBuffer limitCaption(const TextBuffer& text, int maxBytes) {
    if (text.length() <= maxBytes) return text;
    int cut = maxBytes;
    // Step back over continuation bytes so that no character is split.
    while (cut > 0 && (text.byteAt(cut) & 0xC0) == 0x80) --cut;
    return TextBuffer(text.data(), cut);
}

}  // namespace corvel
