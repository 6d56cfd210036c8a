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
    std::map<std::string, std::string> links;  // link key -> the key it leads to
    int openHandles = 0;                        // opened and not yet closed

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
    Open openForChange(Key parent, const std::string& name, Key& out, bool asLink) override {
        const std::string path = resolve(pathOf(parent) + "\\" + name, asLink);
        if (!has(path)) return Open::kMissing;
        if (denied.count(path) || noAccess.count(path)) return Open::kDenied;
        out = handle(path);
        ++openHandles;
        return Open::kOk;
    }
    Open openReadOnly(Key parent, const std::string& name, Key& out, bool asLink) override {
        const std::string path = resolve(pathOf(parent) + "\\" + name, asLink);
        if (!has(path)) return Open::kMissing;
        if (noAccess.count(path)) return Open::kDenied;
        out = handle(path);
        ++openHandles;
        return Open::kOk;
    }
    void close(Key) override { --openHandles; }
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
    std::string resolve(const std::string& path, bool asLink) const {
        const auto link = links.find(path);
        return asLink || link == links.end() ? path : link->second;
    }
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

    bool run(WalkMode mode) {
        const bool ok = walkRegistryTree(reg, TextBuffer(tree.encode()), mode, &log);
        EXPECT_EQ(reg.openHandles, 0) << "every key opened is closed";
        return ok;
    }
};

TEST_F(RegistryWalkTest, DeletesMarkedValuesAndKeysByFlags) {
    reg.add(kApp, {"Keep", "Drop"});
    reg.add(kApp + "\\Plain", {"v"});
    reg.add(kApp + "\\Busy\\Child");
    reg.add(kApp + "\\Quiet\\Child");
    reg.add(kApp + "\\IfEmpty\\Child");
    reg.add(kApp + "\\IfValues", {"v"});
    reg.add(kApp + "\\Tree\\A\\B", {"x"});
    tree.key(kApp, 0).value("Drop", 1).value("Keep", 0);
    tree.key(kApp + "\\Plain", record::kDeleteKey);
    reg.add(kApp + "\\Kept");
    tree.key(kApp + "\\Kept", 0);  // walked and left: its name is no part of the next one's path
    tree.key(kApp + "\\Busy", record::kDeleteKey);
    tree.key(kApp + "\\Quiet", record::kDeleteKey | record::kQuietWithSubkeys);
    tree.key(kApp + "\\IfEmpty", record::kDeleteKey | record::kDeleteIfEmpty);
    tree.key(kApp + "\\IfValues", record::kDeleteKey | record::kDeleteIfEmpty);
    tree.key(kApp + "\\Tree", record::kDeleteKey | record::kDeleteTree);
    ASSERT_TRUE(run(WalkMode::kDelete));
    EXPECT_EQ(reg.keys[kApp], (std::set<std::string>{"Keep"}));
    EXPECT_FALSE(reg.has(kApp + "\\Plain"));
    EXPECT_TRUE(reg.has(kApp + "\\Busy"));
    EXPECT_TRUE(reg.has(kApp + "\\Quiet"));
    EXPECT_TRUE(reg.has(kApp + "\\IfEmpty"));
    EXPECT_TRUE(reg.has(kApp + "\\IfValues")) << "values alone keep a key flagged to go only when empty";
    EXPECT_FALSE(reg.has(kApp + "\\Tree"));
    EXPECT_FALSE(reg.has(kApp + "\\Tree\\A\\B"));
    EXPECT_EQ(log.str(), "HKEY_LOCAL_MACHINE\\Software\\App\\Busy\r\n");
}

// A link along a path is followed, as the system's own links (such as CurrentControlSet) must
// be; a link that is itself to be deleted goes as the link, and its target stays.
TEST_F(RegistryWalkTest, LinksAlongAPathAreFollowedLinksBeingDeletedAreNot) {
    const std::string target = "HKEY_LOCAL_MACHINE\\System\\Set1";
    reg.add(target + "\\Services\\App", {"v"});
    reg.add(target + "\\Other", {"keep"});
    reg.add("HKEY_LOCAL_MACHINE\\System\\Current");
    reg.add("HKEY_LOCAL_MACHINE\\System\\Doomed");
    reg.links = {{"HKEY_LOCAL_MACHINE\\System\\Current", target}, {"HKEY_LOCAL_MACHINE\\System\\Doomed", target}};
    tree.key("HKEY_LOCAL_MACHINE\\System\\Current\\Services\\App", record::kDeleteKey);
    tree.key("HKEY_LOCAL_MACHINE\\System\\Doomed", record::kDeleteKey | record::kDeleteTree);
    ASSERT_TRUE(run(WalkMode::kCheck));
    ASSERT_TRUE(run(WalkMode::kDelete));
    EXPECT_FALSE(reg.has(target + "\\Services\\App"));
    EXPECT_TRUE(reg.has(target + "\\Other"));
    EXPECT_FALSE(reg.has("HKEY_LOCAL_MACHINE\\System\\Doomed"));
    EXPECT_TRUE(log.empty()) << log.str();
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
    reg.add("HKEY_CLASSES_ROOT\\Stays");
    reg.undeletable = {"HKEY_CLASSES_ROOT\\Stays"};
    tree.key("HKEY_CLASSES_ROOT\\Gone\\Deeper", record::kDeleteKey).value("x", 1);
    tree.key("HKEY_CLASSES_ROOT\\Stays", record::kDeleteKey);
    tree.key("HKEY_USERS\\S\\T", record::kDeleteKey);
    tree.key("", record::kDeleteKey);  // no root: nothing is added
    ASSERT_TRUE(run(WalkMode::kCheck)) << "a missing key is no failure";
    ASSERT_TRUE(run(WalkMode::kDelete));
    EXPECT_FALSE(reg.has("HKEY_USERS\\S\\T"));
    EXPECT_EQ(log.str(), "HKEY_CLASSES_ROOT\\Stays\r\n") << "a missing sibling before leaves no trace in the path";
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
    reg.add(kApp + "\\Tight", {"w"});
    reg.add("HKEY_USERS\\Later");
    reg.denied = {kApp + "\\Locked", kApp + "\\Tight"};
    tree.key(kApp + "\\Locked", record::kDeleteKey).value("v", 1);
    tree.key(kApp + "\\Sibling", record::kDeleteKey);
    tree.key(kApp + "\\Tight", record::kDeleteKey).value("w", 1);
    tree.key("HKEY_USERS\\Later", record::kDeleteKey);
    run(WalkMode::kDelete);
    EXPECT_TRUE(reg.has(kApp + "\\Locked"));
    EXPECT_FALSE(reg.has(kApp + "\\Sibling")) << "siblings after a denied key are still removed";
    EXPECT_FALSE(reg.has("HKEY_USERS\\Later"));
    EXPECT_EQ(log.str(), "HKEY_LOCAL_MACHINE\\Software\\App\\Locked\r\nHKEY_LOCAL_MACHINE\\Software\\App\\Tight\r\n");
}

TEST_F(RegistryWalkTest, TreeAssembledByHandFromTheLayout) {
    // HKCU: key S (flags 0) lists value v (action 1) and subkey T (flags 0x5: delete with
    // everything below); the other three roots are empty nodes.
    const std::string z4("\0\0\0\0", 4), one("\0\0\0\1", 4), five("\0\0\0\5", 4);
    const std::string bytes = z4 + z4 +                                    // HKEY_CLASSES_ROOT
                              z4 + one + z4 + std::string("S\0", 2) +       // HKEY_CURRENT_USER, subkey S
                              one + std::string("v\0", 2) + one +           //   value v, delete
                              one + five + std::string("T\0", 2) + z4 + z4 +  //   subkey T, flags 0x5
                              z4 + z4 + z4 + z4;                           // HKEY_LOCAL_MACHINE, HKEY_USERS
    reg.add("HKEY_CURRENT_USER\\S", {"v", "w"});
    reg.add("HKEY_CURRENT_USER\\S\\T\\U", {"x"});
    reg.add("HKEY_USERS\\Other");
    EXPECT_TRUE(walkRegistryTree(reg, TextBuffer(bytes), WalkMode::kDelete, &log));
    EXPECT_EQ(reg.keys["HKEY_CURRENT_USER\\S"], (std::set<std::string>{"w"}));
    EXPECT_FALSE(reg.has("HKEY_CURRENT_USER\\S\\T") || reg.has("HKEY_CURRENT_USER\\S\\T\\U"));
    EXPECT_TRUE(reg.has("HKEY_USERS\\Other"));
    EXPECT_TRUE(log.empty());
}

TEST_F(RegistryWalkTest, TreeEndingEarlyStopsCleanly) {
    reg.add(kApp, {"v"});
    tree.key(kApp, record::kDeleteKey).value("v", 1);
    const std::string full = tree.encode();
    // The last eight bytes are the empty HKEY_USERS node; any cut before them leaves the key's node incomplete.
    for (size_t cut = 0; cut + 8 < full.size(); ++cut) {
        FakeRegistry fresh;
        fresh.add(kApp, {"v"});
        TextBuffer cutLog;
        EXPECT_TRUE(walkRegistryTree(fresh, TextBuffer(full.substr(0, cut)), WalkMode::kCheck, nullptr)) << cut;
        walkRegistryTree(fresh, TextBuffer(full.substr(0, cut)), WalkMode::kDelete, &cutLog);
        EXPECT_TRUE(fresh.has(kApp)) << "cut at " << cut;
    }
    // A denied key whose node is cut right after its name lists no values: read-only will do.
    reg.denied = {kApp};
    const std::string afterName = full.substr(0, full.find(std::string("App\0", 4)) + 4);
    EXPECT_TRUE(walkRegistryTree(reg, TextBuffer(afterName), WalkMode::kCheck, nullptr));
}

}  // namespace

namespace {

// Windows keeps keys at most 512 levels deep, the root included: a deeper tree stops the walk,
// and nothing after it (here a key in a later root) is changed either.
TEST(RegistryWalkDepth, DeeperThanWindowsAllowsStopsTheWalk) {
    for (int levels : {512, 513}) {
        std::string tree("\0\0\0\0\0\0\0\1\0\0\0\1k\0", 14);  // HKCR: subkey k, flags 0x1
        for (int i = 2; i < levels; ++i) tree += std::string("\0\0\0\0\0\0\0\1\0\0\0\0k\0", 14);
        tree += std::string(8, '\0');                               // the innermost node
        tree += std::string(16, '\0');                              // HKCU, HKLM
        tree += std::string("\0\0\0\0\0\0\0\1\0\0\0\1Later\0", 18) + std::string(8, '\0');  // HKU: Later, 0x1
        FakeRegistry reg;
        reg.add("HKEY_CLASSES_ROOT\\k");
        reg.add("HKEY_USERS\\Later");
        TextBuffer log;
        EXPECT_TRUE(walkRegistryTree(reg, TextBuffer(tree), WalkMode::kCheck, nullptr)) << levels;
        walkRegistryTree(reg, TextBuffer(tree), WalkMode::kDelete, &log);
        EXPECT_EQ(reg.has("HKEY_CLASSES_ROOT\\k"), levels > 512) << levels;
        EXPECT_EQ(reg.has("HKEY_USERS\\Later"), levels > 512) << levels;
    }
}

// A link to an ancestor looks like an endless tree when followed; deletion stops at the cap.
TEST(RegistryWalkDepth, TreeDeletionOfAnEndlessTreeEnds) {
    class Endless : public FakeRegistry {
    public:
        int opens = 0;
        std::vector<std::string> subkeyNames(Key) override { return {"loop"}; }
        Open openForChange(Key parent, const std::string&, Key& out, bool) override {
            ++opens;
            out = parent;
            return Open::kOk;
        }
    } reg;
    deleteKeyTree(reg, reg.root(0));
    EXPECT_EQ(reg.opens, 512);  // one a level, from the key's own (0) to the last below the cap
}

}  // namespace
