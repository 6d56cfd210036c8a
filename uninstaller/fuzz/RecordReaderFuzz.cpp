// Feeds arbitrary bytes to the record reader: both layers (with the lane checks forced to
// pass), the header tables, the body sections and the registry walk in both modes.
#include <cstddef>
#include <cstdint>

#include "RecordFormat.h"
#include "RegistryWalk.h"

namespace {

// A registry where every key exists and can be opened, so that the walk goes everywhere.
class OpenRegistry : public corvel::RegistryAccess {
public:
    Key root(int) override { return this; }
    Open openForChange(Key, const std::string& name, Key& out, bool) override {
        out = this;
        return name.size() % 3 == 0 ? Open::kDenied : Open::kOk;
    }
    Open openReadOnly(Key, const std::string& name, Key& out, bool) override {
        out = this;
        return name.size() % 2 ? Open::kOk : Open::kDenied;
    }
    void close(Key) override {}
    void deleteValue(Key, const std::string&) override {}
    bool hasSubkey(Key) override { return false; }
    bool hasValue(Key) override { return true; }
    std::vector<std::string> subkeyNames(Key) override { return {}; }
    bool deleteKey(Key, const std::string& name) override { return name.size() % 2 == 0; }
};

void readPlain(const corvel::TextBuffer& plain) {
    corvel::PlainRecord record;
    if (!corvel::parsePlainRecord(plain, record)) return;
    record.strings.lookup(0);
    record.images.find(1);
    corvel::readProductLine(record.body);
    const corvel::Sections sections = corvel::splitSections(record.body);
    OpenRegistry registry;
    corvel::TextBuffer log;
    corvel::walkRegistryTree(registry, sections.registry, corvel::WalkMode::kCheck, nullptr);
    corvel::walkRegistryTree(registry, sections.registry, corvel::WalkMode::kDelete, &log);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const corvel::TextBuffer input(reinterpret_cast<const char*>(data), static_cast<int>(size));
    readPlain(input);
    // The same bytes as a stored record: wrapped so the checks pass, then unwrapped.
    const corvel::TextBuffer stored = corvel::wrapLayer(corvel::wrapLayer(input, 3, 7), 5, 11);
    corvel::DecodedRecord decoded;
    if (corvel::decodeStoredRecord(stored, decoded) == corvel::RecordRead::kOk) {
        corvel::TextBuffer log;
        OpenRegistry registry;
        corvel::walkRegistryTree(registry, decoded.sections.registry, corvel::WalkMode::kDelete, &log);
    }
    corvel::decodeStoredRecord(input, decoded);
    return 0;
}
