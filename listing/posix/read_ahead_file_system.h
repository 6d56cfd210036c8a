#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "listing/file_system.h"

namespace tessory {

// Reads folders on other threads ahead of the walk, so that reading the next folders overlaps
// formatting and writing the current one, and, with several reading threads, so that several
// folders' system calls wait on the disk at once (what a cold cache is made of). The walk asks
// for folders in depth-first pre-order, taking subfolders in the order ReadFolder gave them; this
// object predicts that order from the folders already handed out and reads at most `window`
// folders ahead of it. A folder the walk leaves out (filter, level limit) costs at most its own
// read: its subfolders are never predicted. Results and their order are exactly those of the
// wrapped file systems. Each reading thread calls only its own one; TypeName and JoinPath go to
// the first, from the walk's thread, and must be safe to call alongside ReadFolder.
class ReadAheadFileSystem : public FileSystem {
public:
    // Disk blocks read so far by the calling thread, or 0 where that is not known.
    using DiskReadCounter = std::int64_t (*)();
    static std::int64_t BlocksReadByThisThread();

    // One reading thread.
    ReadAheadFileSystem(FileSystem& inner, size_t window);
    // One reading thread per file system given (at least one); they read the same tree. The first
    // `warmReaders` read from the start; the others join in only while reading folders waits on
    // the disk (`diskReads` goes up across kDiskReadsToJoin reads in a row): from a cold cache the walk's time is spent
    // waiting on inodes, and each reader in a folder of its own keeps one more of them in flight.
    // Once reads stop touching the disk, the extra readers sleep again, so that a warm walk does
    // not pay for their hand-overs.
    ReadAheadFileSystem(const std::vector<FileSystem*>& readers, size_t window, size_t warmReaders = SIZE_MAX,
                        DiskReadCounter diskReads = BlocksReadByThisThread);
    ~ReadAheadFileSystem() override;
    ReadAheadFileSystem(const ReadAheadFileSystem&) = delete;
    ReadAheadFileSystem& operator=(const ReadAheadFileSystem&) = delete;

    bool ReadFolder(const std::string& folder, const std::function<void(const FileInfo&)>& onFile,
                    std::vector<std::string>& subfolders) override;
    std::string TypeName(const std::string& fileName) override { return first_.TypeName(fileName); }
    std::string JoinPath(const std::string& folder, const std::string& name) const override {
        return first_.JoinPath(folder, name);
    }
    const char* PathSeparators() const override { return first_.PathSeparators(); }
    // Those of the folders handed out so far; a folder read ahead and then left out counts nothing.
    std::int64_t LinksNotFollowed() const override { return linksHandedOut_; }

    // Reading threads started so far, and how many of them may take folders now: the warm ones,
    // or all while reads wait on the disk.
    size_t ReadersStarted();
    size_t ReadersTakingFolders();
    // Folders read and not yet handed out, once the readers have settled (each waits for work and
    // none has been woken to take more); nothing while they are still at it.
    std::optional<size_t> FoldersAheadOnceSettled();

    // Files held read but not yet handed out, above which no more folders are read ahead (the
    // folder the walk waits for is always read): many large folders must not fill memory.
    static constexpr size_t kMaxFilesAhead = 20000;
    // Reads in a row that waited on the disk, after which the extra readers join in.
    static constexpr size_t kDiskReadsToJoin = 3;

private:
    // Place in the predicted walk: the indexes of the subfolders leading to it, compared
    // lexicographically (a prefix first), which is depth-first pre-order.
    using Place = std::vector<std::uint32_t>;
    struct Result {
        std::string folder;
        bool ok = false;
        std::vector<FileInfo> files;
        std::vector<std::string> subfolders;
        std::int64_t linksNotFollowed = 0;
    };

    void ReadLoop(size_t index);
    // Under the lock: the reading threads needed now, with those that join on a cold cache.
    void StartReaders(size_t count);
    // Under the lock: counts a read that did or did not wait on the disk, and sets how many
    // readers take folders.
    void NoteRead(bool touchedDisk);
    // Under the lock: the folders read or being read that the walk reaches before the next one
    // still to read. Folders read far ahead (later siblings of the folders the walk is in) do
    // not count, so that they cannot keep the readers from what the walk needs next.
    size_t Lead() const;
    // Under the lock: whether a reading thread may take the next predicted folder (at most
    // `window` folders of lead, twice that in all).
    bool MayReadNext() const;
    // Under the lock: whether the walk, waiting for the folder it wants, may go on.
    bool WalkMayGo() const;
    // Under the lock: wakes sleeping readers once the room ahead is half used up, so that they
    // are woken per batch of folders rather than per folder.
    void WakeReadersIfLow();
    void Forget(std::map<Place, Result>::iterator ready);

    FileSystem& first_;
    size_t window_;
    std::mutex mutex_;
    std::condition_variable readersWake_;  // the first warmReaders_
    std::condition_variable extraWake_;    // the others, woken only while the cache is cold
    std::condition_variable walkWake_;
    std::map<Place, std::string> toRead_;             // predicted and not yet read, in walk order
    std::unordered_map<std::string, Place> placeOf_;  // predicted folders not yet handed out
    std::map<Place, Result> ready_;                   // read, not yet handed out
    size_t filesReady_ = 0;                           // files of the results in ready_
    size_t reading_ = 0;                              // folders being read now
    size_t sleepingReaders_ = 0;
    bool wakeSent_ = false;                           // sleeping readers woken that have not yet run
    std::string wanted_;                              // the folder the walk waits for
    bool walkWaiting_ = false;
    size_t readWhileWaiting_ = 0;                     // folders read since the walk began to wait
    bool quit_ = false;
    std::int64_t linksHandedOut_ = 0;  // the walk's thread only
    std::vector<FileSystem*> inner_;
    size_t warmReaders_;
    DiskReadCounter diskReads_;
    size_t activeReaders_;             // readers that may take a folder now
    size_t warmReadsInARow_ = 0;       // reads that did not wait on the disk, since the last that did
    size_t diskReadsInARow_ = 0;       // reads that did, since the last that did not
    std::vector<std::thread> readers_; // started so far; thread i reads with inner_[i]
};

}  // namespace tessory
