#include "TextBuffer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace corvel {

unsigned char foldByte(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0xE5: return 0xC5;
    case 0xE4: return 0xC4;
    case 0xF6: return 0xD6;
    default: return c;
    }
}

namespace {

bool sameAt(const std::string& hay, int at, const std::string& needle, bool ignoreCase) {
    for (size_t i = 0; i < needle.size(); ++i) {
        unsigned char a = static_cast<unsigned char>(hay[at + i]);
        unsigned char b = static_cast<unsigned char>(needle[i]);
        if (ignoreCase) {
            a = foldByte(a);
            b = foldByte(b);
        }
        if (a != b) return false;
    }
    return true;
}

}  // namespace

TextBuffer::TextBuffer(const char* text) : bytes_(text ? text : "") {}

TextBuffer::TextBuffer(const char* bytes, int count) {
    if (bytes && count > 0) bytes_.assign(bytes, static_cast<size_t>(count));
}

TextBuffer& TextBuffer::assign(const char* text) {
    bytes_ = text ? text : "";
    return *this;
}

TextBuffer& TextBuffer::assign(const TextBuffer& other) {
    bytes_ = other.bytes_;
    return *this;
}

TextBuffer& TextBuffer::append(char byte) {
    bytes_.push_back(byte);
    return *this;
}

TextBuffer& TextBuffer::append(const char* text, int count) {
    if (!text) return *this;
    if (count < 0) {
        bytes_.append(text);
    } else {
        bytes_.append(text, static_cast<size_t>(count));
    }
    return *this;
}

TextBuffer& TextBuffer::append(const TextBuffer& other) {
    bytes_.append(other.bytes_);
    return *this;
}

int TextBuffer::byteAt(int pos) const {
    if (pos < 0 || pos >= length()) return 0xFF;
    return static_cast<unsigned char>(bytes_[pos]);
}

int32_t TextBuffer::u16At(int pos) const {
    if (pos < 0 || length() - pos < 2) return -1;
    return (byteAt(pos) << 8) | byteAt(pos + 1);
}

int32_t TextBuffer::u32At(int pos) const {
    if (pos < 0 || length() - pos < 4) return -1;
    uint32_t v = (static_cast<uint32_t>(byteAt(pos)) << 24) | (static_cast<uint32_t>(byteAt(pos + 1)) << 16) |
                 (static_cast<uint32_t>(byteAt(pos + 2)) << 8) | static_cast<uint32_t>(byteAt(pos + 3));
    return static_cast<int32_t>(v);
}

int TextBuffer::find(char byte, int from) const {
    if (from < 0) from = 0;
    if (from >= length()) return kNotFound;
    size_t at = bytes_.find(byte, static_cast<size_t>(from));
    return at == std::string::npos ? kNotFound : static_cast<int>(at);
}

int TextBuffer::find(const TextBuffer& text, int from, bool ignoreCase) const {
    if (from < 0) from = 0;
    const int n = text.length();
    if (n == 0 || from >= length() || length() - from < n) return kNotFound;
    for (int i = from; i + n <= length(); ++i) {
        if (sameAt(bytes_, i, text.bytes_, ignoreCase)) return i;
    }
    return kNotFound;
}

int TextBuffer::findBackwards(const TextBuffer& text, int from, bool ignoreCase) const {
    const int n = text.length();
    if (n == 0 || from < 0 || from >= length() || length() < n) return kNotFound;
    int start = from == 0 ? length() - n : from;
    if (start > length() - n) start = length() - n;
    for (int i = start; i >= 0; --i) {
        if (sameAt(bytes_, i, text.bytes_, ignoreCase)) return i;
    }
    return kNotFound;
}

bool TextBuffer::equals(const TextBuffer& other, bool ignoreCase) const {
    return length() == other.length() && (length() == 0 || sameAt(bytes_, 0, other.bytes_, ignoreCase));
}

void TextBuffer::remove(int pos, int count) {
    if (pos < 0 || count < 0 || pos > length() || count > length() - pos) return;
    bytes_.erase(static_cast<size_t>(pos), static_cast<size_t>(count));
}

int TextBuffer::removeAll(const TextBuffer& text, int from, int howMany, bool ignoreCase) {
    int removed = 0;
    int at = from;
    while (howMany == 0 || removed < howMany) {
        at = find(text, at, ignoreCase);
        if (at == kNotFound) break;
        remove(at, text.length());
        ++removed;
    }
    return removed;
}

void TextBuffer::insert(int pos, const char* text, int count) {
    if (!text || pos < 0 || pos > length()) return;
    const size_t n = count < 0 ? std::strlen(text) : static_cast<size_t>(count);
    bytes_.insert(static_cast<size_t>(pos), text, n);
}

TextBuffer TextBuffer::substr(int start, int count) const {
    if (start < 0 || count < 0 || start > length() || count > length() - start) return *this;
    return TextBuffer(bytes_.substr(static_cast<size_t>(start), static_cast<size_t>(count)));
}

void TextBuffer::upperCase() {
    for (char& c : bytes_) c = static_cast<char>(foldByte(static_cast<unsigned char>(c)));
}

TextBuffer TextBuffer::readLine(int* pos, bool raw) const {
    if (!pos) return TextBuffer("Invalid param");
    if (!validPosition(*pos)) return TextBuffer("Out of bounds");
    const int p = *pos;
    const int i = find(TextBuffer("\r\n"), p, false);
    if (i == kNotFound) {
        *pos = length();
        return TextBuffer(bytes_.substr(static_cast<size_t>(p)));
    }
    if (p + 2 == length()) {
        *pos = length();
        return TextBuffer();
    }
    *pos = i + 2;
    std::string line = bytes_.substr(static_cast<size_t>(p), static_cast<size_t>(i - p));
    if (!raw) line = std::string(line.c_str());
    return TextBuffer(std::move(line));
}

int TextBuffer::loadFile(const char* path, long offset, long maxBytes) {
    std::FILE* f = path ? std::fopen(path, "rb") : nullptr;
    if (!f) return -3;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    long want = size - offset;
    if (size < 0 || offset < 0 || want <= 0 || std::fseek(f, offset, SEEK_SET) != 0) {
        std::fclose(f);
        return -2;
    }
    if (maxBytes > 0 && want > maxBytes) want = maxBytes;
    // Read in chunks: the size a stream reports (a folder's, say) is not proof that the bytes exist.
    std::string bytes;
    char chunk[65536];
    while (static_cast<long>(bytes.size()) < want) {
        const size_t ask = static_cast<size_t>(std::min<long>(want - static_cast<long>(bytes.size()), sizeof chunk));
        const size_t got = std::fread(chunk, 1, ask, f);
        bytes.append(chunk, got);
        if (got < ask) break;
    }
    std::fclose(f);
    const bool whole = static_cast<long>(bytes.size()) == want;
    bytes_ = std::move(bytes);
    return whole ? 1 : -1;
}

int TextBuffer::saveFile(const char* path) const {
    std::FILE* f = path ? std::fopen(path, "wb") : nullptr;
    if (!f) return -3;
    const size_t put = bytes_.empty() ? 0 : std::fwrite(bytes_.data(), 1, bytes_.size(), f);
    const bool closed = std::fclose(f) == 0;
    return put == bytes_.size() && closed ? 1 : -2;
}

bool substituteFirst(TextBuffer& text, const TextBuffer& with) {
    const int at = text.find(TextBuffer("%s"), 0, false);
    if (at == TextBuffer::kNotFound) return false;
    text.remove(at, 2);
    text.insert(at, with.data(), with.length());
    return true;
}

}  // namespace corvel
