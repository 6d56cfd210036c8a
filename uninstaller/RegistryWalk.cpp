#include "RegistryWalk.h"

namespace corvel {

namespace {

// Windows keeps keys at most 512 levels deep; a deeper tree is not a real one, and following
// it would only exhaust the stack.
constexpr int kMaxDepth = 512;

class Walker {
public:
    Walker(RegistryAccess& registry, TreeReader& reader, WalkMode mode, TextBuffer* log)
        : reg_(registry), reader_(reader), mode_(mode), log_(log) {}

    // `key` null means parse only. Returns false when the walk of this level fails.
    bool walkNode(RegistryAccess::Key key) {
        if (depth_ >= kMaxDepth) {
            reader_.stop();
            return true;
        }
        ++depth_;
        const bool ok = walkNodeBody(key);
        --depth_;
        return ok;
    }

    void pushRoot(int index) { path_.assign(1, record::kRootNames[index]); }

private:
    bool walkNodeBody(RegistryAccess::Key key) {
        int32_t values = 0;
        if (!reader_.readNumber(values)) return true;
        for (int32_t i = 0; i < values; ++i) {
            std::string name;
            int32_t action = 0;
            if (!reader_.readName(name) || !reader_.readNumber(action)) return true;
            if (mode_ == WalkMode::kDelete && key && action == record::kDeleteValue) reg_.deleteValue(key, name);
        }
        int32_t subkeys = 0;
        if (!reader_.readNumber(subkeys)) return true;
        bool ok = true;
        for (int32_t i = 0; i < subkeys && !reader_.ended(); ++i) {
            int32_t flags = 0;
            std::string name;
            if (!reader_.readNumber(flags) || !reader_.readName(name)) return ok;
            // After a failure in check mode the rest of this level is only parsed, so that the
            // position still ends after the whole tree. Deleting goes on with the siblings: one
            // denied key must not leave the others behind unreported.
            if (!key || (!ok && mode_ == WalkMode::kCheck)) {
                walkNode(nullptr);
                continue;
            }
            if (!walkSubkey(key, static_cast<uint32_t>(flags), name)) ok = false;
        }
        return ok;
    }

    bool walkSubkey(RegistryAccess::Key parent, uint32_t flags, const std::string& name) {
        path_.push_back(name);
        RegistryAccess::Key key = nullptr;
        // A key that may be deleted is opened as a link: deleting must never empty another tree.
        const bool asLink = (flags & record::kDeleteKey) != 0;
        switch (reg_.openForChange(parent, name, key, asLink)) {
        case RegistryAccess::Open::kOk:
            break;
        case RegistryAccess::Open::kDenied: {
            const int32_t listedValues = peekNumber();
            if (listedValues > 0 || reg_.openReadOnly(parent, name, key, asLink) != RegistryAccess::Open::kOk) {
                if (mode_ == WalkMode::kDelete) report();
                path_.pop_back();
                walkNode(nullptr);
                return false;
            }
            break;
        }
        case RegistryAccess::Open::kMissing:
            path_.pop_back();
            walkNode(nullptr);
            return true;
        }
        const bool inner = walkNode(key);
        if (mode_ == WalkMode::kCheck) {
            reg_.close(key);
            path_.pop_back();  // mutate: skip (check mode reports nothing: the path is not read)
            return inner;
        }
        if (!(flags & record::kDeleteKey) || reader_.ended()) {
            reg_.close(key);
            path_.pop_back();
            return true;
        }
        bool hasSubkey = reg_.hasSubkey(key);
        if (hasSubkey && (flags & record::kDeleteTree)) {
            deleteKeyTree(reg_, key);
            hasSubkey = false;
        }
        const bool hasValue = reg_.hasValue(key);
        reg_.close(key);
        bool remove = false;
        bool reportIfKept = false;
        if (flags & record::kDeleteTree) {
            remove = true;
        } else if (flags & record::kDeleteIfEmpty) {
            remove = !hasSubkey && !hasValue;
        } else if (hasSubkey) {
            reportIfKept = !(flags & record::kQuietWithSubkeys);
        } else {
            remove = true;
        }
        if ((remove && !reg_.deleteKey(parent, name)) || reportIfKept) report();
        path_.pop_back();
        return true;
    }

    int32_t peekNumber() const {
        TreeReader copy = reader_;
        int32_t value = 0;
        return copy.readNumber(value) ? value : 0;
    }

    void report() {
        if (!log_) return;
        std::string line;
        for (size_t i = 0; i < path_.size(); ++i) {
            if (i) line += '\\';
            line += path_[i];
        }
        appendUniqueLine(*log_, TextBuffer(line));
    }

    RegistryAccess& reg_;
    TreeReader& reader_;
    WalkMode mode_;
    TextBuffer* log_;
    std::vector<std::string> path_;
    int depth_ = 0;
};

}  // namespace

bool walkRegistryTree(RegistryAccess& registry, const TextBuffer& tree, WalkMode mode, TextBuffer* keysLog) {
    TreeReader reader(tree);
    Walker walker(registry, reader, mode, keysLog);
    for (int r = 0; r < record::kRootCount && !reader.ended(); ++r) {
        walker.pushRoot(r);
        if (!walker.walkNode(registry.root(r)) && mode == WalkMode::kCheck) return false;
    }
    return true;
}

namespace {

// Registry links are opened as links and so have no subkeys; the depth cap still stops a
// registry that claims more levels than Windows allows.
void deleteKeyTreeAt(RegistryAccess& registry, RegistryAccess::Key key, int depth) {
    if (depth >= kMaxDepth) return;
    for (const std::string& name : registry.subkeyNames(key)) {
        RegistryAccess::Key child = nullptr;
        if (registry.openForChange(key, name, child, true) != RegistryAccess::Open::kOk) continue;
        deleteKeyTreeAt(registry, child, depth + 1);
        registry.close(child);
        registry.deleteKey(key, name);
    }
}

}  // namespace

void deleteKeyTree(RegistryAccess& registry, RegistryAccess::Key key) { deleteKeyTreeAt(registry, key, 0); }

void appendUniqueLine(TextBuffer& log, const TextBuffer& line) {
    int pos = 0;
    while (log.validPosition(pos)) {
        if (log.readLine(&pos, true).equals(line, true)) return;
    }
    log.append(line).append("\r\n");
}

}  // namespace corvel
