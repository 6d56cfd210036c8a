#include "RecordWriter.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace corvel::writer {

namespace {

const char* const kRoots[4][2] = {{"HKEY_CLASSES_ROOT", "HKCR"},
                                  {"HKEY_CURRENT_USER", "HKCU"},
                                  {"HKEY_LOCAL_MACHINE", "HKLM"},
                                  {"HKEY_USERS", "HKU"}};

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

int rootIndex(const std::string& name) {
    for (int i = 0; i < 4; ++i) {
        if (upper(name) == kRoots[i][0] || upper(name) == kRoots[i][1]) return i;
    }
    return -1;
}

std::string section(const char* marker, const std::vector<std::string>& lines) {
    std::string out = marker;
    for (const auto& line : lines) out += line + "\r\n";
    return out;
}

std::string block(const std::string& bytes) { return be32(static_cast<uint32_t>(bytes.size())) + bytes; }

}  // namespace

RegistryTree& RegistryTree::key(const std::string& path, uint32_t flags) {
    std::vector<std::string> parts = splitPath(path);
    current_.clear();
    if (parts.empty() || rootIndex(parts[0]) < 0) return *this;
    Node* node = &roots_[rootIndex(parts[0])];
    for (size_t i = 1; i < parts.size(); ++i) {
        Node* next = nullptr;
        for (Node& child : node->subkeys) {
            if (upper(child.name) == upper(parts[i])) next = &child;
        }
        if (!next) {
            node->subkeys.push_back(Node());
            next = &node->subkeys.back();
            next->name = parts[i];
        }
        node = next;
    }
    if (parts.size() > 1) node->flags = flags;
    current_ = parts;
    return *this;
}

RegistryTree& RegistryTree::value(const std::string& name, int32_t action) {
    if (current_.empty()) return *this;
    Node* node = &roots_[rootIndex(current_[0])];
    for (size_t i = 1; i < current_.size(); ++i) {
        for (Node& child : node->subkeys) {
            if (upper(child.name) == upper(current_[i])) {
                node = &child;
                break;
            }
        }
    }
    node->values.emplace_back(name, action);
    return *this;
}

bool RegistryTree::empty() const {
    for (const Node& root : roots_) {
        if (!root.values.empty() || !root.subkeys.empty()) return false;
    }
    return true;
}

void RegistryTree::encodeNode(const Node& node, std::string& out) {
    out += be32(static_cast<uint32_t>(node.values.size()));
    for (const auto& v : node.values) {
        out += v.first;
        out.push_back('\0');
        out += be32(static_cast<uint32_t>(v.second));
    }
    out += be32(static_cast<uint32_t>(node.subkeys.size()));
    for (const Node& child : node.subkeys) {
        out += be32(child.flags);
        out += child.name;
        out.push_back('\0');
        encodeNode(child, out);
    }
}

std::string RegistryTree::encode() const {
    std::string out;
    for (const Node& root : roots_) encodeNode(root, out);
    return out;
}

std::string be32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string buildPlainRecord(const RecordDescription& r) {
    std::string body = r.product;
    body.push_back('\0');
    body += r.runCode;
    body.push_back('\0');
    body += r.command;
    body += "\r\n";
    body += section("Shared:\r\n", r.shared);
    body += section("Backups:\r\n", r.backups);
    body += section("Files:\r\n", r.files);
    body += section("Directories:\r\n", r.directories);
    body += "Registry:\r\n";
    if (!r.registry.empty()) body += r.registry.encode();
    if (!r.withHeader) return body;

    std::string strings = be32(static_cast<uint32_t>(r.language)) + be32(static_cast<uint32_t>(r.strings.size()));
    for (const auto& s : r.strings) strings += be32(static_cast<uint32_t>(s.first)) + block(s.second);
    std::string images = be32(static_cast<uint32_t>(r.images.size()));
    for (const auto& i : r.images) images += be32(static_cast<uint32_t>(i.second.size())) + be32(static_cast<uint32_t>(i.first)) + i.second;
    const std::string header = block(strings) + block(r.windowTemplate) + block(images);
    std::string plain = "\\";
    plain.push_back(static_cast<char>(r.headerByte));
    return plain + block(header) + body;
}

static std::string wrapOne(const std::string& payload, LayerKey key) {
    std::string out(payload);
    unsigned char k = static_cast<unsigned char>(key.base + key.step);
    for (char& c : out) {
        c = static_cast<char>(static_cast<unsigned char>(c) + k);
        k = static_cast<unsigned char>(k + key.step);
    }
    out.push_back(static_cast<char>(key.step));
    out.push_back(static_cast<char>(key.base));
    unsigned char sums[8] = {};
    for (size_t i = 0; i < out.size(); ++i) sums[i % 8] = static_cast<unsigned char>(sums[i % 8] + static_cast<unsigned char>(out[i]));
    for (unsigned char s : sums) out.push_back(static_cast<char>(s));
    return out;
}

std::string wrapRecord(const std::string& plain, LayerKey inner, LayerKey outer) {
    return wrapOne(wrapOne(plain, inner), outer);
}

std::string appendRecord(const std::string& executable, const std::string& stored) {
    // Signing pads the file to a multiple of 8 bytes before its certificate table; zeros before
    // the record make the file end there already, so the trailer stays just before the table.
    const size_t padding = (8 - (executable.size() + stored.size() + 4) % 8) % 8;
    const uint32_t at = static_cast<uint32_t>(executable.size() + padding);
    std::string out = executable + std::string(padding, '\0') + stored;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((at >> (8 * i)) & 0xFF));
    return out;
}

bool readFile(const std::string& path, std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bytes.clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

namespace {

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string unquote(const std::string& s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

// "\n" gives CR LF, "\t" a TAB and "\\" a backslash; any other backslash stays as it is.
std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            const char n = s[i + 1];
            if (n == 'n') { out += "\r\n"; ++i; continue; }
            if (n == 't') { out += '\t'; ++i; continue; }
            if (n == '\\') { out += '\\'; ++i; continue; }
        }
        out.push_back(s[i]);
    }
    return out;
}

// A number the record's 32-bit fields hold as written: signed or unsigned, nothing that would
// wrap (4294967296 would be read as 0).
bool number(const std::string& text, long long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 0);
    return end && *end == '\0' && errno == 0 && value >= -2147483648LL && value <= 4294967295LL;
}

// Splits "WORD rest" at the first run of blanks.
std::pair<std::string, std::string> head(const std::string& s) {
    const size_t sp = s.find_first_of(" \t");
    if (sp == std::string::npos) return {s, ""};
    return {s.substr(0, sp), trim(s.substr(sp))};
}

bool decimal(const std::string& text) {
    size_t i = text.empty() || (text[0] != '-' && text[0] != '+') ? 0 : 1;
    if (i == text.size()) return false;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    long long value = 0;
    return number(text[0] == '+' ? text.substr(1) : text, value);
}

const char* const kMarkers[] = {"Shared:\r\n", "Backups:\r\n", "Files:\r\n", "Directories:\r\n", "Registry:\r\n"};

// Why the uninstaller would misread `text` written as a body line (followed by CR LF), or
// empty when it reads it back as written.
std::string misreadAsLine(const std::string& text) {
    if (text.find('\0') != std::string::npos) return "contains a NUL byte";
    const std::string line = text + "\r\n";
    for (const char* marker : kMarkers) {
        if (line.find(marker) != std::string::npos)
            return "would end its section: contains the marker " + std::string(marker, std::strlen(marker) - 2);
    }
    return {};
}

std::string joinPath(const std::string& dir, const std::string& file) {
    if (file.empty() || file[0] == '/' || dir.empty()) return file;
    return dir + "/" + file;
}

}  // namespace

bool parseDescription(const std::string& text, const std::string& baseDir, RecordDescription& out, std::string& error) {
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    bool haveKey = false;
    // A body line the reader would cut short, split or skip.
    auto badLine = [&](const std::string& what, const std::string& text, size_t shortest) {
        std::string why = misreadAsLine(text);
        if (why.empty() && text.size() < shortest) why = "is " + std::to_string(text.size()) + " bytes; the uninstaller skips lines of two bytes or fewer";
        if (!why.empty()) fail(what + " " + why);
        return !why.empty();
    };
    while (std::getline(in, raw)) {
        ++lineNo;
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '#') continue;
        auto [word, rest] = head(line);
        long long n = 0;
        if (word == "language") {
            if (!number(rest, n)) return fail("language needs a number");
            out.language = static_cast<int32_t>(n);
        } else if (word == "header") {
            if (rest != "on" && rest != "off") return fail("header is on or off");
            out.withHeader = rest == "on";
        } else if (word == "headerbyte") {
            if (!number(rest, n) || n < 0 || n > 255) return fail("headerbyte needs a number from 0 to 255");
            out.headerByte = static_cast<uint8_t>(n);
        } else if (word == "string" || word == "template" || word == "image") {
            if (word == "template") {
                if (!readFile(joinPath(baseDir, unquote(rest)), out.windowTemplate)) return fail("cannot read " + rest);
                continue;
            }
            auto [keyText, value] = head(rest);
            if (!number(keyText, n)) return fail(word + " needs a numeric key");
            if (word == "string") {
                out.strings.emplace_back(static_cast<int32_t>(n), unescape(unquote(value)));
            } else {
                std::string bytes;
                if (!readFile(joinPath(baseDir, unquote(value)), bytes)) return fail("cannot read " + value);
                out.images.emplace_back(static_cast<int32_t>(n), bytes);
            }
        } else if (word == "product") {
            out.product = unquote(rest);
            if (out.product.find('\0') != std::string::npos) return fail("product contains a NUL byte");
            if (out.product.find('\\') != std::string::npos)
                return fail("product contains \"\\\", which the single-instance mutex name cannot carry");
            if (out.product.size() > kMaxProductName)
                return fail("product is longer than " + std::to_string(kMaxProductName) +
                            " bytes, too long for the single-instance mutex name");
        } else if (word == "runcode") {
            out.runCode = unquote(rest);
            if (out.runCode.find('\0') != std::string::npos) return fail("runcode contains a NUL byte");
        } else if (word == "command") {
            out.command = unquote(rest);
            if (badLine("command", out.command, 0)) return false;
        } else if (word == "shared") {
            out.shared.push_back(unquote(rest));
            if (badLine("shared", out.shared.back(), 0)) return false;
            const size_t bar = out.shared.back().find('|');
            if (bar != std::string::npos && out.shared.back().find('|', bar + 1) != std::string::npos)
                return fail("shared path contains \"|\"; the uninstaller cuts the path at the first one");
        } else if (word == "backup") {
            std::vector<std::string> fields;
            std::string field;
            for (char c : rest + "|") {
                if (c == '|') {
                    fields.push_back(trim(field));
                    field.clear();
                } else {
                    field.push_back(c);
                }
            }
            if (fields.size() != 6) return fail("backup needs six fields separated by |");
            if (unquote(fields[0]).empty()) return fail("backup has an empty backup path; the uninstaller skips such a line");
            for (size_t i = 0; i < fields.size(); ++i) {
                if (fields[i].find('\t') != std::string::npos) return fail("backup field " + std::to_string(i + 1) + " contains a TAB");
                if (i >= 2 && !decimal(unquote(fields[i])))
                    return fail("backup field " + std::to_string(i + 1) + " (" + fields[i] +
                                ") is not a decimal number of 32 bits");
            }
            std::string joined;
            for (size_t i = 0; i < fields.size(); ++i) joined += (i ? "\t" : "") + unquote(fields[i]);
            if (badLine("backup", joined, 3)) return false;
            out.backups.push_back(joined);
        } else if (word == "file") {
            out.files.push_back(unquote(rest));
            if (badLine("file", out.files.back(), 3)) return false;
        } else if (word == "directory") {
            out.directories.push_back(unquote(rest));
            if (badLine("directory", out.directories.back(), 3)) return false;
        } else if (word == "key") {
            auto [flags, path] = head(rest);
            if (!number(flags, n) || rootIndex(splitPath(unquote(path)).empty() ? "" : splitPath(unquote(path))[0]) < 0)
                return fail("key needs flags and a path that starts with a root");
            if (path.find('\0') != std::string::npos) return fail("key contains a NUL byte");
            if (splitPath(unquote(path)).size() - 1 > kMaxKeyDepth)
                return fail("key is nested deeper than the " + std::to_string(kMaxKeyDepth) +
                            " levels below its root that the uninstaller walks");
            out.registry.key(unquote(path), static_cast<uint32_t>(n));
            haveKey = true;
        } else if (word == "value") {
            auto [action, name] = head(rest);
            if (!number(action, n)) return fail("value needs an action number");
            if (!haveKey) return fail("value before any key: name its key first");
            if (name.find('\0') != std::string::npos) return fail("value contains a NUL byte");
            out.registry.value(unquote(name), static_cast<int32_t>(n));
        } else {
            return fail("unknown word " + word);
        }
    }
    return true;
}

}  // namespace corvel::writer
