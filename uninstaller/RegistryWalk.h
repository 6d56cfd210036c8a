#pragma once
// The walk over the record's registry tree: in check mode it proves every listed key can be
// opened as needed; in delete mode it deletes values and keys by their flags.
#include <cstdint>
#include <string>
#include <vector>

#include "RecordFormat.h"
#include "TextBuffer.h"

namespace corvel {

// The registry as the walk needs it. Keys are opaque handles owned by the implementation.
class RegistryAccess {
public:
    using Key = void*;
    enum class Open { kOk, kDenied, kMissing };

    virtual ~RegistryAccess() = default;
    virtual Key root(int index) = 0;  // record::kRootNames order
    // Opens for reading, setting values and creating subkeys. `asLink`: a registry link is
    // opened as the link itself, not as its target (for a key that may be deleted, and inside
    // tree deletion); otherwise links along a path are followed as any program follows them.
    virtual Open openForChange(Key parent, const std::string& name, Key& out, bool asLink) = 0;
    virtual Open openReadOnly(Key parent, const std::string& name, Key& out, bool asLink) = 0;
    virtual void close(Key key) = 0;
    virtual void deleteValue(Key key, const std::string& name) = 0;
    virtual bool hasSubkey(Key key) = 0;
    virtual bool hasValue(Key key) = 0;
    virtual std::vector<std::string> subkeyNames(Key key) = 0;
    // Deletes parent\name with its values; false when it cannot.
    virtual bool deleteKey(Key parent, const std::string& name) = 0;
};

enum class WalkMode { kCheck, kDelete };

// Walks the four root nodes in order with one parse position. In check mode the result is
// false as soon as a root fails. A tree that ends early stops cleanly: nothing more is changed.
// `keysLog` receives the keys-not-removed lines in delete mode.
bool walkRegistryTree(RegistryAccess& registry, const TextBuffer& tree, WalkMode mode, TextBuffer* keysLog);

// Deletes everything below an open key; subkeys that cannot be opened are left.
void deleteKeyTree(RegistryAccess& registry, RegistryAccess::Key key);

// Appends `line` + CR LF unless an equal line (without regard to case) is already there.
void appendUniqueLine(TextBuffer& log, const TextBuffer& line);

}  // namespace corvel
