#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <new>
#include <optional>
#include <thread>

#include "fakes.h"
#include "listing/folder_level.h"
#include "listing/listing_engine.h"
#include "listing/posix/posix_file_system.h"
#include "listing/posix/read_ahead_file_system.h"
#include "settings/memory_store.h"
#include "settings/setting_keys.h"

namespace tessory {
namespace {

class PosixFileSystemTest : public ::testing::Test {
protected:
    std::map<std::string, FileInfo> Read(const std::string& folder, std::vector<std::string>& subfolders) {
        std::map<std::string, FileInfo> files;
        EXPECT_TRUE(fs.ReadFolder(folder, [&](const FileInfo& f) { files[f.name] = f; }, subfolders));
        return files;
    }
    void Write(const std::string& name, const std::string& text) { std::ofstream(scratch.File(name)) << text; }
    ScratchFolder scratch;
    PosixFileSystem fs;
};

TEST_F(PosixFileSystemTest, AttributesLengthsAndSubfolders) {
    Write("plain.txt", "hello");
    Write(".hidden", "x");
    Write("locked", "12");
    ::chmod(scratch.File("locked").c_str(), 0444);
    std::filesystem::create_directory(scratch.Path() / "sub");
    std::vector<std::string> subfolders;
    auto files = Read(scratch.Path().string(), subfolders);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files["plain.txt"].length, 5u);
    EXPECT_EQ(files["plain.txt"].attributes, 0u);
    EXPECT_EQ(files[".hidden"].attributes, std::optional<std::uint32_t>(kAttrHidden));
    EXPECT_EQ(files["locked"].attributes, std::optional<std::uint32_t>(kAttrReadOnly));
    EXPECT_TRUE(files["plain.txt"].modified.has_value());
    EXPECT_EQ(subfolders, std::vector<std::string>{scratch.File("sub")});
}

TEST_F(PosixFileSystemTest, LinkedFoldersAreNotWalkedAndDanglingLinksAreSkipped) {
    Write("target.txt", "abc");
    ASSERT_EQ(::symlink(".", scratch.File("loop").c_str()), 0);
    ASSERT_EQ(::symlink("target.txt", scratch.File("link.txt").c_str()), 0);
    ASSERT_EQ(::symlink("missing", scratch.File("dangling").c_str()), 0);
    std::vector<std::string> subfolders;
    auto files = Read(scratch.Path().string(), subfolders);
    EXPECT_TRUE(subfolders.empty());
    EXPECT_EQ(files.size(), 2u);
    EXPECT_EQ(files["link.txt"].length, 3u);
    EXPECT_EQ(fs.LinksNotFollowed(), 2);  // the loop and the dangling link
    // The same count through the read-ahead, once the walk has the folder.
    PosixFileSystem inner;
    ReadAheadFileSystem ahead(inner, 4);
    subfolders.clear();
    ASSERT_TRUE(ahead.ReadFolder(scratch.Path().string(), [](const FileInfo&) {}, subfolders));
    EXPECT_EQ(ahead.LinksNotFollowed(), 2);
}

// The order of a case-insensitive Windows volume: upper-cased names compared by UTF-16 code
// units ("_" after letters, U+00FF as U+0178, a supplementary character before U+FF22), and
// names that differ only in case by their bytes.
TEST_F(PosixFileSystemTest, EntriesComeInOrdinalOrderOfTheUpperCasedNames) {
    for (const char* name : {"b", "A_", "ab", "a", "A", "\xC3\xBF", "\xC4\x80", "\xF0\x9F\x98\x80", "\xEF\xBD\x82", "\xFF",
                             "_", "z"}) {
        Write(name, "");
    }
    std::filesystem::create_directory(scratch.Path() / "sub_b");
    std::filesystem::create_directory(scratch.Path() / "Sub_A");
    std::vector<std::string> names, subfolders;
    ASSERT_TRUE(fs.ReadFolder(scratch.Path().string(), [&](const FileInfo& f) { names.push_back(f.name); }, subfolders));
    EXPECT_EQ(names, (std::vector<std::string>{"A", "a", "ab", "A_", "b", "z", "_", "\xC4\x80", "\xC3\xBF", "\xF0\x9F\x98\x80",
                                               "\xFF", "\xEF\xBD\x82"}));
    EXPECT_EQ(subfolders, (std::vector<std::string>{scratch.File("Sub_A"), scratch.File("sub_b")}));
    // A folder with no ASCII name at all: not byte order.
    ScratchFolder high;
    for (const char* name : {"\x80", "\xC3\xA9"}) std::ofstream(high.File(name)) << "";
    names.clear();
    ASSERT_TRUE(fs.ReadFolder(high.Path().string(), [&](const FileInfo& f) { names.push_back(f.name); }, subfolders));
    EXPECT_EQ(names, (std::vector<std::string>{"\xC3\xA9", "\x80"}));
}

// The keys themselves, code unit by code unit: sequences of two, three and four bytes at the ends
// of their ranges, the first and last supplementary characters as surrogate pairs, and bytes that
// are not UTF-8 (a stray, a cut sequence, an encoded surrogate) as lone low surrogates.
TEST(WalkOrderKeyTest, UpperCasedUtf16CodeUnits) {
    const std::pair<const char*, std::u16string> keys[] = {
        {"", u""},
        {"az", u"AZ"},
        {"\xC3\xA9\xC3\xBF", {0x00C9, 0x0178}},
        {"\xDF\xBF\xE0\xA0\x80", {0x07FF, 0x0800}},
        {"\xEF\xBF\xBF", {0xFFFF}},
        {"\xF0\x90\x80\x80", {0xD800, 0xDC00}},
        {"\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
        {"\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
        {"a\x80z", {u'A', 0xDC80, u'Z'}},
        {"\xFF", {0xDCFF}},
        {"\xE2\x82", {0xDCE2, 0xDC82}},
        {"\xED\xA0\x80", {0xDCED, 0xDCA0, 0xDC80}},
    };
    for (const auto& [name, key] : keys) EXPECT_EQ(WalkOrderKey(name), key) << name;
}

// A file that vanishes between the folder's listing and its own query is listed bare, not with
// the last file's facts; on a file system whose entries carry no type, each is asked for its own.
TEST_F(PosixFileSystemTest, EntriesWithoutATypeAndFilesThatVanish) {
    std::filesystem::create_directory(scratch.Path() / "d");
    ASSERT_EQ(::symlink(".", scratch.File("loop").c_str()), 0);
    ASSERT_EQ(::symlink("missing", scratch.File("gone").c_str()), 0);
    for (bool typed : {true, false}) {
        Write("a", "12345");
        Write("z", "");
        PosixFileSystem reader;
        if (!typed) reader.IgnoreEntryTypes();
        std::map<std::string, FileInfo> files;
        std::vector<std::string> subfolders;
        ASSERT_TRUE(reader.ReadFolder(scratch.Path().string(), [&](const FileInfo& f) {
            files[f.name] = f;
            if (f.name == "a") std::filesystem::remove(scratch.File("z"));
        }, subfolders));
        ASSERT_EQ(files.size(), 2u) << typed;
        EXPECT_EQ(files["a"].length, 5u) << typed;
        EXPECT_EQ(files["z"].length, std::nullopt) << typed;
        EXPECT_EQ(files["z"].modified, std::nullopt) << typed;
        EXPECT_EQ(files["z"].modifiedOffset, std::nullopt) << typed;
        EXPECT_EQ(files["z"].attributes, std::nullopt) << typed;
        EXPECT_EQ(subfolders, std::vector<std::string>{scratch.File("d")}) << typed;
        EXPECT_EQ(reader.LinksNotFollowed(), 2) << typed;
    }
}

// The same order for a folder of ASCII names only, which is sorted without making the keys:
// punctuation between the upper- and lower-case letters, long shared prefixes, differences
// before, at and after the eighth byte, and names that differ only in case.
TEST_F(PosixFileSystemTest, AsciiNamesComeInTheSameOrder) {
    for (const char* name : {"file0000a", "FILE0000A", "file0000_", "file0000[", "file0000`", "file000", "file0000",
                             "file0000ab", "File0000Aa", "abcdefghIJKLMNOPq", "ABCDEFGHijklmnopR", "x", "X_", "_", "z",
                             "abcdefg_x", "abcdefgZy"}) {
        Write(name, "");
    }
    std::vector<std::string> names, subfolders;
    ASSERT_TRUE(fs.ReadFolder(scratch.Path().string(), [&](const FileInfo& f) { names.push_back(f.name); }, subfolders));
    EXPECT_EQ(names, (std::vector<std::string>{"abcdefghIJKLMNOPq", "ABCDEFGHijklmnopR", "abcdefgZy", "abcdefg_x",
                                               "file000", "file0000",
                                               "FILE0000A", "file0000a", "File0000Aa", "file0000ab", "file0000[",
                                               "file0000_", "file0000`", "x", "X_", "z", "_"}));
}

// File times against the C library's own local time, in zones with daylight saving, an offset
// of minutes, an offset of seconds (Amsterdam before 1940) and leap seconds,
// at and beside the changes (also one inside a quarter): the time zone is asked once per quarter of an hour, not per file.
// The calendar the cache checks its quarters against (a wrong one would only send every file to
// the C library); epochs of 2000 and later by Python's datetime, older ones counted in 400-year
// cycles of 146097 days back from 0000-01-01 (-62167219200), a leap year.
TEST(LocalTimeCacheTest, CalendarOfSecondsFrom1970) {
    const std::pair<std::int64_t, DateTime> times[] = {
        {0, {1970, 1, 1, 0, 0, 0}},
        {-1, {1969, 12, 31, 23, 59, 59}},
        {951782400, {2000, 2, 29, 0, 0, 0}},
        {1709164800 + 86399, {2024, 2, 29, 23, 59, 59}},
        {1711843200, {2024, 3, 31, 0, 0, 0}},
        {1719835200, {2024, 7, 1, 12, 0, 0}},
        {1701388801, {2023, 12, 1, 0, 0, 1}},
        {4102444800 + 59 * 86400, {2100, 3, 1, 0, 0, 0}},
        {253402300799, {9999, 12, 31, 23, 59, 59}},
        {-62167219200, {0, 1, 1, 0, 0, 0}},
        {-62167219200 + 59 * 86400, {0, 2, 29, 0, 0, 0}},
        {-62167219200 - 1, {-1, 12, 31, 23, 59, 59}},
        {-62167219200 + 60 * 86400 - 146097LL * 86400, {-400, 3, 1, 0, 0, 0}},
        {-62167219200 + 60 * 86400 - 146097LL * 86400 - 1, {-400, 2, 29, 23, 59, 59}},
    };
    for (const auto& [seconds, expected] : times) EXPECT_EQ(ShiftedUtc(seconds), expected) << seconds;
}

TEST(LocalTimeCacheTest, AgreesWithTheCLibrary) {
    const char* before = std::getenv("TZ");
    const std::string saved = before ? before : "";
    const std::int64_t times[] = {
        0, -1, 1615705199, 1615705200, 1615705201, 1615704300, 1615706099,  // New York, spring forward
        1636264799, 1636264800, 1636268400, 1636266600,                      // New York, fall back
        1483228799, 1483228800, 1483228826, 1483228827, 1483228825,           // leap second end of 2016
        -1025745573, -1025745572, -1025745571, -1025745000,                  // Amsterdam 1937: +1:19:32 to +1:20
        1700000000, 1700000899, 1700000900, 253402300799, -62135596800,
        1704110400, 1706788800, 1709251199,                                   // January, February, a leap day
        // One quarter of an hour of 1936 in Amsterdam (+1:19:32): 10:49:32 local at its start, so
        // that its later seconds fall in the next hour.
        -1059831000, -1059830373, -1059830372, -1059830200,
    };
    for (const char* zone : {"America/New_York", "Asia/Kathmandu", "Europe/Amsterdam", "right/UTC", "UTC"}) {
        ::setenv("TZ", zone, 1);
        ::tzset();
        LocalTimeCache cache;
        for (int pass = 0; pass < 2; ++pass) {  // the second pass meets every quarter already known
            for (std::int64_t t : times) {
                std::tm parts{};
                time_t seconds = static_cast<time_t>(t);
                ASSERT_NE(::localtime_r(&seconds, &parts), nullptr);
                DateTime expected{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                                  parts.tm_hour,        parts.tm_min,     parts.tm_sec};
                std::optional<std::int32_t> offset;
                EXPECT_EQ(cache.LocalTime(t, offset), expected) << zone << " " << t;
                EXPECT_EQ(offset, std::optional<std::int32_t>(static_cast<std::int32_t>(parts.tm_gmtoff))) << zone << " " << t;
            }
        }
    }
    // Times beyond any calendar, as a hostile file system may give: no offset, and no overflow on
    // the way (which the sanitizers' build would stop at).
    LocalTimeCache cache;
    for (std::int64_t t : {INT64_MAX, INT64_MAX - 100, INT64_MIN}) {
        std::optional<std::int32_t> offset;
        cache.LocalTime(t, offset);
        EXPECT_EQ(offset, std::nullopt) << t;
    }
    if (before) ::setenv("TZ", saved.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
}

TEST_F(PosixFileSystemTest, MissingFolderFailsAndPathsJoinOnce) {
    std::vector<std::string> subfolders;
    EXPECT_FALSE(fs.ReadFolder(scratch.File("nope"), [](const FileInfo&) {}, subfolders));
    EXPECT_EQ(fs.JoinPath("/", "etc"), "/etc");
    EXPECT_EQ(fs.JoinPath("/srv", "a"), "/srv/a");
}

// The document through the read-ahead is the document without it, and a folder the walk leaves
// out is at most read itself: nothing below it is.
TEST(ReadAheadTest, SameDocumentAndNothingReadBelowWhatTheWalkLeavesOut) {
    FakeFileSystem fs;
    fs.Add("C:\\R").files = {FakeFileSystem::File("r.txt")};
    for (const char* top : {"A", "Skip", "C"}) {
        std::string path = std::string("C:\\R\\") + top;
        fs.Add(path).files = {FakeFileSystem::File(std::string(top) + ".txt", 7)};
        for (int i = 0; i < 30; ++i) fs.Add(path + "\\" + std::to_string(i)).files = {FakeFileSystem::File("f")};
    }
    MemoryStore store;
    store.Write(key::kFolExclude.section, key::kFolExclude.name, "*\\skip");
    ScratchFolder scratch;
    auto document = [&](FileSystem& walked) {
        RecordingHost host(scratch.File("listing.htm"));
        ListingEngine engine(walked, host, store);
        EXPECT_EQ(engine.BuildListing("C:\\R", 2), RunOutcome::Finished);
        std::ifstream in(host.TemporaryFilePath(), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    std::string plain = document(fs);
    ASSERT_NE(plain.find("C:\\R\\C\\29"), std::string::npos);
    fs.reads.clear();
    {
        ReadAheadFileSystem ahead(fs, 4);
        EXPECT_EQ(document(ahead), plain);
        EXPECT_EQ(document(ahead), plain);  // a second run from the same start folder
    }
    for (const std::string& read : fs.reads) EXPECT_EQ(read.find("C:\\R\\Skip\\"), std::string::npos) << read;

    // Several reading threads, each with a file system of its own, and windows from one folder up;
    // readers beyond the first that join while reads wait on the disk, and stay asleep otherwise.
    struct Readers {
        size_t warm;
        ReadAheadFileSystem::DiskReadCounter diskReads;
        bool extrasMayRead;
    };
    const Readers kinds[] = {
        {SIZE_MAX, ReadAheadFileSystem::BlocksReadByThisThread, true},
        {1, [] { static std::atomic<std::int64_t> blocks{0}; return ++blocks; }, true},  // every read waits
        {1, []() -> std::int64_t { return 7; }, false},                                    // none does
        {1, [] { static std::atomic<std::int64_t> calls{0}; return ++calls / 2; }, false},  // every other one
    };
    for (const Readers& kind : kinds) {
        for (size_t window : {1, 3, 64}) {
            std::vector<FakeFileSystem> copies(3, fs);
            std::vector<FileSystem*> readers;
            for (FakeFileSystem& copy : copies) {
                copy.reads.clear();
                readers.push_back(&copy);
            }
            {
                ReadAheadFileSystem ahead(readers, window, kind.warm, kind.diskReads);
                EXPECT_EQ(document(ahead), plain) << window;
                EXPECT_EQ(document(ahead), plain) << window;
            }
            for (const FakeFileSystem& copy : copies) {
                for (const std::string& read : copy.reads) EXPECT_EQ(read.find("C:\\R\\Skip\\"), std::string::npos) << read;
                if (!kind.extrasMayRead && &copy != &copies[0]) {
                    EXPECT_TRUE(copy.reads.empty()) << window;
                }
            }
        }
    }

    store.Write(key::kRecurse.section, key::kRecurse.name, "No");
    fs.reads.clear();
    {
        ReadAheadFileSystem ahead(fs, 4);
        document(ahead);
    }
    EXPECT_LE(fs.reads.size(), 1u + 4u + 1u);  // the start folder, a window of its subfolders
    for (const std::string& read : fs.reads) EXPECT_LE(FolderLevel(read, "C:\\R"), 1) << read;
}

// Folders read ahead once the readers have settled, waiting for them; SIZE_MAX if they never do.
size_t SettledAhead(ReadAheadFileSystem& ahead) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        if (std::optional<size_t> folders = ahead.FoldersAheadOnceSettled()) return *folders;
        if (std::chrono::steady_clock::now() > deadline) return SIZE_MAX;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// A walk from a folder not predicted starts afresh: nothing an abandoned walk read ahead or
// predicted stands in for a folder of the new one.
TEST(ReadAheadTest, ANewWalkForgetsWhatTheLastOneLeft) {
    FakeFileSystem fs;
    for (const char* path : {"R", "R\\A", "R\\A\\0", "R\\A\\0\\0", "R\\A\\0\\1", "R\\A\\1", "R\\B", "S", "S\\X", "S\\Y",
                             "S\\W", "S\\Z"}) {
        fs.Add(std::string("C:\\") + path);
    }
    fs.folders["C:\\R\\B"].files = {FakeFileSystem::File("b")};
    fs.folders["C:\\S\\Y"].files = {FakeFileSystem::File("y")};
    ReadAheadFileSystem ahead(fs, 2);
    auto read = [&](const std::string& folder) {
        std::vector<std::string> names, subfolders;
        EXPECT_TRUE(ahead.ReadFolder(folder, [&](const FileInfo& file) { names.push_back(file.name); }, subfolders));
        return names;
    };
    for (const char* folder : {"C:\\R", "C:\\R\\A", "C:\\R\\A\\0"}) read(folder);
    ASSERT_EQ(SettledAhead(ahead), 4u);  // R\A\0\0, R\A\0\1, R\A\1 and R\B, then the walk is given up
    read("C:\\S");
    read("C:\\S\\X");
    EXPECT_EQ(read("C:\\S\\Y"), std::vector<std::string>{"y"});  // in the place R\B had
    EXPECT_EQ(read("C:\\R\\B"), std::vector<std::string>{"b"});  // predicted by the first walk only
    // Folders the walk skipped may start walks of their own: X read ahead, W not yet read.
    for (const char* skipped : {"C:\\S\\X", "C:\\S\\W"}) {
        read("C:\\S");
        read("C:\\S\\Z");
        EXPECT_TRUE(read(skipped).empty()) << skipped;
    }
}

// The count the extra readers go by: blocks of 512 bytes this thread read from the disk, as the
// kernel's own per-thread account has them (a read past the cache makes it more than 0 where the
// file system allows one).
TEST(ReadAheadTest, BlocksReadByThisThreadAreTheKernelsAccount) {
    ScratchFolder scratch;
    const std::string path = scratch.File("direct.bin");
    std::ofstream(path, std::ios::binary) << std::string(1 << 16, 'x');
    const int direct = ::open(path.c_str(), O_RDONLY | O_DIRECT);
    void* buffer = nullptr;
    if (direct >= 0 && ::posix_memalign(&buffer, 4096, 1 << 16) == 0) {
        EXPECT_EQ(::pread(direct, buffer, 1 << 16, 0), 1 << 16) << std::strerror(errno);
    }
    std::free(buffer);
    if (direct >= 0) ::close(direct);
    // The kernel's count before and after: a page of this program read in between counts too.
    const auto accounted = [] {
        std::ifstream io("/proc/thread-self/io");
        std::string key;
        std::int64_t bytes = -1;
        while (io >> key && key != "read_bytes:") io.ignore(256, '\n');
        return io >> bytes ? bytes / 512 : -1;
    };
    if (accounted() < 0) GTEST_SKIP() << "no per-thread account of reads here";
    const std::int64_t before = accounted();
    const std::int64_t blocks = ReadAheadFileSystem::BlocksReadByThisThread();
    const std::int64_t after = accounted();
    EXPECT_LE(before, blocks);
    EXPECT_LE(blocks, after);
}

// Disk reads as the reading threads see them, by a script of one letter a read: D waited on the
// disk, W did not; once the script ends, every read is warm. A thread asks once before its first
// read and once after each, so a script must end before extra readers start (at the join).
std::atomic<size_t> scriptCalls{0};
std::string diskScript;
std::int64_t ScriptedDiskReads() {
    const size_t read = std::min(scriptCalls++, diskScript.size());
    return std::count(diskScript.begin(), diskScript.begin() + read, 'D');
}

// Extra readers join after three disk reads in a row and stop taking folders after two windows of
// warm reads; nothing else starts a thread.
TEST(ReadAheadTest, ExtraReadersJoinAfterThreeDiskReadsInARowAndLeaveAfterTwoWarmWindows) {
    struct Row {
        const char* script;
        size_t window, subfolders, warm, started, taking;
    };
    const Row rows[] = {
        {"", 1, 3, 1, 1, 1},       // a warm walk starts the warm readers only
        {"", 1, 3, 0, 1, 1},       // at least one reader, whatever is asked
        {"DD", 1, 3, 1, 1, 1},     // two disk reads are not enough
        {"DWDD", 1, 4, 1, 1, 1},   // a warm read starts the count again
        {"DDD", 1, 3, 1, 3, 3},    // three in a row: all readers, still taking after 1 warm read
        {"DDD", 2, 5, 1, 3, 3},    // 3 warm reads, below two windows of 2
        {"DDD", 2, 6, 1, 3, 1},    // 4 warm reads: back to the warm reader
    };
    for (const Row& row : rows) {
        FakeFileSystem fs;
        std::vector<std::string> names;
        fs.Add("C:\\R");
        for (size_t i = 0; i < row.subfolders; ++i) {
            names.push_back("C:\\R\\" + std::to_string(i));
            fs.Add(names.back());
        }
        std::vector<FakeFileSystem> copies(3, fs);
        std::vector<FileSystem*> readers;
        for (FakeFileSystem& copy : copies) readers.push_back(&copy);
        scriptCalls = 0;
        diskScript = row.script;
        ReadAheadFileSystem ahead(readers, row.window, row.warm, ScriptedDiskReads);
        std::vector<std::string> subfolders;
        ASSERT_TRUE(ahead.ReadFolder("C:\\R", [](const FileInfo&) {}, subfolders));
        ASSERT_EQ(subfolders, names);
        for (const std::string& name : names) {
            std::vector<std::string> none;
            ASSERT_TRUE(ahead.ReadFolder(name, [](const FileInfo&) {}, none)) << name;
        }
        // Every folder has been read and counted before it was handed out.
        EXPECT_EQ(ahead.ReadersStarted(), row.started) << row.script << " " << row.subfolders;
        EXPECT_EQ(ahead.ReadersTakingFolders(), row.taking) << row.script << " " << row.subfolders;
    }
}

// How far the reader runs ahead of a walk through a flat folder: up to the window (at least one
// folder), or until the files read ahead reach their bound; woken again only once the walk has used
// up half the window. Each row gives the subfolders' file counts and the folders read ahead once
// the reader settles: after the start folder, then after each subfolder.
TEST(ReadAheadTest, ReadsAheadUpToTheWindowAndTheFileBoundInBatches) {
    struct Row {
        size_t window;
        std::vector<size_t> files;
        std::vector<size_t> ahead;
    };
    const std::vector<size_t> tenOfOne(10, 1);
    const Row rows[] = {
        {4, tenOfOne, {4, 3, 4, 3, 4, 3, 4, 3, 2, 1, 0}},
        {1, tenOfOne, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}},
        {0, tenOfOne, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}},
        {8, {19999, 1, 5, 5, 5}, {2, 4, 3, 2, 1, 0}},
        {8, {20000, 1, 5}, {1, 2, 1, 0}},
    };
    for (const Row& row : rows) {
        FakeFileSystem fs;
        fs.Add("C:\\R");
        for (size_t i = 0; i < row.files.size(); ++i) {
            fs.Add("C:\\R\\" + std::to_string(i)).files.assign(row.files[i], FakeFileSystem::File("f"));
        }
        ReadAheadFileSystem ahead(fs, row.window);
        std::vector<std::string> subfolders;
        ASSERT_TRUE(ahead.ReadFolder("C:\\R", [](const FileInfo&) {}, subfolders));
        std::vector<size_t> seen{SettledAhead(ahead)};
        for (const std::string& sub : subfolders) {
            std::vector<std::string> none;
            ASSERT_TRUE(ahead.ReadFolder(sub, [](const FileInfo&) {}, none));
            seen.push_back(SettledAhead(ahead));
        }
        EXPECT_EQ(seen, row.ahead) << "window " << row.window << ", " << row.files.size() << " subfolders";
    }

    // Deep first folders: what is read ahead of the walk (later siblings of the folders it is in)
    // counts towards twice the window in all.
    FakeFileSystem fs;
    for (const char* path : {"R", "R\\A", "R\\A\\0", "R\\A\\0\\0", "R\\A\\0\\0\\0", "R\\A\\0\\0\\1", "R\\A\\0\\1",
                             "R\\A\\1", "R\\B", "R\\C", "R\\D"}) {
        fs.Add(std::string("C:\\") + path);
    }
    ReadAheadFileSystem ahead(fs, 2);
    std::vector<size_t> seen;
    std::function<void(const std::string&)> walk = [&](const std::string& folder) {
        std::vector<std::string> subfolders;
        ASSERT_TRUE(ahead.ReadFolder(folder, [](const FileInfo&) {}, subfolders));
        seen.push_back(SettledAhead(ahead));
        for (const std::string& sub : subfolders) walk(sub);
    };
    walk("C:\\R");
    EXPECT_EQ(seen, (std::vector<size_t>{2, 3, 4, 4, 4, 3, 2, 2, 2, 1, 0}));
}

// The folder the walk waits for is read even when the files read ahead are at their bound (a later
// sibling holds them all); a reader that runs out of memory hands the folder out as unreadable,
// empty and without links.
TEST(ReadAheadTest, TheWantedFolderIsReadPastTheBoundAndOutOfMemoryIsUnreadable) {
    struct OutOfMemory : FakeFileSystem {
        bool ReadFolder(const std::string& folder, const std::function<void(const FileInfo&)>& onFile,
                        std::vector<std::string>& subfolders) override {
            if (folder == "C:\\R\\0\\x") throw std::bad_alloc();
            return FakeFileSystem::ReadFolder(folder, onFile, subfolders);
        }
    } fs;
    fs.Add("C:\\R");
    fs.Add("C:\\R\\0");
    fs.Add("C:\\R\\0\\x");
    fs.Add("C:\\R\\1").files.assign(ReadAheadFileSystem::kMaxFilesAhead, FakeFileSystem::File("f"));
    ReadAheadFileSystem ahead(fs, 8);
    std::vector<std::string> subfolders;
    ASSERT_TRUE(ahead.ReadFolder("C:\\R", [](const FileInfo&) {}, subfolders));
    ASSERT_EQ(SettledAhead(ahead), 2u);  // both subfolders, the second at the bound
    ASSERT_TRUE(ahead.ReadFolder("C:\\R\\0", [](const FileInfo&) {}, subfolders));
    size_t files = 0;
    std::vector<std::string> none;
    EXPECT_FALSE(ahead.ReadFolder("C:\\R\\0\\x", [&](const FileInfo&) { ++files; }, none));
    EXPECT_EQ(files, 0u);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(ahead.LinksNotFollowed(), 0);
}

}  // namespace
}  // namespace tessory
