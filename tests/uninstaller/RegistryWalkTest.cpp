#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

#include "RegistryWalk.h"
#include "RecordWriter.h"

using namespace corvel;

namespace {

// An in-memory registry: keys by full path (upper-cased), each with a set of value names.
class FakeRegistry : public RegistryAccess {
public:
    std::map<std::string, std::set<std::string>> keys;
    std::set<std::string> denied;    // no change access
    std::set<std::string> noAccess;  // no read access either
    std::set<std::string> undeletable;

    FakeRegistry() {
        for (const char* root : record::kRootNames) keys[root];
    }
    void add(const std::string& path, std::set<std::string> values = {}) {
        std::string prefix;
        size_t at = 0;
        while ((at = path.find('\\', at + 1)) != std::string::npos) keys[path.substr(0, at)];
        keys[path] = std::move(values);
    }
    bool has(const std::string& path) const { return keys.count(path) != 0; }

    Key root(int index) override { return handle(record::kRootNames[index]); }
    Open openForChange(Key parent, const std::string& name, Key& out) override {
        const std::string path = pathOf(parent) + "\\" + name;
        if (!has(path)) return Open::kMissing;
        if (denied.count(path) || noAccess.count(path)) return Open::kDenied;
        out = handle(path);
        return Open::kOk;
    }
    Open openReadOnly(Key parent, const std::string& name, Key& out) override {
        const std::string path = pathOf(parent) + "\\" + name;
        if (!has(path)) return Open::kMissing;
        if (noAccess.count(path)) return Open::kDenied;
        out = handle(path);
        return Open::kOk;
    }
    void close(Key) override {}
    void deleteValue(Key key, const std::string& name) override { keys[pathOf(key)].erase(name); }
    bool hasSubkey(Key key) override { return !subkeyNames(key).empty(); }
    bool hasValue(Key key) override { return !keys[pathOf(key)].empty(); }
    std::vector<std::string> subkeyNames(Key key) override {
        const std::string prefix = pathOf(key) + "\\";
        std::vector<std::string> names;
        for (const auto& k : keys) {
            if (k.first.compare(0, prefix.size(), prefix) == 0 && k.first.find('\\', prefix.size()) == std::string::npos)
                names.push_back(k.first.substr(prefix.size()));
        }
        return names;
    }
    bool deleteKey(Key parent, const std::string& name) override {
        const std::string path = pathOf(parent) + "\\" + name;
        if (undeletable.count(path) || !subkeyNames(handle(path)).empty()) return false;
        return keys.erase(path) == 1;
    }

private:
    Key handle(const std::string& path) {
        auto& slot = handles_[path];
        if (!slot) slot = std::make_unique<std::string>(path);
        return slot.get();
    }
    static const std::string& pathOf(Key key) { return *static_cast<std::string*>(key); }
    std::map<std::string, std::unique_ptr<std::string>> handles_;
};

const std::string kApp = "HKEY_LOCAL_MACHINE\\Software\\App";

class RegistryWalkTest : public testing::Test {
protected:
    FakeRegistry reg;
    TextBuffer log;
    writer::RegistryTree tree;

    bool run(WalkMode mode) { return walkRegistryTree(reg, TextBuffer(tree.encode()), mode, &log); }
};

TEST_F(RegistryWalkTest, DeletesMarkedValuesAndKeysByFlags) {
    reg.add(kApp, {"Keep", "Drop"});
    reg.add(kApp + "\\Plain", {"v"});
    reg.add(kApp + "\\Busy\\Child");
    reg.add(kApp + "\\Quiet\\Child");
    reg.add(kApp + "\\IfEmpty\\Child");
    reg.add(kApp + "\\Tree\\A\\B", {"x"});
    tree.key(kApp, 0).value("Drop", 1).value("Keep", 0);
    tree.key(kApp + "\\Plain", record::kDeleteKey);
    tree.key(kApp + "\\Busy", record::kDeleteKey);
    tree.key(kApp + "\\Quiet", record::kDeleteKey | record::kQuietWithSubkeys);
    tree.key(kApp + "\\IfEmpty", record::kDeleteKey | record::kDeleteIfEmpty);
    tree.key(kApp + "\\Tree", record::kDeleteKey | record::kDeleteTree);
    ASSERT_TRUE(run(WalkMode::kDelete));
    EXPECT_EQ(reg.keys[kApp], (std::set<std::string>{"Keep"}));
    EXPECT_FALSE(reg.has(kApp + "\\Plain"));
    EXPECT_TRUE(reg.has(kApp + "\\Busy"));
    EXPECT_TRUE(reg.has(kApp + "\\Quiet"));
    EXPECT_TRUE(reg.has(kApp + "\\IfEmpty"));
    EXPECT_FALSE(reg.has(kApp + "\\Tree"));
    EXPECT_FALSE(reg.has(kApp + "\\Tree\\A\\B"));
    EXPECT_EQ(log.str(), "HKEY_LOCAL_MACHINE\\Software\\App\\Busy\r\n");
}

TEST_F(RegistryWalkTest, ParentFlaggedIfEmptyGoesAfterItsChildren) {
    reg.add(kApp + "\\Child", {"v"});
    tree.key(kApp, record::kDeleteKey | record::kDeleteIfEmpty);
    tree.key(kApp + "\\Child", record::kDeleteKey).value("v", 1);
    ASSERT_TRUE(run(WalkMode::kDelete));
    EXPECT_FALSE(reg.has(kApp));
    EXPECT_TRUE(reg.has("HKEY_LOCAL_MACHINE\\Software"));
}

TEST_F(RegistryWalkTest, ReportsFailedDeletionOnceWhateverTheCase) {
    reg.add(kApp);
    reg.add("HKEY_CURRENT_USER\\Software\\App");
    reg.undeletable = {kApp};
    tree.key(kApp, record::kDeleteKey);
    log.assign("hkey_local_machine\\software\\app\r\n");
    ASSERT_TRUE(run(WalkMode::kDelete));
    EXPECT_EQ(log.str(), "hkey_local_machine\\software\\app\r\n");
}

TEST_F(RegistryWalkTest, MissingKeysAreParsedNotTouched) {
    reg.add("HKEY_USERS\\S\\T");
    tree.key("HKEY_CLASSES_ROOT\\Gone\\Deeper", record::kDeleteKey).value("x", 1);
    tree.key("HKEY_USERS\\S\\T", record::kDeleteKey);
    ASSERT_TRUE(run(WalkMode::kDelete));
    EXPECT_FALSE(reg.has("HKEY_USERS\\S\\T"));
    EXPECT_TRUE(log.empty());
}

TEST_F(RegistryWalkTest, CheckFailsOnDeniedKeyWithListedValuesAndChangesNothing) {
    reg.add(kApp, {"v"});
    reg.denied = {kApp};
    tree.key(kApp, record::kDeleteKey).value("v", 1);
    EXPECT_FALSE(run(WalkMode::kCheck));
    EXPECT_TRUE(reg.has(kApp));
    EXPECT_EQ(reg.keys[kApp].size(), 1u);
}

TEST_F(RegistryWalkTest, CheckAcceptsReadOnlyKeyWithoutListedValues) {
    reg.add(kApp + "\\Sub");
    reg.denied = {kApp};
    tree.key(kApp + "\\Sub", record::kDeleteKey);
    EXPECT_TRUE(run(WalkMode::kCheck));
    reg.noAccess = {kApp};
    EXPECT_FALSE(run(WalkMode::kCheck));
}

TEST_F(RegistryWalkTest, DeniedLevelStillLeavesPositionAfterWholeTree) {
    reg.add(kApp + "\\Locked", {"v"});
    reg.add(kApp + "\\Sibling");
    reg.add("HKEY_USERS\\Later");
    reg.denied = {kApp + "\\Locked"};
    tree.key(kApp + "\\Locked", record::kDeleteKey).value("v", 1);
    tree.key(kApp + "\\Sibling", record::kDeleteKey);
    tree.key("HKEY_USERS\\Later", record::kDeleteKey);
    ASSERT_TRUE(run(WalkMode::kDelete));
    EXPECT_TRUE(reg.has(kApp + "\\Locked"));
    EXPECT_FALSE(reg.has("HKEY_USERS\\Later"));
}

TEST_F(RegistryWalkTest, TreeEndingEarlyStopsCleanly) {
    reg.add(kApp);
    tree.key(kApp, record::kDeleteKey);
    const std::string full = tree.encode();
    // The last eight bytes are the empty HKEY_USERS node; any cut before them leaves the key's node incomplete.
    for (size_t cut = 0; cut + 8 < full.size(); ++cut) {
        FakeRegistry fresh;
        fresh.add(kApp);
        TextBuffer cutLog;
        walkRegistryTree(fresh, TextBuffer(full.substr(0, cut)), WalkMode::kDelete, &cutLog);
        EXPECT_TRUE(fresh.has(kApp)) << "cut at " << cut;
    }
}

}  // namespace

namespace {

TEST(RegistryWalkDepth, AbsurdlyDeepTreeStopsWithoutTouchingAnything) {
    std::string tree;
    const int depth = 100000;
    for (int i = 0; i < depth; ++i) tree += std::string("\0\0\0\0\0\0\0\1\0\0\0\1k\0", 14);
    FakeRegistry reg;
    reg.add("HKEY_CLASSES_ROOT\\k");
    TextBuffer log;
    walkRegistryTree(reg, TextBuffer(tree), WalkMode::kDelete, &log);
    EXPECT_TRUE(reg.has("HKEY_CLASSES_ROOT\\k"));
}

}  // namespace
