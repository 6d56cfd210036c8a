#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <set>

#include "RecordFormat.h"
#include "Removal.h"

using namespace corvel;

namespace {

class FakeFs : public FileSystemSeam {
public:
    std::set<std::string> files;
    std::set<std::string> readOnly;
    std::map<std::string, uint32_t> failures;  // path -> error code of delete/remove
    std::map<std::string, std::pair<uint32_t, uint32_t>> times, versions;
    std::vector<std::string> copies, unregistered, restartMoves, copyFolders;
    std::set<std::string> untrustedLinks;       // plain junctions, leading elsewhere
    std::map<std::string, FolderFacts> links;   // other reparse points, as they are
    std::map<std::string, uint32_t> replaceErrors;  // target -> error of putting a copy in its place
    bool refuseRestartMoves = false;

    bool exists(const std::string& p) override { return files.count(p) != 0; }
    void clearReadOnly(const std::string& p) override { readOnly.erase(p); }
    uint32_t deleteFile(const std::string& p) override { return erase(p); }
    uint32_t removeDirectory(const std::string& p) override { return erase(p); }
    std::string copyInto(const std::string& from, const std::string& folder) override {
        if (!files.count(from)) return {};
        copyFolders.push_back(folder);
        const std::string copy = folder + (folder.back() == '\\' ? "~" : "\\~") + from;
        files.insert(copy);
        return copy;
    }
    uint32_t replace(const std::string& from, const std::string& to) override {
        if (replaceErrors.count(to)) return replaceErrors[to];
        files.erase(from);
        files.insert(to);
        copies.push_back(from + ">" + to);
        return 0;
    }
    bool moveAtRestart(const std::string& from, const std::string& to) override {
        if (refuseRestartMoves) return false;
        restartMoves.push_back(from + ">" + to);
        return true;
    }
    FolderFacts folderFacts(const std::string& folder) override {
        if (untrustedLinks.count(folder)) return FolderFacts{true, false, false, "D:\\Elsewhere"};
        return links.count(folder) ? links[folder] : FolderFacts();
    }
    KnownFolders knownFolders() override { return {"C:", "C:\\Users", "C:\\ProgramData", "C:\\Users\\Public"}; }
    bool lastWriteTime(const std::string& p, uint32_t& h, uint32_t& l) override {
        if (!times.count(p)) return false;
        std::tie(h, l) = times[p];
        return true;
    }
    bool fileVersion(const std::string& p, uint32_t& ms, uint32_t& ls) override {
        if (!versions.count(p)) return false;
        std::tie(ms, ls) = versions[p];
        return true;
    }
    void unregisterComServer(const std::string& p) override { unregistered.push_back(p); }

private:
    // Error codes are the system's numbers: 2 file not found, 3 path not found, 5 access denied,
    // 32 sharing violation, 33 lock violation.
    uint32_t erase(const std::string& p) {
        if (failures.count(p)) return failures[p];
        if (readOnly.count(p)) return 5;
        return files.erase(p) ? 0 : 2;
    }
};

class FakeCounts : public SharedCounts {
public:
    std::map<std::string, uint32_t> values;
    std::set<std::string> unreadable;  // there, but of another type or size
    Read read(const std::string& p, uint32_t& c) override {
        if (unreadable.count(p)) return Read::kUnreadable;
        if (!values.count(p)) return Read::kMissing;
        c = values[p];
        return Read::kCount;
    }
    void write(const std::string& p, uint32_t c) override { values[p] = c; }
    void remove(const std::string& p) override { values.erase(p); }
};

class ScriptedQuestion : public SharedFileQuestion {
public:
    std::vector<int> answers;
    std::vector<std::string> asked;
    int ask(const std::string& path) override {
        asked.push_back(path);
        if (answers.empty()) return 0;
        const int a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
};

class SharedStage : public testing::Test {
protected:
    FakeFs fs;
    FakeCounts counts;
    ScriptedQuestion question;
    void SetUp() override {
        for (const char* f : {"a.dll", "b.dll", "c.dll", "d.ocx"}) fs.files.insert(f);
    }
    RemovalLogs logs;
    void run(const char* section, bool silent = false, ProgressJournal* journal = nullptr) {
        removeSharedFiles(TextBuffer(section), &counts, fs, &question, silent, logs, journal);
    }
};

TEST_F(SharedStage, LowersCountsAboveOneAndAsksAtLastReference) {
    counts.values = {{"a.dll", 3}, {"b.dll", 1}};
    question.answers = {shared::kNo};
    run("a.dll\r\nb.dll\r\n");
    EXPECT_EQ(counts.values["a.dll"], 2u);
    EXPECT_EQ(counts.values["b.dll"], 0u);
    EXPECT_EQ(question.asked, std::vector<std::string>{"b.dll"});
    EXPECT_TRUE(fs.files.count("b.dll"));
}

TEST_F(SharedStage, FileListedTwiceIsAskedOnce) {
    counts.values = {{"a.dll", 1}};
    question.answers = {shared::kYes};
    run("a.dll\r\na.dll\r\n");
    EXPECT_EQ(question.asked.size(), 1u);
    EXPECT_FALSE(fs.files.count("a.dll"));
    EXPECT_FALSE(counts.values.count("a.dll"));
}

// Each file's own answer stands for its later lines, whatever the other files were answered.
TEST_F(SharedStage, EachFilesAnswerIsKeptForItsLaterLines) {
    counts.values = {{"a.dll", 1}, {"b.dll", 1}, {"c.dll", 1}};
    question.answers = {shared::kYes, shared::kNo, shared::kNo};
    run("a.dll\r\nb.dll\r\nc.dll\r\nb.dll\r\na.dll\r\nc.dll\r\n");
    EXPECT_EQ(question.asked, (std::vector<std::string>{"a.dll", "b.dll", "c.dll"}));
    EXPECT_FALSE(fs.files.count("a.dll"));
    EXPECT_TRUE(fs.files.count("b.dll") && fs.files.count("c.dll"));
}

TEST_F(SharedStage, YesToAllAndNoToAllCoverTheRest) {
    question.answers = {shared::kYesToAll};
    run("a.dll\r\nb.dll\r\n");
    EXPECT_EQ(question.asked.size(), 1u);
    EXPECT_FALSE(fs.files.count("a.dll") || fs.files.count("b.dll"));

    question.asked.clear();
    question.answers = {shared::kNoToAll};
    run("c.dll\r\nd.ocx\r\n");
    EXPECT_EQ(question.asked.size(), 1u);
    EXPECT_TRUE(fs.files.count("c.dll") && fs.files.count("d.ocx"));
    EXPECT_EQ(counts.values["d.ocx"], 0u);
}

TEST_F(SharedStage, ControlFileGoesWithoutQuestionAndIsUnregistered) {
    fs.readOnly.insert("d.ocx");
    run("d.ocx|ctrl\r\n");
    EXPECT_TRUE(question.asked.empty());
    EXPECT_EQ(fs.unregistered, std::vector<std::string>{"d.ocx"});
    EXPECT_FALSE(fs.files.count("d.ocx"));
}

TEST_F(SharedStage, SilentRemovesAndDialogFailureMeansNo) {
    run("a.dll|other\r\n", true);
    EXPECT_TRUE(question.asked.empty());
    EXPECT_FALSE(fs.files.count("a.dll"));
    EXPECT_TRUE(fs.unregistered.empty());
    run("b.dll\r\nb.dll\r\n");
    EXPECT_TRUE(fs.files.count("b.dll")) << "only an explicit Yes is consent";
    EXPECT_EQ(counts.values["b.dll"], 0u);
    EXPECT_EQ(question.asked.size(), 1u);
}

// One shared line in a silent run, by what its count and its file do.
TEST_F(SharedStage, EachCountAndDeletionOutcome) {
    struct Row {
        const char* name;
        bool hasCount;
        uint32_t count;
        bool unreadable;
        uint32_t deleteError;
        bool fileStays;
        long long countAfter;  // -1: value removed
        const char* filesLog;
        const char* inUse;
    };
    const Row rows[] = {
        {"two", true, 2, false, 0, true, 1, "", ""},
        {"one", true, 1, false, 0, false, -1, "", ""},
        {"zero", true, 0, false, 0, false, -1, "", ""},
        {"missing", false, 0, false, 0, false, -1, "", ""},
        {"wrong type", true, 7, true, 0, true, 7, "x.dll\r\n", ""},
        {"in use", true, 1, false, 32, true, -1, "x.dll\r\n", "x.dll\r\n"},
        {"denied", true, 1, false, 5, true, -1, "x.dll\r\n", "x.dll\r\n"},
        {"locked", true, 1, false, 33, true, -1, "x.dll\r\n", ""},
        {"other failure", true, 1, false, 1392, true, -1, "x.dll\r\n", ""},
        {"already gone", true, 1, false, 2, true, -1, "", ""},
        {"folder gone", true, 1, false, 3, true, -1, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeFs files;
        FakeCounts values;
        files.files = {"x.dll"};
        if (row.deleteError) files.failures = {{"x.dll", row.deleteError}};
        if (row.hasCount) values.values = {{"x.dll", row.count}};
        if (row.unreadable) values.unreadable = {"x.dll"};
        RemovalLogs out;
        EXPECT_TRUE(removeSharedFiles(TextBuffer("x.dll\r\n"), &values, files, nullptr, true, out));
        EXPECT_EQ(files.files.count("x.dll") != 0, row.fileStays);
        EXPECT_EQ(values.values.count("x.dll") ? static_cast<long long>(values.values["x.dll"]) : -1, row.countAfter);
        EXPECT_EQ(out.files.str(), row.filesLog);
        EXPECT_EQ(out.inUse.str(), row.inUse);
    }
}

TEST_F(SharedStage, FileBehindAnUntrustedLinkIsKeptAndListed) {
    fs.files.insert("C:\\Shared\\x.dll");
    fs.untrustedLinks = {"C:\\Shared"};
    counts.values = {{"C:\\Shared\\x.dll", 1}};
    run("C:\\Shared\\x.dll|CTRL\r\n", true);
    EXPECT_TRUE(fs.files.count("C:\\Shared\\x.dll"));
    EXPECT_TRUE(fs.unregistered.empty()) << "nothing is loaded from behind the link";
    EXPECT_EQ(counts.values["C:\\Shared\\x.dll"], 0u);
    EXPECT_EQ(logs.files.str(), "C:\\Shared\\x.dll\r\n");
}

TEST_F(SharedStage, NoKeyMeansNothingHappens) {
    removeSharedFiles(TextBuffer("a.dll\r\n"), nullptr, fs, &question, true, logs);
    EXPECT_TRUE(fs.files.count("a.dll"));
}

class RecordingStore : public JournalStore {
public:
    std::vector<JournalState> saved;
    std::function<void(const JournalState&)> onSave;
    size_t failFrom = SIZE_MAX;  // saves from this one on are refused
    size_t attempts = 0;
    bool save(const JournalState& state) override {
        if (attempts++ >= failFrom) return false;
        if (onSave) onSave(state);
        saved.push_back(state);
        return true;
    }
};

// Nothing to do is success; so is a stage the journal has done, which changes nothing; a line
// that names no file (a marker alone) is passed over.
TEST_F(SharedStage, NothingToDoAndAStageDoneAreSuccess) {
    RemovalLogs none;
    EXPECT_TRUE(removeSharedFiles(TextBuffer(), nullptr, fs, &question, false, none, nullptr));
    RecordingStore store;
    ProgressJournal done(store, JournalState{0, journal::kShared});
    counts.values = {{"a.dll", 3}};
    EXPECT_TRUE(removeSharedFiles(TextBuffer("a.dll\r\n"), &counts, fs, &question, false, none, &done));
    EXPECT_EQ(counts.values["a.dll"], 3u);
    run("|CTRL\r\n");
    EXPECT_TRUE(question.asked.empty());
    EXPECT_TRUE(fs.unregistered.empty());
    EXPECT_EQ(counts.values.size(), 1u);
}

TEST_F(SharedStage, JournalThatCannotBeWrittenStopsTheLowering) {
    struct Row {
        size_t failFrom;
        std::map<std::string, uint32_t> counts;  // after the run
        std::set<std::string> files;
        const char* logged;
    };
    const Row rows[] = {
        {0, {{"a.dll", 3}, {"b.dll", 1}, {"c.dll", 3}}, {"a.dll", "b.dll", "c.dll", "d.ocx"},
         "a.dll\r\nb.dll\r\nc.dll\r\n"},
        {1, {{"a.dll", 2}, {"b.dll", 1}, {"c.dll", 3}}, {"a.dll", "b.dll", "c.dll", "d.ocx"}, "b.dll\r\nc.dll\r\n"},
        {2, {{"a.dll", 2}, {"c.dll", 3}}, {"a.dll", "c.dll", "d.ocx"}, "c.dll\r\n"},
        // Every line done; only the stage's own mark is refused.
        {3, {{"a.dll", 2}, {"c.dll", 2}}, {"a.dll", "c.dll", "d.ocx"}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.failFrom);
        SetUp();
        counts.values = {{"a.dll", 3}, {"b.dll", 1}, {"c.dll", 3}};
        logs = RemovalLogs();
        RecordingStore store;
        store.failFrom = row.failFrom;
        ProgressJournal journal(store, JournalState{});
        EXPECT_FALSE(removeSharedFiles(TextBuffer("a.dll\r\nb.dll|CTRL\r\nc.dll\r\n"), &counts, fs, &question, true,
                                       logs, &journal));
        EXPECT_EQ(counts.values, row.counts);
        EXPECT_EQ(fs.files, row.files);
        EXPECT_EQ(logs.files.str(), row.logged);
        EXPECT_FALSE(journal.stageDone(journal::kShared));
        EXPECT_EQ(journal.state().sharedDone, std::min<size_t>(row.failFrom, 3));
    }
}

TEST_F(SharedStage, StageWithoutItsKeyIsNotMarkedDone) {
    RecordingStore store;
    ProgressJournal journal(store, JournalState{});
    EXPECT_FALSE(removeSharedFiles(TextBuffer("a.dll\r\n"), nullptr, fs, &question, true, logs, &journal));
    EXPECT_FALSE(journal.stageDone(journal::kShared));
    EXPECT_TRUE(store.saved.empty());
}

TEST_F(SharedStage, JournalLowersEachCountOnceAcrossRuns) {
    counts.values = {{"a.dll", 5}, {"b.dll", 5}, {"c.dll", 5}};
    RecordingStore store;
    // A run that was cut off after its first entry: only the other two are lowered now.
    ProgressJournal resumed(store, JournalState{1, 0});
    store.onSave = [&](const JournalState& state) {
        if (state.sharedDone == 3 && !state.stages) {
            EXPECT_EQ(counts.values["c.dll"], 5u) << "recorded before the count changes";
        }
    };
    run("a.dll\r\nb.dll\r\nc.dll\r\n", true, &resumed);
    store.onSave = nullptr;
    EXPECT_EQ(counts.values, (std::map<std::string, uint32_t>{{"a.dll", 5}, {"b.dll", 4}, {"c.dll", 4}}));
    ASSERT_FALSE(store.saved.empty());
    EXPECT_EQ(store.saved.back().sharedDone, 3u);
    EXPECT_TRUE(store.saved.back().stages & journal::kShared);

    // A repeat of the finished stage (for instance after "/NOREMOVE") lowers nothing.
    ProgressJournal repeat(store, store.saved.back());
    run("a.dll\r\nb.dll\r\nc.dll\r\n", true, &repeat);
    EXPECT_EQ(counts.values["b.dll"], 4u);
    EXPECT_EQ(counts.values["c.dll"], 4u);
}

// The stage bits as journals already written hold them, and the shared-file dialog's answers as
// its buttons return them.
TEST(JournalMarks, StageBitsAndAnswersAsStored) {
    const std::pair<uint32_t, uint32_t> numbers[] = {
        {journal::kShared, 0x1},  {journal::kBackups, 0x2},  {journal::kFiles, 0x4},     {journal::kDirectories, 0x8},
        {journal::kRegistry, 0x10}, {journal::kComplete, 0x80}, {uint32_t(shared::kYes), 1005}, {uint32_t(shared::kNo), 1006},
        {uint32_t(shared::kYesToAll), 1007}, {uint32_t(shared::kNoToAll), 1008},
    };
    for (const auto& [constant, stored] : numbers) EXPECT_EQ(constant, stored);
    // Anything left behind, in any of the three logs, is something not removed.
    for (int which = 0; which < 4; ++which) {
        RemovalLogs logs;
        if (which == 1) logs.files.assign("a");
        if (which == 2) logs.directories.assign("b");
        if (which == 3) logs.keys.assign("c");
        EXPECT_EQ(logs.anyNotRemoved(), which != 0) << which;
    }
}

// A stage or a shared line marked twice is saved once, and both marks succeed.
TEST(JournalMarks, MarkedTwiceIsSavedOnce) {
    RecordingStore store;
    ProgressJournal journal(store, JournalState{});
    EXPECT_TRUE(journal.markStage(journal::kFiles));
    EXPECT_TRUE(journal.markShared(0));
    EXPECT_EQ(store.saved.size(), 2u);
    EXPECT_TRUE(journal.markStage(journal::kFiles));
    EXPECT_TRUE(journal.markShared(0));
    EXPECT_EQ(store.saved.size(), 2u);
}

TEST(JournalNameTest, RecordHashAndFileIdentity) {
    // FNV-1a 64 of "a" is af63dc4c8601ec8c (the published test vector).
    EXPECT_EQ(journalName(hashBytes("a"), 0x1234ABCD, 0x0001000000000042ull, 0x01D9000000000007ull),
              "AF63DC4C8601EC8C-1234ABCD-0001000000000042-01D9000000000007");
}

TEST(JournalPruning, OnlyEntriesWhoseFileIsKnownGoneGo) {
    struct Lookup : JournalFileLookup {
        std::map<uint64_t, FileLookup> byIndex;  // by file index; anything else is present
        FileLookup find(const JournalIdentity& id) override {
            return byIndex.count(id.fileIndex) ? byIndex[id.fileIndex] : FileLookup::kPresent;
        }
    } files;
    files.byIndex = {{1, FileLookup::kGone}, {2, FileLookup::kUnknown}, {4, FileLookup::kGone}};
    const std::string gone = "AF63DC4C8601EC8C-1234ABCD-0000000000000001-01D9000000000007";
    const std::string doubtful = "AF63DC4C8601EC8C-1234ABCD-0000000000000002-01D9000000000007";
    const std::string present = "AF63DC4C8601EC8C-1234ABCD-0000000000000003-01D9000000000007";
    const std::string own = "0000000000000001-1234ABCD-0000000000000004-01D9000000000007";
    const std::string foreign = "AF63DC4C8601EC8C-1234ABCD-0000000000000001";
    EXPECT_EQ(prunableJournalEntries({gone, doubtful, present, own, foreign}, own, files), std::vector<std::string>{gone});

    uint64_t hash = 0;
    JournalIdentity id;
    ASSERT_TRUE(parseJournalName(gone, hash, id));
    EXPECT_EQ(hash, 0xAF63DC4C8601EC8Cull);
    EXPECT_EQ(id.volumeSerial, 0x1234ABCDu);
    EXPECT_EQ(id.fileIndex, 1u);
    EXPECT_EQ(id.lastWrite, 0x01D9000000000007ull);
    EXPECT_FALSE(parseJournalName("AF63DC4C8601EC8C-1234ABCD-000000000000000G-01D9000000000007", hash, id));
    for (size_t dash : {16, 25, 42}) {
        std::string name = gone;
        name[dash] = '0';
        EXPECT_FALSE(parseJournalName(name, hash, id)) << name;
    }
}

// The folders a path is reached through: not the drive, the share or the long-path prefix, not
// the last part; a doubled separator adds no folder.
TEST(LinkCheck, FolderPartsOfEveryKindOfPath) {
    const std::pair<const char*, std::vector<std::string>> paths[] = {
        {"C:\\a\\b\\c.txt", {"C:\\a", "C:\\a\\b"}},
        {"C:/a/b", {"C:/a"}},
        {"\\\\?\\C:\\a\\b", {"\\\\?\\C:\\a"}},
        {"\\\\srv\\share\\d\\f", {"\\\\srv\\share\\d"}},
        {"//srv/share/d/f", {"//srv/share/d"}},
        {"\\\\srv", {}},
        {"C:\\a\\\\b\\c", {"C:\\a", "C:\\a\\\\b"}},
        {"a\\b", {"a"}},
        {"\\a\\b", {"\\a"}},
        {"C:", {}},
        {"C:x\\y", {"C:x"}},
    };
    for (const auto& [path, parts] : paths) EXPECT_EQ(folderParts(path), parts) << path;
}

TEST(LinkCheck, UntrustedReparsePointInAFolderPartStopsTheAction) {
    FakeFs fs;
    fs.files = {"C:\\App\\Data\\a.txt", "C:\\App\\Data", "C:\\Documents and Settings\\b.txt", "\\\\srv\\share\\c.txt"};
    // "C:" alone names the drive's current folder, which may lie behind a link: never a folder part.
    fs.untrustedLinks = {"C:\\App", "\\\\srv\\share", "\\\\?\\C:\\Long", "C:", "\\\\srv\\share\\dir"};
    fs.links = {{"C:\\Documents and Settings", FolderFacts{true, true, true, "\\??\\C:\\Users\\"}}};
    EXPECT_FALSE(safeToActOn("C:\\App\\Data\\a.txt", fs));
    EXPECT_TRUE(safeToActOn("C:\\App", fs)) << "a link itself is removed as a link";
    EXPECT_TRUE(safeToActOn("C:\\", fs)) << "a drive's root has no folder part";
    EXPECT_TRUE(safeToActOn("C:\\Documents and Settings\\b.txt", fs));
    EXPECT_TRUE(safeToActOn("\\\\srv\\share\\c.txt", fs)) << "a share's root is not a folder part";
    EXPECT_FALSE(safeToActOn("\\\\srv\\share\\dir\\c.txt", fs)) << "a folder on a share is";
    EXPECT_FALSE(safeToActOn("\\\\?\\C:\\Long\\x", fs));

    RemovalLogs logs;
    removeFiles(TextBuffer("C:\\App\\Data\\a.txt\r\nC:\\Documents and Settings\\b.txt\r\n"), fs, logs);
    removeDirectories(TextBuffer("C:\\App\\Data\r\n"), fs, logs);
    EXPECT_TRUE(fs.files.count("C:\\App\\Data\\a.txt") && fs.files.count("C:\\App\\Data"));
    EXPECT_FALSE(fs.files.count("C:\\Documents and Settings\\b.txt"));
    EXPECT_EQ(logs.files.str(), "C:\\App\\Data\\a.txt\r\n");
    EXPECT_EQ(logs.directories.str(), "C:\\App\\Data\r\n");
}

// Only the system's own compatibility junctions are acted through, known by what they are;
// an owner proves nothing (a user can turn an empty folder Administrators own into a mount point).
TEST(LinkCheck, CompatibilityJunctionsAreKnownByWhatTheyAre) {
    const KnownFolders known{"C:", "C:\\Users", "C:\\ProgramData", "C:\\Users\\Public"};
    struct Row {
        const char* link;
        bool hidden, system;
        const char* target;
        bool followed;
    };
    const Row rows[] = {
        {"C:\\Documents and Settings", true, true, "\\??\\C:\\Users", true},
        {"c:\\documents and settings", true, true, "C:\\USERS\\", true},
        {"C:\\Documents and Settings", false, true, "C:\\Users", false},
        {"C:\\Documents and Settings", true, false, "C:\\Users", false},
        {"C:\\Documents and Settings", true, true, "C:\\Windows", false},
        {"C:\\Documents and Settings", true, true, "", false},
        {"C:\\ProgramData\\Application Data", true, true, "C:\\ProgramData", true},
        {"C:\\ProgramData\\Desktop", true, true, "C:\\Users\\Public\\Desktop", true},
        {"C:\\ProgramData\\Desktop", true, true, "C:\\Windows\\System32", false},
        {"C:\\Users\\All Users", true, true, "C:\\ProgramData", true},
        {"C:\\Users\\Bob\\Application Data", true, true, "C:\\Users\\Bob\\AppData\\Roaming", true},
        {"C:\\Users\\Bob\\Application Data", true, true, "C:\\Users\\Eve\\AppData\\Roaming", false},
        {"C:\\Users\\Bob\\AppData\\Local\\Application Data", true, true, "C:\\Users\\Bob\\AppData\\Local", true},
        {"C:\\Users\\Bob\\SendTo", true, true, "C:\\Users\\Bob\\AppData\\Roaming\\Microsoft\\Windows\\SendTo", true},
        {"C:\\Users\\Bob\\SendTo", true, true, "C:\\Users\\Bob\\AppData\\Roaming\\Microsoft\\Windows\\SendT", false},
        {"C:\\Users\\Bob\\AppData\\Local\\History", true, true,
         "C:\\Users\\Bob\\AppData\\Local\\Microsoft\\Windows\\History", true},
        {"C:\\Users\\Bob\\AppData\\Local\\Histor", true, true,
         "C:\\Users\\Bob\\AppData\\Local\\Microsoft\\Windows\\History", false},
        // A setup folder under ProgramData made into a mount point by a user, hidden and system
        // as well: not one of the old names.
        {"C:\\ProgramData\\Vendor", true, true, "C:\\ProgramData", false},
        {"C:\\ProgramData\\Vendor", true, true, "C:\\Windows\\System32", false},
        {"C:\\Users\\Application Data", true, true, "C:\\Users\\AppData\\Roaming", false},
        {"C:\\Documents and Settings", true, true, "\\\\?\\C:\\Users", true},
        {"C:\\Users\\Default User", true, true, "C:\\Users\\Default", true},
        {"C:\\ProgramData\\Start Menu", true, true, "C:\\ProgramData\\Microsoft\\Windows\\Start Menu", true},
        {"C:\\ProgramData\\Templates", true, true, "C:\\ProgramData\\Microsoft\\Windows\\Templates", true},
        {"C:\\ProgramData\\Documents", true, true, "C:\\Users\\Public\\Documents", true},
        {"C:\\ProgramData\\Favorites", true, true, "C:\\Users\\Public\\Favorites", true},
        // An old name, but not inside the profiles folder, or in a profile without a name.
        {"D:\\Other\\Ann\\My Documents", true, true, "D:\\Other\\Ann\\Documents", false},
        {"C:\\Users\\\\My Documents", true, true, "C:\\Users\\\\Documents", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(compatibilityJunction(row.link, FolderFacts{true, row.hidden, row.system, row.target}, known), row.followed)
            << row.link << " -> " << row.target;
    }
    // Every old name inside a profile, and where it leads.
    const std::pair<const char*, const char*> inProfile[] = {
        {"C:\\Users\\Ann\\Local Settings", "C:\\Users\\Ann\\AppData\\Local"},
        {"C:\\Users\\Ann\\My Documents", "C:\\Users\\Ann\\Documents"},
        {"C:\\Users\\Ann\\Cookies", "C:\\Users\\Ann\\AppData\\Roaming\\Microsoft\\Windows\\Cookies"},
        {"C:\\Users\\Ann\\Cookies", "C:\\Users\\Ann\\AppData\\Local\\Microsoft\\Windows\\INetCookies"},
        {"C:\\Users\\Ann\\NetHood", "C:\\Users\\Ann\\AppData\\Roaming\\Microsoft\\Windows\\Network Shortcuts"},
        {"C:\\Users\\Ann\\PrintHood", "C:\\Users\\Ann\\AppData\\Roaming\\Microsoft\\Windows\\Printer Shortcuts"},
        {"C:\\Users\\Ann\\Recent", "C:\\Users\\Ann\\AppData\\Roaming\\Microsoft\\Windows\\Recent"},
        {"C:\\Users\\Ann\\Start Menu", "C:\\Users\\Ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
        {"C:\\Users\\Ann\\Templates", "C:\\Users\\Ann\\AppData\\Roaming\\Microsoft\\Windows\\Templates"},
        {"C:\\Users\\Ann\\AppData\\Local\\Temporary Internet Files", "C:\\Users\\Ann\\AppData\\Local\\Microsoft\\Windows\\Temporary Internet Files"},
        {"C:\\Users\\Ann\\AppData\\Local\\Temporary Internet Files", "C:\\Users\\Ann\\AppData\\Local\\Microsoft\\Windows\\INetCache"},
        {"C:\\Users\\Ann\\Documents\\My Music", "C:\\Users\\Ann\\Music"},
        {"C:\\Users\\Ann\\Documents\\My Pictures", "C:\\Users\\Ann\\Pictures"},
        {"C:\\Users\\Ann\\Documents\\My Videos", "C:\\Users\\Ann\\Videos"},
    };
    for (const auto& [link, target] : inProfile) {
        EXPECT_TRUE(compatibilityJunction(link, FolderFacts{true, true, true, target}, known)) << link << " -> " << target;
    }
    // Without a profiles folder, no junction is known by it.
    const KnownFolders noProfiles{"C:", "", "C:\\ProgramData", "C:\\Users\\Public"};
    EXPECT_FALSE(compatibilityJunction("\\All Users", FolderFacts{true, true, true, "C:\\ProgramData"}, noProfiles));
    EXPECT_FALSE(compatibilityJunction("C:\\Users\\Ann\\My Documents",
                                       FolderFacts{true, true, true, "C:\\Users\\Ann\\Documents"}, noProfiles));
    // Through the check of a whole path: a mount point in a folder part stops the action.
    FakeFs fs;
    fs.links = {{"C:\\ProgramData\\Vendor", FolderFacts{true, true, true, "C:\\Windows\\System32"}}};
    RemovalLogs logs;
    fs.files = {"C:\\ProgramData\\Vendor\\config.sys"};
    removeFiles(TextBuffer("C:\\ProgramData\\Vendor\\config.sys\r\n"), fs, logs);
    EXPECT_TRUE(fs.files.count("C:\\ProgramData\\Vendor\\config.sys"));
    EXPECT_EQ(logs.files.str(), "C:\\ProgramData\\Vendor\\config.sys\r\n");
}

TEST(BackupLineTest, FieldsWrapAround) {
    BackupLine line;
    ASSERT_TRUE(parseBackupLine(TextBuffer("b\tt\t-1\t4294967295\t65536\t7"), line));
    EXPECT_EQ(line.versionMs, 0xFFFFFFFFu);
    EXPECT_EQ(line.versionLs, 0xFFFFFFFFu);
    EXPECT_EQ(line.timeHigh, 65536u);
    EXPECT_EQ(line.timeLow, 7u);
    EXPECT_EQ(parseWrappedDecimal("4294967296"), 0u);
    // Leading blanks and a sign; digits up to the first that is none (zeros are digits).
    const std::pair<const char*, uint32_t> texts[] = {{" 10", 10u}, {"+20x", 20u}, {"7x3", 7u}, {"-0", 0u}, {"", 0u}};
    for (const auto& [text, value] : texts) EXPECT_EQ(parseWrappedDecimal(text), value) << text;
}

TEST(BackupStage, RestoresOnlyUnchangedOrMissingTargets) {
    FakeFs fs;
    fs.files = {"b1", "b2", "b3", "b4"};
    fs.times = {{"C:\\t1", {1, 2}}, {"t2", {1, 3}}, {"t4", {1, 2}}};
    fs.versions = {{"C:\\t1", {5, 6}}, {"t2", {5, 6}}, {"t4", {5, 7}}};
    RemovalLogs logs;
    processBackups(TextBuffer("b1\tC:\\t1\t5\t6\t1\t2\r\nb2\tt2\t5\t6\t1\t2\r\nb3\tC:\\d\\t3\t0\t0\t0\t0\r\n"
                              "b4\tt4\t5\t6\t1\t2\r\nx\r\n"),
                   fs, true, logs);
    EXPECT_EQ(fs.copies, (std::vector<std::string>{"C:\\~b1>C:\\t1", "C:\\d\\~b3>C:\\d\\t3"}));
    EXPECT_EQ(fs.copyFolders, (std::vector<std::string>{"C:\\", "C:\\d"})) << "a drive's root, not its current folder";
    EXPECT_EQ(fs.files, (std::set<std::string>{"C:\\t1", "C:\\d\\t3"}));
    EXPECT_TRUE(logs.files.empty());
}

TEST(BackupStage, LockedTargetNeverLosesItsBackup) {
    FakeFs fs;
    fs.files = {"b1", "b2", "b3", "b4", "b5"};
    fs.replaceErrors = {{"C:\\t1", 32}, {"C:\\t2", 1392}, {"C:\\t4", 33}, {"C:\\t5", 5}};
    RemovalLogs logs;
    processBackups(TextBuffer("b1\tC:\\t1\t0\t0\t0\t0\r\nb2\tC:\\t2\t0\t0\t0\t0\r\nb3\tC:\\t3\t0\t0\t0\t0\r\n"
                              "b4\tC:\\t4\t0\t0\t0\t0\r\nb5\tC:\\t5\t0\t0\t0\t0\r\n"),
                   fs, true, logs);
    // In use (shared, locked or denied): the backup itself moves over the target at the next
    // restart; nothing is deleted then, so a failed move leaves the backup. The copy goes now.
    EXPECT_EQ(fs.restartMoves, (std::vector<std::string>{"b1>C:\\t1", "b4>C:\\t4", "b5>C:\\t5"}));
    EXPECT_TRUE(logs.replacementScheduled);
    // Cannot be replaced at all: the backup stays, the copy goes, the target is reported with it.
    EXPECT_EQ(fs.files, (std::set<std::string>{"b1", "b2", "C:\\t3", "b4", "b5"}));
    EXPECT_EQ(logs.files.str(), "C:\\t2 <- b2\r\n");

    FakeFs refused;
    refused.files = {"b1", "C:\\Link\\b2", "b3"};
    refused.replaceErrors = {{"C:\\t1", 32}};
    refused.refuseRestartMoves = true;
    refused.untrustedLinks = {"C:\\Link"};
    RemovalLogs refusedLogs;
    // The second backup lies behind a link, the third one's target too: neither the backup
    // nor its target is touched.
    processBackups(TextBuffer("b1\tC:\\t1\t0\t0\t0\t0\r\nC:\\Link\\b2\tC:\\t2\t0\t0\t0\t0\r\n"
                              "b3\tC:\\Link\\t3\t0\t0\t0\t0\r\n"),
                   refused, true, refusedLogs);
    EXPECT_EQ(refused.files, (std::set<std::string>{"b1", "C:\\Link\\b2", "b3"}));
    EXPECT_EQ(refusedLogs.files.str(), "C:\\t1 <- b1\r\nC:\\t2 <- C:\\Link\\b2\r\nC:\\Link\\t3 <- b3\r\n");
    EXPECT_FALSE(refusedLogs.replacementScheduled);
    EXPECT_TRUE(refused.copies.empty());
}

// A target with its recorded time but no version resource is unchanged when no version was
// recorded; a backup that cannot be copied stays and is reported beside its target; a section of
// one 3-byte line is one backup; in delete mode a backup behind a link is reported alone.
TEST(BackupStage, VersionlessTargetsMissingBackupsAndShortSections) {
    FakeFs fs;
    fs.files = {"b5", "abc", "C:\\Link\\b7"};
    fs.times = {{"C:\\t5", {1, 2}}};
    fs.untrustedLinks = {"C:\\Link"};
    RemovalLogs logs;
    processBackups(TextBuffer("b5\tC:\\t5\t0\t0\t1\t2\r\nb6\tC:\\t6\t0\t0\t0\t0\r\n"), fs, true, logs);
    EXPECT_EQ(fs.copies, std::vector<std::string>{"C:\\~b5>C:\\t5"});
    EXPECT_EQ(logs.files.str(), "C:\\t6 <- b6\r\n");
    processBackups(TextBuffer("abc"), fs, false, logs);
    EXPECT_FALSE(fs.files.count("abc"));
    RemovalLogs deleting;
    processBackups(TextBuffer("C:\\Link\\b7\tC:\\t7\t0\t0\t0\t0\r\n"), fs, false, deleting);
    EXPECT_EQ(deleting.files.str(), "C:\\Link\\b7\r\n");
    EXPECT_TRUE(fs.files.count("C:\\Link\\b7"));
    BackupLine two;
    ASSERT_TRUE(parseBackupLine(TextBuffer("b\tt"), two));
    EXPECT_EQ(two.target, "t");
    EXPECT_EQ(two.timeLow, 0u);
}

TEST(BackupStage, DeleteModeNeverCopies) {
    FakeFs fs;
    fs.files = {"b1"};
    fs.readOnly = {"b1"};
    RemovalLogs logs;
    processBackups(TextBuffer("b1\tt1\t0\t0\t0\t0\r\n"), fs, false, logs);
    EXPECT_TRUE(fs.copies.empty());
    EXPECT_TRUE(fs.files.empty());
}

TEST(FileStage, LogsFailuresAndListsFilesInUse) {
    FakeFs fs;
    fs.files = {"C:\\a\\ro.txt", "C:\\a\\locked.dll", "C:\\a\\odd.txt"};
    fs.readOnly = {"C:\\a\\ro.txt"};
    fs.failures = {{"C:\\a\\locked.dll", 32}, {"C:\\a\\odd.txt", 87}, {"C:\\gone\\x.txt", 3}};
    RemovalLogs logs;
    fs.files.insert("ab");
    fs.files.insert("abc");
    // A line of two bytes or fewer names no file; one of three does.
    removeFiles(TextBuffer("C:\\a\\ro.txt\r\nC:\\a\\locked.dll\r\nC:\\a\\odd.txt\r\nC:\\gone\\x.txt\r\nab\r\nabc\r\n"), fs, logs);
    EXPECT_TRUE(fs.files.count("ab"));
    EXPECT_FALSE(fs.files.count("abc"));
    EXPECT_FALSE(fs.files.count("C:\\a\\ro.txt"));
    EXPECT_EQ(logs.files.str(), "C:\\a\\locked.dll\r\nC:\\a\\odd.txt\r\n");
    EXPECT_EQ(logs.inUse.str(), "C:\\a\\locked.dll\r\n");
}

TEST(DirectoryStage, LogsFoldersThatStay) {
    FakeFs fs;
    fs.files = {"C:\\app\\sub", "C:\\app", "C:\\ro"};
    fs.readOnly = {"C:\\ro"};  // a read-only folder goes all the same
    fs.failures = {{"C:\\app", 145}};
    RemovalLogs logs;
    removeDirectories(TextBuffer("C:\\app\\sub\r\nC:\\app\r\nC:\\none\r\nC:\\ro\r\n"), fs, logs);
    EXPECT_EQ(logs.directories.str(), "C:\\app\r\n");
    EXPECT_FALSE(fs.files.count("C:\\app\\sub"));
    EXPECT_FALSE(fs.files.count("C:\\ro"));
}

class Scheduler : public RestartScheduler {
public:
    std::set<std::string> refused;
    std::vector<std::string> scheduled;
    bool deleteAtRestart(const std::string& path) override {
        if (refused.count(path)) return false;
        scheduled.push_back(path);
        return true;
    }
};

TEST(RestartScheduling, RefusedDeletionIsLoggedAndOffersNoRestart) {
    RemovalLogs logs;
    // Lines too short to name a file (a drive, a root) are passed over; "C:\\x" is not.
    logs.inUse.assign("C:\\a.dll\r\nC:\\b.dll\r\nC:\r\nC:\\\r\nC:\\x\r\n");
    logs.files.assign("C:\\a.dll\r\n");
    Scheduler scheduler;
    scheduler.refused = {"C:\\a.dll", "C:\\b.dll", "C:\\x"};
    EXPECT_FALSE(scheduleInUse(logs, scheduler));
    EXPECT_EQ(logs.files.str(), "C:\\a.dll\r\nC:\\b.dll\r\nC:\\x\r\n");
    scheduler.refused.clear();
    EXPECT_TRUE(scheduleInUse(logs, scheduler));
    EXPECT_EQ(scheduler.scheduled, (std::vector<std::string>{"C:\\a.dll", "C:\\b.dll", "C:\\x"}));
}

}  // namespace
