#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

#include "RunRules.h"
#include "UniqueTempPath.h"
#include "Wininit.h"

using namespace corvel;

namespace {

bool renameFile(const char* from, const char* to) { return std::rename(from, to) == 0; }
bool failingReplace(const char* from, const char* to);

TEST(SwitchesTest, SubstringsOfUpperCasedCommandLine) {
    Switches s = parseSwitches(TextBuffer("\"C:\\x\\unins.exe\" /silently /noquery"));
    EXPECT_TRUE(s.silent);
    EXPECT_TRUE(s.noQuery);
    EXPECT_FALSE(s.noRemove);
    EXPECT_TRUE(parseSwitches(TextBuffer("u.exe /NoRemove")).noRemove);
    // At the very start of the command line too.
    EXPECT_TRUE(parseSwitches(TextBuffer("/silent")).silent);
    EXPECT_TRUE(parseSwitches(TextBuffer("/noremove")).noRemove);
    EXPECT_TRUE(parseSwitches(TextBuffer("/noquery")).noQuery);
}

struct VetoCase {
    const char* command;
    uint32_t exitCode;
    bool passes;
};

class PreRemovalVerdict : public testing::TestWithParam<VetoCase> {};

TEST_P(PreRemovalVerdict, ByKindOfCommand) {
    EXPECT_EQ(preRemovalPasses(TextBuffer(GetParam().command), GetParam().exitCode), GetParam().passes)
        << GetParam().command << " exit " << GetParam().exitCode;
}

INSTANTIATE_TEST_SUITE_P(Commands, PreRemovalVerdict,
                         testing::Values(VetoCase{"C:\\check.EXE", 0, false}, VetoCase{"C:\\check.EXE", 1, true},
                                         VetoCase{"C:\\check.BAT", 0, true}, VetoCase{"C:\\check.BAT", 1, false},
                                         VetoCase{"C:\\check.CMD", 0, true},
                                         VetoCase{"C:\\run.EXE C:\\check.BAT", 0, false},
                                         VetoCase{"C:\\check.bat", 0, false},
                                         // Extensions at the very start: the first one decides.
                                         VetoCase{".BAT", 0, true}, VetoCase{".CMD", 0, true},
                                         VetoCase{".BAT.EXE", 0, true}, VetoCase{".CMD.EXE.BAT", 0, true},
                                         VetoCase{".EXE.BAT", 0, false}));

TEST(PreRemovalTest, RunCodesThatSkipTheCommand) {
    EXPECT_FALSE(shouldRunPreRemoval("100", "x.exe"));
    EXPECT_FALSE(shouldRunPreRemoval("101", "x.exe"));
    EXPECT_FALSE(shouldRunPreRemoval("", "x.exe"));
    EXPECT_FALSE(shouldRunPreRemoval("7", ""));
    EXPECT_TRUE(shouldRunPreRemoval("1000", "x.exe"));
}

TEST(DetailsTextTest, OnlyNonEmptyLogsWithoutFinalBreak) {
    const TextBuffer headings[3] = {"Files:", "Folders:", "Keys:"};
    const TextBuffer logs[3] = {"a\r\n", "", "K\r\nL\r\n"};
    EXPECT_EQ(buildDetailsText(headings, logs).str(), "Files:\r\na\r\n\r\nKeys:\r\nK\r\nL");
    EXPECT_EQ(stripCaptionMarks("&Details...").str(), "Details");
    EXPECT_EQ(stripCaptionMarks("...&Save &as...").str(), "Save as");
    // Logs that are nothing but line breaks leave nothing after the heading.
    const TextBuffer blank[3] = {"", "", ""}, named[3] = {"x", "", ""}, breaks[3] = {"\r\n", "", ""};
    EXPECT_EQ(buildDetailsText(blank, breaks).str(), "");
    EXPECT_EQ(buildDetailsText(named, breaks).str(), "x");
}

TEST(WininitTest, AddsUnderLastRenameSectionOnce) {
    TextBuffer ini("[Other]\r\nx=1\r\n[rename]\r\nNUL=C:\\OLD\r\n");
    ASSERT_TRUE(addRenameEntry(ini, "C:\\A~1.DLL"));
    EXPECT_EQ(ini.str(), "[Other]\r\nx=1\r\n[rename]\r\nNUL=C:\\A~1.DLL\r\nNUL=C:\\OLD\r\n");
    EXPECT_FALSE(addRenameEntry(ini, "C:\\A~1.DLL"));
    ASSERT_TRUE(addRenameEntry(ini, "C:\\B.DLL"));
    EXPECT_EQ(ini.find("[rename]\r\nNUL=C:\\B.DLL\r\nNUL=C:\\A~1.DLL\r\n", 0, false) >= 0, true);
}

TEST(WininitTest, AppendsSectionWhenMissingOrHeaderIsLastLine) {
    TextBuffer ini("[Other]\r\nx=1");
    ASSERT_TRUE(addRenameEntry(ini, "C:\\A.DLL"));
    EXPECT_EQ(ini.str(), "[Other]\r\nx=1\r\n[Rename]\r\nNUL=C:\\A.DLL\r\n");
    TextBuffer bare("[Rename]");
    ASSERT_TRUE(addRenameEntry(bare, "C:\\A.DLL"));
    EXPECT_EQ(bare.str(), "[Rename]\r\nNUL=C:\\A.DLL\r\n");
    TextBuffer ended("[Rename]\r\n");
    ASSERT_TRUE(addRenameEntry(ended, "C:\\A.DLL"));
    EXPECT_EQ(ended.str(), "[Rename]\r\nNUL=C:\\A.DLL\r\n") << "no empty line when the header ends the file";
}

TEST(WininitTest, FileMissingEmptyOrUnreadable) {
    const std::string path = UniqueTempPath("corvel_wininit.ini");
    std::remove(path.c_str());
    ASSERT_TRUE(scheduleInWininit(path.c_str(), false, "C:\\A.DLL", &renameFile));
    TextBuffer back;
    back.loadFile(path.c_str());
    EXPECT_EQ(back.str(), "[Rename]\r\nNUL=C:\\A.DLL");
    ASSERT_TRUE(scheduleInWininit(path.c_str(), true, "C:\\B.DLL", &renameFile));
    back.loadFile(path.c_str());
    EXPECT_EQ(back.str(), "[Rename]\r\nNUL=C:\\B.DLL\r\nNUL=C:\\A.DLL");
    // Already listed: nothing to write, and done.
    ASSERT_TRUE(scheduleInWininit(path.c_str(), true, "C:\\B.DLL", &failingReplace));
    back.loadFile(path.c_str());
    EXPECT_EQ(back.str(), "[Rename]\r\nNUL=C:\\B.DLL\r\nNUL=C:\\A.DLL");
    std::remove(path.c_str());

    // One that exists but is empty is written anew, without a line break at the end.
    ASSERT_EQ(TextBuffer().saveFile(path.c_str()), 1);
    ASSERT_TRUE(scheduleInWininit(path.c_str(), true, "C:\\C.DLL", &renameFile));
    back.loadFile(path.c_str());
    EXPECT_EQ(back.str(), "[Rename]\r\nNUL=C:\\C.DLL");
    std::remove(path.c_str());

    // A wininit.ini that exists but cannot be read whole (here a folder) is left alone.
    const std::string folder = UniqueTempPath("corvel_wininit_dir.ini");
    ::mkdir(folder.c_str(), 0700);
    EXPECT_FALSE(scheduleInWininit(folder.c_str(), true, "C:\\A.DLL", &renameFile));
    struct stat info {};
    EXPECT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    ::rmdir(folder.c_str());
}

std::string g_iniAtReplace;
bool failingReplace(const char* from, const char* to) {
    TextBuffer old;
    old.loadFile(to);
    g_iniAtReplace = old.str();
    (void)from;
    return false;
}

TEST(WininitTest, NewTextReplacesTheFileInOneStepOrNotAtAll) {
    const std::string path = UniqueTempPath("corvel_wininit_atomic.ini");
    const std::string other = "[Rename]\r\nNUL=C:\\OTHER.DLL\r\n";
    ASSERT_EQ(TextBuffer(other.c_str()).saveFile(path.c_str()), 1);
    // Until the replacement the old file is untouched; when it fails, it stays as it was.
    EXPECT_FALSE(scheduleInWininit(path.c_str(), true, "C:\\A.DLL", &failingReplace));
    EXPECT_EQ(g_iniAtReplace, other);
    TextBuffer back;
    back.loadFile(path.c_str());
    EXPECT_EQ(back.str(), other);
    struct stat info {};
    EXPECT_NE(::stat((path + ".new").c_str(), &info), 0) << "the new file is cleaned up";
    std::remove(path.c_str());
}

TEST(RunRulesTest, OnlyYesIsConsent) {
    EXPECT_TRUE(isConsent(6));
    for (int failedOrOther : {0, 1, 2, 7}) EXPECT_FALSE(isConsent(failedOrOther)) << failedOrOther;
}

TEST(RunRulesTest, MutexNameIsValidForAnyProduct) {
    EXPECT_EQ(mutexName("Tessory").str(), "Global\\cvun_Tessory_mutex");
    EXPECT_EQ(mutexName("Tessory", false).str(), "cvun_Tessory_mutex");
    // Escaped so that no two products meet: "A\B", "A_B" and "A%5CB" all differ.
    EXPECT_EQ(mutexName("A\\B").str(), "Global\\cvun_A%5CB_mutex");
    EXPECT_EQ(mutexName("A_B").str(), "Global\\cvun_A_B_mutex");
    EXPECT_EQ(mutexName("A%5CB").str(), "Global\\cvun_A%255CB_mutex");
    // A name that just fits is kept whole.
    const std::string fits(259 - std::strlen("Global\\cvun_") - std::strlen("_mutex"), 'f');
    EXPECT_EQ(mutexName(TextBuffer(fits.c_str())).str(), "Global\\cvun_" + fits + "_mutex");
    const std::string longA(300, 'x'), longB = std::string(299, 'x') + "y";
    const std::string a = mutexName(TextBuffer(longA.c_str())).str(), b = mutexName(TextBuffer(longB.c_str())).str();
    EXPECT_EQ(a.size(), 259u);
    EXPECT_EQ(a.compare(0, 12, "Global\\cvun_"), 0);
    EXPECT_EQ(a.substr(a.size() - 6), "_mutex");
    EXPECT_NE(a, b) << "products that differ only past the limit still get their own mutex";
    EXPECT_EQ(a, mutexName(TextBuffer(longA.c_str())).str());
}

TEST(RunRulesTest, OnlyAFreshMutexLetsTheRunGoOn) {
    struct Row {
        bool created;
        uint32_t error;
        bool global;
        InstanceCheck expected;
    };
    const Row rows[] = {
        {true, 0, true, InstanceCheck::kOnly},
        {true, 183, true, InstanceCheck::kAnother},            // ERROR_ALREADY_EXISTS
        {false, 6, true, InstanceCheck::kAnother},             // ERROR_INVALID_HANDLE: another kind of object
        {false, 5, true, InstanceCheck::kAnother},             // ERROR_ACCESS_DENIED: another user's run
        {false, 3, true, InstanceCheck::kNoGlobalNamespace},   // no "Global\\" on this system
        {false, 161, true, InstanceCheck::kNoGlobalNamespace},
        {false, 3, false, InstanceCheck::kAnother},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(checkInstance(row.created, row.error, row.global), row.expected) << row.created << " " << row.error;
    }
}

}  // namespace
