#pragma once
// Where the tool's listing goes, and how it gets there without harming what is already there.
//
// A new listing for a plain file is written to a new file beside it and renamed over it once
// complete (a failed or interrupted run leaves the previous output as it was); a link is followed
// and its final target replaced the same way; a FIFO, device or socket is written to directly,
// since renaming over it would put a plain file in its place. Standard output is written directly
// when it is a pipe or terminal, and otherwise (a redirected file) through an unnamed file that
// is copied out once the listing is complete.

#include <sys/types.h>

#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_io.h"

namespace tessory {

class OutputTarget {
public:
    OutputTarget() = default;
    ~OutputTarget();  // discards a file that was not committed
    OutputTarget(const OutputTarget&) = delete;
    OutputTarget& operator=(const OutputTarget&) = delete;

    // The -o file. False, with error, when it cannot be written.
    bool OpenFile(const std::string& path, std::string& error);
    // Standard output, given as out; direct: out is a pipe or terminal (needs no temporary file).
    bool OpenStream(std::ostream& out, bool direct, std::string& error);

    std::FILE* File() const { return file_.get(); }
    // Files that the listing must leave out: the output, what its link points to, the new file.
    const std::vector<std::string>& OwnFiles() const { return ownFiles_; }
    // The name failures are reported under.
    const std::string& ShownName() const { return shownName_; }

    // Makes the listing the output: flushes it to the disk and renames it into place, or copies
    // it to the stream. False, with error, when that failed (the previous output is kept).
    bool Commit(std::string& error);
    // Removes the new file; the output stays as it was.
    void Discard();

private:
    enum class Kind { None, Replace, Direct, Stream, BufferedStream };

    bool CreateBeside(const std::string& target, std::string& error);

    Kind kind_ = Kind::None;
    // The file's stdio buffer: stdio picks a block-sized one of its own when given no storage,
    // whatever size it is asked for. Declared before file_, so that it outlives the file.
    std::unique_ptr<char[]> buffer_;
    UniqueFile file_;
    std::string newPath_;   // the new file beside the output (Replace)
    std::string target_;    // what is replaced: the output, or its link's final target
    bool keepOwner_ = false;
    mode_t mode_ = 0;
    uid_t owner_ = 0;
    gid_t group_ = 0;
    std::ostream* stream_ = nullptr;
    std::vector<std::string> ownFiles_;
    std::string shownName_;
};

}  // namespace tessory
