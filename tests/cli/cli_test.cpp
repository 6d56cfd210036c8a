#include <gtest/gtest.h>

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
        {{}, false, "no FOLDER"},
        {{"a", "b"}, false, "only one FOLDER"},
        {{"-o"}, false, "needs a value"},
        {{"--set", "Output.Nope=1", "dir"}, false, "unknown setting"},
        {{"--set", "Recurse=No", "dir"}, false, "Section.Key=Value"},
        {{"-x", "dir"}, false, "unknown option"},
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

TEST_F(CliRunTest, OutputFileIsReplacedWholeOrLeftAsItWas) {
    ScratchFolder target;
    std::string output = target.File("listing.htm");
    std::ofstream(output) << "previous";
    gInterrupted = 1;
    int code = Run({"-o", output, tree.Path().string()});
    gInterrupted = 0;
    EXPECT_EQ(code, kExitStopped);
    EXPECT_EQ(ReadFile(output), "previous");

    ASSERT_EQ(Run({tree.Path().string()}), kExitOk);
    std::string listing = out.str();
    ASSERT_EQ(Run({"-o", output, tree.Path().string()}), kExitOk) << err.str();
    EXPECT_TRUE(out.str().empty());
    EXPECT_EQ(ReadFile(output), listing);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(target.Path()), {}), 1);  // nothing left beside it

    // A link at the output's name is replaced, never written through.
    std::string victim = target.File("victim");
    std::ofstream(victim) << "keep";
    std::filesystem::remove(output);
    std::filesystem::create_symlink(victim, output);
    ASSERT_EQ(Run({"-o", output, tree.Path().string()}), kExitOk);
    EXPECT_EQ(ReadFile(victim), "keep");
    EXPECT_FALSE(std::filesystem::is_symlink(output));
    EXPECT_EQ(ReadFile(output), listing);
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

TEST(TerminalTextTest, ControlCharactersAndStrayBytesAreShownEscaped) {
    EXPECT_EQ(TerminalText("/srv/caf\xC3\xA9"), "/srv/caf\xC3\xA9");
    EXPECT_EQ(TerminalText("a\tb\x1B]0;owned\x07\x7F"), "a\\x09b\\x1b]0;owned\\x07\\x7f");
    EXPECT_EQ(TerminalText("\xC2\x9B" "31m\xC2\xA0"), "\\u009b31m\xC2\xA0");
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
