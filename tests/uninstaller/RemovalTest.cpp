#include <gtest/gtest.h>

#include <map>
#include <set>

#include "Removal.h"

using namespace corvel;

namespace {

class FakeFs : public FileSystemSeam {
public:
    std::set<std::string> files;
    std::set<std::string> readOnly;
    std::map<std::string, uint32_t> failures;  // path -> error code of delete/remove
    std::map<std::string, std::pair<uint32_t, uint32_t>> times, versions;
    std::vector<std::string> copies, unregistered;

    bool exists(const std::string& p) override { return files.count(p) != 0; }
    void clearReadOnly(const std::string& p) override { readOnly.erase(p); }
    uint32_t deleteFile(const std::string& p) override { return erase(p); }
    uint32_t removeDirectory(const std::string& p) override { return erase(p); }
    bool copyOver(const std::string& from, const std::string& to) override {
        copies.push_back(from + ">" + to);
        return true;
    }
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
    uint32_t erase(const std::string& p) {
        if (failures.count(p)) return failures[p];
        if (readOnly.count(p)) return syserr::kAccessDenied;
        return files.erase(p) ? 0 : syserr::kFileNotFound;
    }
};

class FakeCounts : public SharedCounts {
public:
    std::map<std::string, uint32_t> values;
    bool read(const std::string& p, uint32_t& c) override {
        if (!values.count(p)) return false;
        c = values[p];
        return true;
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
    void run(const char* section, bool silent = false) {
        removeSharedFiles(TextBuffer(section), &counts, fs, &question, silent);
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

TEST_F(SharedStage, SilentRemovesAndDialogFailureMeansYes) {
    run("a.dll|other\r\n", true);
    EXPECT_TRUE(question.asked.empty());
    EXPECT_FALSE(fs.files.count("a.dll"));
    EXPECT_TRUE(fs.unregistered.empty());
    run("b.dll\r\n");
    EXPECT_FALSE(fs.files.count("b.dll"));
}

TEST_F(SharedStage, NoKeyMeansNothingHappens) {
    removeSharedFiles(TextBuffer("a.dll\r\n"), nullptr, fs, &question, true);
    EXPECT_TRUE(fs.files.count("a.dll"));
}

TEST(BackupLineTest, FieldsWrapAround) {
    BackupLine line;
    ASSERT_TRUE(parseBackupLine(TextBuffer("b\tt\t-1\t4294967295\t65536\t7"), line));
    EXPECT_EQ(line.versionMs, 0xFFFFFFFFu);
    EXPECT_EQ(line.versionLs, 0xFFFFFFFFu);
    EXPECT_EQ(line.timeHigh, 65536u);
    EXPECT_EQ(line.timeLow, 7u);
    EXPECT_EQ(parseWrappedDecimal("4294967296"), 0u);
}

TEST(BackupStage, RestoresOnlyUnchangedOrMissingTargets) {
    FakeFs fs;
    fs.files = {"b1", "b2", "b3", "b4"};
    fs.times = {{"t1", {1, 2}}, {"t2", {1, 3}}, {"t4", {1, 2}}};
    fs.versions = {{"t1", {5, 6}}, {"t2", {5, 6}}, {"t4", {5, 7}}};
    processBackups(TextBuffer("b1\tt1\t5\t6\t1\t2\r\nb2\tt2\t5\t6\t1\t2\r\nb3\tt3\t0\t0\t0\t0\r\nb4\tt4\t5\t6\t1\t2\r\nx\r\n"), fs,
                   true);
    EXPECT_EQ(fs.copies, (std::vector<std::string>{"b1>t1", "b3>t3"}));
    EXPECT_TRUE(fs.files.empty());
}

TEST(BackupStage, DeleteModeNeverCopies) {
    FakeFs fs;
    fs.files = {"b1"};
    processBackups(TextBuffer("b1\tt1\t0\t0\t0\t0\r\n"), fs, false);
    EXPECT_TRUE(fs.copies.empty());
    EXPECT_TRUE(fs.files.empty());
}

TEST(FileStage, LogsFailuresAndListsFilesInUse) {
    FakeFs fs;
    fs.files = {"C:\\a\\ro.txt", "C:\\a\\locked.dll", "C:\\a\\odd.txt"};
    fs.readOnly = {"C:\\a\\ro.txt"};
    fs.failures = {{"C:\\a\\locked.dll", syserr::kSharingViolation}, {"C:\\a\\odd.txt", 87},
                   {"C:\\gone\\x.txt", syserr::kPathNotFound}};
    RemovalLogs logs;
    removeFiles(TextBuffer("C:\\a\\ro.txt\r\nC:\\a\\locked.dll\r\nC:\\a\\odd.txt\r\nC:\\gone\\x.txt\r\nab\r\n"), fs, logs);
    EXPECT_FALSE(fs.files.count("C:\\a\\ro.txt"));
    EXPECT_EQ(logs.files.str(), "C:\\a\\locked.dll\r\nC:\\a\\odd.txt\r\n");
    EXPECT_EQ(logs.inUse.str(), "C:\\a\\locked.dll\r\n");
}

TEST(DirectoryStage, LogsFoldersThatStay) {
    FakeFs fs;
    fs.files = {"C:\\app\\sub", "C:\\app"};
    fs.failures = {{"C:\\app", 145}};
    RemovalLogs logs;
    removeDirectories(TextBuffer("C:\\app\\sub\r\nC:\\app\r\nC:\\none\r\n"), fs, logs);
    EXPECT_EQ(logs.directories.str(), "C:\\app\r\n");
    EXPECT_FALSE(fs.files.count("C:\\app\\sub"));
}

}  // namespace
