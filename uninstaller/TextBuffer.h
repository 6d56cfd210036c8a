#pragma once
// The uninstaller's growable byte string. It doubles as the binary record reader:
// big-endian numbers, CR LF lines, searching and cutting. Bytes may include NULs.
#include <cstdint>
#include <string>

namespace corvel {

// Upper-cases a and z..., plus the three Western letters a-ring, a-diaeresis and o-diaeresis.
unsigned char foldByte(unsigned char c);

class TextBuffer {
public:
    static constexpr int kNotFound = -1;

    TextBuffer() = default;
    TextBuffer(const char* text);  // NOLINT: implicit on purpose, like a string literal
    TextBuffer(const char* bytes, int count);
    explicit TextBuffer(std::string bytes) : bytes_(std::move(bytes)) {}

    TextBuffer& assign(const char* text);
    TextBuffer& assign(const TextBuffer& other);

    TextBuffer& append(char byte);
    // A count of -1 takes the string up to its NUL; any other count is taken as the length.
    TextBuffer& append(const char* text, int count = -1);
    TextBuffer& append(const TextBuffer& other);

    // NUL-terminated view of the content; valid until the buffer next changes.
    const char* c_str() const { return bytes_.c_str(); }
    const char* data() const { return bytes_.data(); }
    int length() const { return static_cast<int>(bytes_.size()); }
    bool empty() const { return bytes_.empty(); }
    const std::string& str() const { return bytes_; }

    // 0xFF at or past the end.
    int byteAt(int pos) const;
    // Big-endian; -1 when too few bytes remain.
    int32_t u16At(int pos) const;
    int32_t u32At(int pos) const;

    int find(char byte, int from) const;
    int find(const TextBuffer& text, int from, bool ignoreCase) const;
    // Last match starting at or before `from`; a `from` of 0 means from the end.
    int findBackwards(const TextBuffer& text, int from, bool ignoreCase) const;

    bool equals(const TextBuffer& other, bool ignoreCase) const;

    // Nothing changes when the range runs past the end.
    void remove(int pos, int count);
    // Removes up to `howMany` matches at or after `from` (0 removes all); returns how many went.
    int removeAll(const TextBuffer& text, int from, int howMany, bool ignoreCase);
    // Nothing changes when pos is past the end.
    void insert(int pos, const char* text, int count = -1);

    // A copy of the whole text when the range runs past the end.
    TextBuffer substr(int start, int count) const;
    void upperCase();

    // Reads the line at *pos and moves *pos past its CR LF. A null pos gives "Invalid param",
    // a position outside the text "Out of bounds". Without `raw` the line ends at its first NUL.
    TextBuffer readLine(int* pos, bool raw) const;
    bool validPosition(int pos) const { return pos >= 0 && pos < length(); }

    // 1 read whole, -3 cannot open, -2 nothing to read, -1 short read. maxBytes <= 0: to the end.
    int loadFile(const char* path, long offset = 0, long maxBytes = 0);
    // 1 written whole, -3 cannot create, -2 short write.
    int saveFile(const char* path) const;

    bool operator==(const TextBuffer& other) const { return bytes_ == other.bytes_; }
    bool operator!=(const TextBuffer& other) const { return bytes_ != other.bytes_; }

private:
    std::string bytes_;
};

// Replaces the first "%s" (exact) by `with`; false when there is none.
bool substituteFirst(TextBuffer& text, const TextBuffer& with);

}  // namespace corvel
