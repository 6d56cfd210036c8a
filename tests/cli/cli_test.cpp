#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "../listing/fakes.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"

namespace tessory {
namespace {

struct OptionCase {
    std::vector<std::string> args;
    bool ok;
    const char* errorPart;
};

TEST(CliOptionsTest, ArgumentTable) {
    const OptionCase cases[] = {
        {{"dir"}, true, ""},
        {{"-o", "out.htm", "dir"}, true, ""},
        {{"--set", "output.recurse=No", "dir"}, true, ""},
        {{"--help"}, true, ""},
        {{"--version"}, true, ""},
        {{"--", "-dir"}, true, ""},
        {{"-"}, true, ""},  // a lone dash is a folder's name
        {{"dir", "-o", "out.htm"}, true, ""},
        {{}, false, "no FOLDER"},
        {{"a", "b"}, false, "only one FOLDER"},
        {{"-o"}, false, "needs a value"},
        {{"dir", "--format"}, false, "--format needs a value"},
        {{"dir", "--compare"}, false, "--compare needs a value"},
        {{"--set", "Output.Nope=1", "dir"}, false, "unknown setting \"Output.Nope\""},
        {{"--set", "Recurse=No", "dir"}, false, "Section.Key=Value, got \"Recurse=No\""},
        {{"--set", "Output=No.x", "dir"}, false, "Section.Key=Value"},
        {{"--set", "Output.Recurse", "dir"}, false, "Section.Key=Value"},
        {{"-x", "dir"}, false, "unknown option"},
        {{"--format", "xml", "dir"}, false, "--format expects html, csv or json, got \"xml\""},
        {{"-o", "", "dir"}, false, "-o needs a file name"},
        {{"--compare", "", "dir"}, false, "--compare needs a file name"},
    };
    for (const OptionCase& c : cases) {
        CliOptions options;
        std::string error;
        EXPECT_EQ(ParseCliOptions(c.args, options, error), c.ok) << error;
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
    }
    CliOptions options;
    std::string error;
    ASSERT_TRUE(ParseCliOptions({"--set", "display.ATTRIB=a=b", "dir"}, options, error));
    ASSERT_EQ(options.overrides.size(), 1u);
    EXPECT_EQ(options.overrides[0].section, "Display");
    EXPECT_EQ(options.overrides[0].key, "Attrib");
    EXPECT_EQ(options.overrides[0].value, "a=b");
}

// Scripts test these numbers, and the help and the manual page name them.
TEST(CliOptionsTest, ExitCodesAndHelpAsDocumented) {
    const std::pair<int, int> codes[] = {{kExitOk, 0},     {kExitWriteFailed, 1},    {kExitUsage, 2},
                                         {kExitNoFolder, 3}, {kExitChanged, 1}, {kExitCompareTrouble, 2},
                                         {kExitStopped, 130}};
    for (auto [code, documented] : codes) EXPECT_EQ(code, documented);
    // The three parts of the help, a blank line between them.
    const std::string help = kCliUsage;
    EXPECT_NE(help.find(".ini.\n\nOptions:\n"), std::string::npos);
    EXPECT_NE(help.find("the version\n\nExit codes:"), std::string::npos);
}

class CliRunTest : public ::testing::Test {
protected:
    CliRunTest() {
        if (const char* tmp = std::getenv("TMPDIR")) oldTmp_ = tmp;
        setenv("XDG_CONFIG_HOME", home.Path().c_str(), 1);
        std::filesystem::create_directories(home.Path() / "tmp");
        setenv("TMPDIR", (home.Path() / "tmp").c_str(), 1);
        std::filesystem::create_directories(tree.Path() / "sub");
        std::ofstream(tree.File("a.txt")) << "hello";
        std::ofstream((tree.Path() / "sub" / "b.txt").string()) << "abc";
    }
    ~CliRunTest() override {
        if (oldTmp_) setenv("TMPDIR", oldTmp_->c_str(), 1);
        else unsetenv("TMPDIR");
    }
    int Run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return RunCli(args, out, err, false);
    }
    std::optional<std::string> oldTmp_;
    ScratchFolder home, tree;
    std::ostringstream out, err;
};

TEST_F(CliRunTest, WritesToStandardOutputWithStoredSettingsAndOverrides) {
    std::ofstream(home.File("Ombrel.ini")) << "[Display]\nAttrib=1\nNameStr=File name\n";
    ASSERT_EQ(Run({tree.Path().string()}), kExitOk) << err.str();
    EXPECT_NE(out.str().find("<b>File name</b>"), std::string::npos);
    EXPECT_NE(out.str().find("Total Files: 2, Total Folders : 2, Total Size: 8 bytes."), std::string::npos);

    ASSERT_EQ(Run({"--set", "Output.Recurse=No", "--set", "Display.NameStr=N", tree.Path().string()}), kExitOk);
    EXPECT_NE(out.str().find("Total Files: 1, Total Folders : 1, Total Size: 5 bytes."), std::string::npos);
    EXPECT_NE(out.str().find("<b>N</b>"), std::string::npos);
    std::ifstream ini(home.File("Ombrel.ini"));
    std::string stored((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
    EXPECT_EQ(stored.find("Recurse"), std::string::npos);  // overrides are never stored
    EXPECT_TRUE(std::filesystem::is_empty(home.Path() / "tmp"));  // the unnamed file is gone
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(CliRunTest, OutputFileIsReplacedWholeOrLeftAsItWas) {
    ScratchFolder target;
    std::string output = target.File("listing.htm");
    std::ofstream(output) << "previous";
    gInterrupted = 1;
    int code = Run({"-o", output, tree.Path().string()});
    gInterrupted = 0;
    EXPECT_EQ(code, kExitStopped);
    EXPECT_EQ(ReadFile(output), "previous");
    EXPECT_EQ(FolderNames(target.Path()), std::vector<std::string>{"listing.htm"});  // no new file left behind

    ASSERT_EQ(Run({tree.Path().string()}), kExitOk);
    std::string listing = out.str();
    ASSERT_EQ(Run({"-o", output, tree.Path().string()}), kExitOk) << err.str();
    EXPECT_TRUE(out.str().empty());
    EXPECT_EQ(ReadFile(output), listing);
    EXPECT_EQ(FolderNames(target.Path()), std::vector<std::string>{"listing.htm"});
}

TEST_F(CliRunTest, OutputKeepsItsModeAndOwnerAndFollowsLinksToTheirTarget) {
    ASSERT_EQ(Run({tree.Path().string()}), kExitOk);
    const std::string listing = out.str();
    ScratchFolder here, there;
    const mode_t oldMask = umask(027);
    const std::string fresh = here.File("fresh.htm"), kept = here.File("kept.htm");
    std::ofstream(kept) << "previous";
    ASSERT_EQ(chmod(kept.c_str(), 0604), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(kept.c_str(), 4321, 4322), 0);
    }
    EXPECT_EQ(Run({"-o", fresh, tree.Path().string()}), kExitOk) << err.str();
    EXPECT_EQ(Run({"-o", kept, tree.Path().string()}), kExitOk) << err.str();
    umask(oldMask);
    struct stat info;
    ASSERT_EQ(stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);  // a new file: the umask decides
    ASSERT_EQ(stat(kept.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    if (geteuid() == 0) {
        EXPECT_EQ(info.st_uid, 4321u);
        EXPECT_EQ(info.st_gid, 4322u);
    }
    EXPECT_EQ(ReadFile(kept), listing);

    // A link, through a second link, to a file in another folder: the final target gets the
    // listing, replaced in its own folder; both links stay links.
    const std::string finalTarget = there.File("t.html"), link = here.File("l.html"), chain = here.File("c.html");
    std::ofstream(finalTarget) << "previous";
    std::filesystem::create_symlink(finalTarget, link);
    std::filesystem::create_symlink("l.html", chain);
    ASSERT_EQ(Run({"-o", chain, tree.Path().string()}), kExitOk) << err.str();
    EXPECT_TRUE(std::filesystem::is_symlink(chain));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(finalTarget), listing);
    EXPECT_EQ(FolderNames(there.Path()), std::vector<std::string>{"t.html"});
    EXPECT_EQ(FolderNames(here.Path()), (std::vector<std::string>{"c.html", "fresh.htm", "kept.htm", "l.html"}));

    const std::string dangling = here.File("dangling.html");
    std::filesystem::create_symlink(there.File("gone/x.html"), dangling);
    EXPECT_EQ(Run({"-q", "-o", dangling, tree.Path().string()}), kExitWriteFailed);
    EXPECT_EQ(err.str(), "tessory: cannot write " + dangling + ": it is a link to a file that does not exist\n");
    EXPECT_TRUE(std::filesystem::is_symlink(dangling));
}

TEST_F(CliRunTest, AnOutputThatIsNotAPlainFileIsWrittenToAsItIs) {
    ASSERT_EQ(Run({tree.Path().string()}), kExitOk);
    const std::string listing = out.str();
    ScratchFolder here;
    const std::string fifo = here.File("p");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // The reading end opened first (without waiting for a writer), so the run can open the writing end.
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_LT(listing.size(), 60000u);  // fits in the pipe's buffer
    EXPECT_EQ(Run({"-q", "-o", fifo, tree.Path().string()}), kExitOk) << err.str();
    std::string received;
    char buffer[4096];
    for (ssize_t n; (n = read(reader, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<size_t>(n));
    close(reader);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_EQ(received, listing);
    EXPECT_EQ(FolderNames(here.Path()), std::vector<std::string>{"p"});

    // A device (a copy of the null device; only root may make one).
    const std::string device = here.File("null");
    if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        EXPECT_EQ(Run({"-q", "-o", device, tree.Path().string()}), kExitOk) << err.str();
        EXPECT_TRUE(std::filesystem::is_character_file(device));
    }

    // Standard output as a pipe is written as the listing is made: no temporary file is needed.
    setenv("TMPDIR", home.File("missing").c_str(), 1);
    out.str("");
    EXPECT_EQ(RunCli({"-q", tree.Path().string()}, out, err, false, true), kExitOk) << err.str();
    EXPECT_EQ(out.str(), listing);
}

TEST_F(CliRunTest, TheOutputIsNotPartOfTheListingItIsIn) {
    const std::string csv = tree.File("list.csv");
    for (int round = 0; round < 2; ++round) {  // the second replaces an existing output
        ASSERT_EQ(Run({"-q", "--format", "csv", "-o", csv, tree.Path().string()}), kExitOk) << err.str();
        const std::string rows = ReadFile(csv);
        EXPECT_EQ(rows.find("list.csv"), std::string::npos) << rows;
        EXPECT_NE(rows.find("a.txt"), std::string::npos) << rows;
    }
    // So a tree compared with its listing is unchanged, though the report is written into it.
    const std::string old = home.File("old.json");
    ASSERT_EQ(Run({"-q", "--format", "json", "-o", old, tree.Path().string()}), kExitOk) << err.str();
    EXPECT_EQ(Run({"-q", "--compare", old, "-o", tree.File("changes.htm"), tree.Path().string()}), kExitOk);
    EXPECT_EQ(ReadFile(tree.File("changes.htm")).find("changes.htm"), std::string::npos);
}

TEST_F(CliRunTest, HangupStopsTheRunLikeAnInterrupt) {
    StopOnSignals();
    gInterrupted = 0;
    raise(SIGHUP);
    EXPECT_EQ(gInterrupted, 1);
    gInterrupted = 0;
}

TEST_F(CliRunTest, FailuresNameTheFileAndTheReason) {
    std::string missing = home.File("missing");
    EXPECT_EQ(Run({"-q", "-o", missing + "/x.htm", tree.Path().string()}), kExitWriteFailed);
    EXPECT_EQ(err.str(), "tessory: cannot create a file in " + missing + ": No such file or directory\n");
    std::filesystem::create_directories(home.Path() / "taken");
    EXPECT_EQ(Run({"-q", "-o", home.File("taken"), tree.Path().string()}), kExitWriteFailed);
    EXPECT_EQ(err.str(), "tessory: cannot replace " + home.File("taken") + ": Is a directory\n");
    EXPECT_EQ(Run({tree.File("a.txt")}), kExitNoFolder);
    EXPECT_EQ(Run({"--bogus"}), kExitUsage);
    EXPECT_NE(err.str().find("Usage: tessory"), std::string::npos);
}

TEST_F(CliRunTest, HostileNamesStayTextInAValidUtf8Document) {
    std::filesystem::create_directories(tree.Path() / "<b>bold");
    std::ofstream(tree.File("a.<svg onload=&#97;&#108;&#101;&#114;&#116;(1)>")) << "x";
    std::ofstream(tree.File("bad\xFF\xC3.txt")) << "y";
    ASSERT_EQ(Run({tree.Path().string()}), kExitOk) << err.str();
    const std::string& document = out.str();
    std::string lower = document;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(lower.find("<svg"), std::string::npos);
    EXPECT_EQ(lower.find("<b>bold"), std::string::npos);
    // Shown as written: the references in the name are not decoded either.
    EXPECT_NE(document.find(">a.&lt;svg onload=&amp;#97;&amp;#108;&amp;#101;&amp;#114;&amp;#116;(1)&gt;</td>"
                            "<td width=\"20%\">&lt;SVG ONLOAD=&amp;#97;&amp;#108;&amp;#101;&amp;#114;&amp;#116;(1)&gt; File</td>"),
              std::string::npos);
    EXPECT_NE(document.find("/&lt;b&gt;bold</td>"), std::string::npos);
    EXPECT_EQ(document.rfind("<html><head><meta charset=\"utf-8\"><style>\r\n", 0), 0u);
    EXPECT_NE(document.find(">bad\xEF\xBF\xBD\xEF\xBF\xBD.txt</td>"), std::string::npos);
    EXPECT_EQ(document.find_first_of("\xFF\xC3"), std::string::npos);
}

TEST_F(CliRunTest, FontsAndHeadingsFromTheSettingsStayInTheirPlace) {
    ASSERT_EQ(Run({"--set", "HTML.FolFont=x;}</style><script>alert(1)</script>", "--set",
                   "HTML.FileFont=Courier New, m\xC3\xB6no-2_a.b", "--set", "Display.NameStr=<img src=x onerror=alert(1)>",
                   "--set", "Display.TypeStr=R&amp;D", "--set", "HTML.PrintLayout=1", tree.Path().string()}),
              kExitOk)
        << err.str();
    const std::string& document = out.str();
    EXPECT_EQ(document.find("<script"), std::string::npos);
    EXPECT_EQ(document.find("<img"), std::string::npos);
    EXPECT_NE(document.find(".dir{font-family:x\\3b \\7d \\3c \\2f style\\3e \\3c script\\3e alert\\28 1\\29 "
                            "\\3c \\2f script\\3e ; font-weight:bold;"),
              std::string::npos)
        << document.substr(0, 600);
    EXPECT_NE(document.find(".file{font-family:Courier New, m\xC3\xB6no-2_a.b; "), std::string::npos);
    // In the heading row and in every folder's print heading.
    const std::string headings = "<b>&lt;img src=x onerror=alert(1)&gt;</b></td><td width=\"20%\"><b>R&amp;amp;D</b>";
    EXPECT_NE(document.find("<tr><td width=\"35%\">" + headings), std::string::npos);
    EXPECT_NE(document.find("<thead class=\"printhead\"><tr><td width=\"35%\">" + headings), std::string::npos);
}

// On a terminal a progress line is written over in place, and cleared before the summary.
TEST_F(CliRunTest, ProgressLineIsRewrittenInPlaceAndClearedBeforeTheSummary) {
    out.str("");
    err.str("");
    ASSERT_EQ(RunCli({"-o", home.File("out.htm"), tree.Path().string()}, out, err, true), kExitOk);
    const std::string shown = err.str();
    EXPECT_EQ(shown.rfind("\r\x1b[K", 0), 0u) << shown;
    EXPECT_NE(shown.find(" folders, "), std::string::npos) << shown;
    EXPECT_NE(shown.find(" files: "), std::string::npos) << shown;
    EXPECT_NE(shown.find("\r\x1b[Ktessory: Left out: "), std::string::npos) << shown;
}

TEST_F(CliRunTest, MessagesShowControlCharactersEscaped) {
    const std::string folder = tree.File("no\x1B]0;owned\x07");
    EXPECT_EQ(Run({"-q", folder}), kExitNoFolder);
    EXPECT_EQ(err.str(), "tessory: not a folder: " + tree.File("no\\x1b]0;owned\\x07") + "\n");
    EXPECT_EQ(Run({"-\x1B[2J"}), kExitUsage);
    EXPECT_EQ(err.str().rfind("tessory: unknown option -\\x1b[2J\n", 0), 0u) << err.str();
    const std::string old = home.File("old.json");
    std::ofstream(old) << "{\"root\": \"x\", \"\\u001b[31mred\": 1}";
    EXPECT_EQ(Run({"-q", "--compare", old, tree.Path().string()}), kExitCompareTrouble);
    EXPECT_NE(err.str().find("unexpected key \"\\x1b[31mred\"\n"), std::string::npos) << err.str();
    EXPECT_EQ(err.str().find('\x1B'), std::string::npos);
}

TEST(TerminalTextTest, ControlCharactersAndStrayBytesAreShownEscaped) {
    EXPECT_EQ(TerminalText("/srv/caf\xC3\xA9"), "/srv/caf\xC3\xA9");
    EXPECT_EQ(TerminalText("a\tb\x1B]0;owned\x07\x7F"), "a\\x09b\\x1b]0;owned\\x07\\x7f");
    EXPECT_EQ(TerminalText("\xC2\x9B" "31m\xC2\xA0"), "\\u009b31m\xC2\xA0");
    EXPECT_EQ(TerminalText("\x1F\x20\xC2\x9F"), "\\x1f \\u009f");  // the last controls of each range
    EXPECT_EQ(TerminalText("x\x9By\xE2\x82"), "x\\x9by\\xe2\\x82");
}

TEST_F(CliRunTest, InterruptStopsWithoutADocument) {
    gInterrupted = 1;
    int code = Run({tree.Path().string()});
    gInterrupted = 0;
    EXPECT_EQ(code, kExitStopped);
    EXPECT_TRUE(out.str().empty());
}

}  // namespace
}  // namespace tessory
