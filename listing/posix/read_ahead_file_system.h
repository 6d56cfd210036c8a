#pragma once
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "listing/file_system.h"

namespace tessory {

// Reads folders on a second thread ahead of the walk, so that reading the next folders overlaps
// formatting and writing the current one. The walk asks for folders in depth-first pre-order,
// taking subfolders in the order ReadFolder gave them; this object predicts that order from the
// folders already handed out and reads at most `window` folders ahead of it. A folder the walk
// leaves out (filter, level limit) costs at most its own read: its subfolders are never predicted.
// Results and their order are exactly those of the wrapped file system, which only the reading
// thread calls (except TypeName and JoinPath, which must be safe to call alongside ReadFolder).
class ReadAheadFileSystem : public FileSystem {
public:
    ReadAheadFileSystem(FileSystem& inner, size_t window);
    ~ReadAheadFileSystem() override;
    ReadAheadFileSystem(const ReadAheadFileSystem&) = delete;
    ReadAheadFileSystem& operator=(const ReadAheadFileSystem&) = delete;

    bool ReadFolder(const std::string& folder, const std::function<void(const FileInfo&)>& onFile,
                    std::vector<std::string>& subfolders) override;
    std::string TypeName(const std::string& fileName) override { return inner_.TypeName(fileName); }
    std::string JoinPath(const std::string& folder, const std::string& name) const override {
        return inner_.JoinPath(folder, name);
    }
    const char* PathSeparators() const override { return inner_.PathSeparators(); }
    // Those of the folders handed out so far; a folder read ahead and then left out counts nothing.
    std::int64_t LinksNotFollowed() const override { return linksHandedOut_; }

private:
    // Place in the predicted walk: the indexes of the subfolders leading to it, compared
    // lexicographically (a prefix first), which is depth-first pre-order.
    using Place = std::vector<std::uint32_t>;
    struct Result {
        bool ok = false;
        std::vector<FileInfo> files;
        std::vector<std::string> subfolders;
        std::int64_t linksNotFollowed = 0;
    };

    void ReadLoop();

    FileSystem& inner_;
    size_t window_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<Place, std::string> toRead_;             // predicted and not yet read, in walk order
    std::unordered_map<std::string, Place> placeOf_;  // predicted folders not yet handed out
    std::unordered_map<std::string, Result> ready_;   // read, not yet handed out
    std::string wanted_;                              // the folder the walk waits for
    bool quit_ = false;
    std::int64_t linksHandedOut_ = 0;  // the walk's thread only
    std::thread reader_;
};

}  // namespace tessory
