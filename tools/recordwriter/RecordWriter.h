#pragma once
// The installer's side of the uninstallation record: builds the plain record, wraps it in its
// two layers and appends it with its trailer to a copy of the uninstaller.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace corvel::writer {

// The registry tree as nested keys under the four roots.
class RegistryTree {
public:
    // `path` starts with a root ("HKEY_LOCAL_MACHINE" or "HKLM", ...). Keys on the way are
    // created with flags 0; naming a key again replaces its flags. Later value() calls add to it.
    RegistryTree& key(const std::string& path, uint32_t flags);
    // Adds a value entry to the last key named (action 1 deletes the value).
    RegistryTree& value(const std::string& name, int32_t action);
    bool empty() const;
    std::string encode() const;

private:
    struct Node {
        uint32_t flags = 0;
        std::string name;
        std::vector<std::pair<std::string, int32_t>> values;
        std::vector<Node> subkeys;
    };
    static void encodeNode(const Node& node, std::string& out);
    Node roots_[4];
    std::vector<std::string> current_;
};

struct RecordDescription {
    bool withHeader = true;
    uint8_t headerByte = 0;  // the byte after the marker, not interpreted by the uninstaller
    int32_t language = 0;
    std::vector<std::pair<int32_t, std::string>> strings;
    std::string windowTemplate;
    std::vector<std::pair<int32_t, std::string>> images;
    std::string product, runCode, command;
    std::vector<std::string> shared, backups, files, directories;
    RegistryTree registry;
};

// The longest product name: "Global\\cvun_" + name + "_mutex" must fit the system's 259 characters.
constexpr size_t kMaxProductName = 241;
// The deepest key below its root that the uninstaller walks: it stops at 512 levels, the root
// counting as one.
constexpr size_t kMaxKeyDepth = 511;

struct LayerKey {
    uint8_t step = 0;
    uint8_t base = 0;
};

std::string be32(uint32_t value);
std::string buildPlainRecord(const RecordDescription& record);
// Inner layer first, then the outer one around it.
std::string wrapRecord(const std::string& plain, LayerKey inner, LayerKey outer);
// The executable, zeros up to a length that keeps the file's end at a multiple of 8 bytes, the
// stored record and the little-endian trailer with the record's offset.
std::string appendRecord(const std::string& executable, const std::string& stored);

// Reads the readable description (see docs/record-format.md). File names in it are taken
// relative to `baseDir`. False with a message naming the line on error, also for anything the
// uninstaller would misread (see docs/record-format.md, "What the writer refuses").
bool parseDescription(const std::string& text, const std::string& baseDir, RecordDescription& out,
                      std::string& error);

bool readFile(const std::string& path, std::string& bytes);
bool writeFile(const std::string& path, const std::string& bytes);

}  // namespace corvel::writer
