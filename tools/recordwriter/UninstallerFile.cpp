#include "UninstallerFile.h"

#include <cstdio>
#include <cstring>

#include "RecordFormat.h"
#include "RecordTrailer.h"

namespace corvel::writer {

namespace {

ReadAt readerOf(const std::string& file) {
    return [&file](uint32_t offset, uint32_t size, unsigned char* out) {
        if (offset > file.size() || size > file.size() - offset) return false;
        std::memcpy(out, file.data() + offset, size);
        return true;
    };
}

// A value the description reads back as written: quoted when its ends would be trimmed or
// unquoted.
std::string value(const std::string& text) {
    const bool blankEnd = !text.empty() && (std::strchr(" \t", text.front()) || std::strchr(" \t", text.back()));
    const bool quotedLook = text.size() >= 2 && text.front() == '"' && text.back() == '"';
    return text.empty() || blankEnd || quotedLook ? "\"" + text + "\"" : text;
}

// A string-table text: line breaks as \n, TABs as \t, backslashes doubled. A lone CR or LF has
// no written form; it is shown as a line break and reported.
std::string escapedText(const std::string& text, bool& lossy) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += "\\n";
            ++i;
        } else if (c == '\r' || c == '\n') {
            out += "\\n";
            lossy = true;
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out.push_back(c);
        }
    }
    return "\"" + out + "\"";
}

std::string number(long long n) { return std::to_string(n); }

std::string hex(uint32_t n) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", n);
    return text;
}

std::vector<std::string> lines(const TextBuffer& section) {
    std::vector<std::string> out;
    const std::string& s = section.str();
    size_t start = 0;
    while (start < s.size()) {
        size_t end = s.find("\r\n", start);
        if (end == std::string::npos) end = s.size();
        if (end > start) out.push_back(s.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

std::string imageName(int32_t key, ByteSpan bytes) {
    const char* ext = ".bin";
    if (bytes.size >= 2 && bytes.data[0] == 'B' && bytes.data[1] == 'M') ext = ".bmp";
    if (bytes.size >= 4 && !bytes.data[0] && !bytes.data[1] && bytes.data[2] == 1 && !bytes.data[3]) ext = ".ico";
    return "image-" + number(key) + ext;
}

const char* const kRootShortNames[record::kRootCount] = {"HKCR", "HKCU", "HKLM", "HKU"};
// Deeper than the registry allows: a record that nests further is not a registry tree.
constexpr int kMaxKeyDepth = 512;

// One node of the registry tree: the key itself when it needs saying (flags, values, or no
// subkeys to name it on the way), then its subkeys. False when the tree ends early.
bool dumpNode(TreeReader& tree, const std::string& path, uint32_t flags, bool isRoot, int depth, std::string& out) {
    int32_t count = 0;
    if (depth > kMaxKeyDepth || !tree.readNumber(count)) return false;
    std::string values;
    for (int32_t i = 0; i < count; ++i) {
        std::string name;
        int32_t action = 0;
        if (!tree.readName(name) || !tree.readNumber(action)) return false;
        values += "value " + number(action) + " " + value(name) + "\n";
    }
    int32_t subkeys = 0;
    if (!tree.readNumber(subkeys)) return false;
    if ((!isRoot && (flags != 0 || subkeys == 0)) || !values.empty()) out += "key " + hex(flags) + " " + path + "\n";
    out += values;
    for (int32_t i = 0; i < subkeys; ++i) {
        int32_t childFlags = 0;
        std::string name;
        if (!tree.readNumber(childFlags) || !tree.readName(name)) return false;
        if (!dumpNode(tree, path + "\\" + name, static_cast<uint32_t>(childFlags), false, depth + 1, out)) return false;
    }
    return true;
}

}  // namespace

bool isSigned(const std::string& file) {
    CertificateTable table;
    return file.size() <= 0x7FFFFFFF && findCertificateTable(static_cast<uint32_t>(file.size()), readerOf(file), table);
}

DumpResult dumpRecord(const std::string& file, RecordDump& out) {
    out = RecordDump();
    StoredRecordPlace place;
    // The executable comes first, so a record never starts at offset 0: such a trailer is the
    // zeros at the end of an uninstaller that carries no record.
    if (!locateStoredRecord(file.size(), readerOf(file), place) || place.offset == 0) return DumpResult::kNoRecord;
    TextBuffer inner, plain;
    if (!unwrapLayer(TextBuffer(file.substr(place.offset, place.length)), inner) || !unwrapLayer(inner, plain) ||
        plain.length() < 2)
        return DumpResult::kCorrupt;
    PlainRecord record;
    parsePlainRecord(plain, record);

    std::string& d = out.description;
    if (!record.hasHeader) {
        d += "header off\n";
    } else {
        if (plain.byteAt(1) != 0) d += "headerbyte " + number(plain.byteAt(1)) + "\n";
        if (record.strings.language() != 0) d += "language " + number(record.strings.language()) + "\n";
        for (const auto& [key, text] : record.strings.entries()) {
            bool lossy = false;
            d += "string " + number(key) + " " + escapedText(text.str(), lossy) + "\n";
            if (lossy) out.warnings.push_back("string " + number(key) + " holds a line break other than CR LF");
        }
        if (!record.windowTemplate.empty()) {
            d += "template template.tpl\n";
            out.files.emplace_back("template.tpl", record.windowTemplate.str());
        }
        for (int i = 0; i < record.images.count(); ++i) {
            const ByteSpan bytes = record.images.bytesAt(i);
            const std::string name = imageName(record.images.keyAt(i), bytes);
            d += "image " + number(record.images.keyAt(i)) + " " + name + "\n";
            out.files.emplace_back(name, std::string(reinterpret_cast<const char*>(bytes.data), bytes.size));
        }
    }
    const ProductLine product = readProductLine(record.body);
    d += "product " + value(product.name.str()) + "\n";
    if (!product.runCode.empty()) d += "runcode " + value(product.runCode.str()) + "\n";
    if (!product.command.empty()) d += "command " + value(product.command.str()) + "\n";
    const Sections sections = splitSections(record.body);
    for (const std::string& line : lines(sections.shared)) d += "shared " + value(line) + "\n";
    for (std::string line : lines(sections.backups)) {
        for (char& c : line) c = c == '\t' ? '|' : c;
        d += "backup " + line + "\n";
    }
    for (const std::string& line : lines(sections.files)) d += "file " + value(line) + "\n";
    for (const std::string& line : lines(sections.directories)) d += "directory " + value(line) + "\n";
    if (!sections.registry.empty()) {
        TreeReader tree(sections.registry);
        for (int root = 0; root < record::kRootCount; ++root) {
            if (!dumpNode(tree, kRootShortNames[root], 0, true, 0, d)) {
                out.warnings.push_back("the registry tree ends early; the keys after that point are not shown");
                break;
            }
        }
    }
    return DumpResult::kOk;
}

}  // namespace corvel::writer
