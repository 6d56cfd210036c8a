#include "read_ahead_file_system.h"

#include <sys/resource.h>

#include <algorithm>
#include <exception>
#include <iterator>

namespace tessory {

std::int64_t ReadAheadFileSystem::BlocksReadByThisThread() {
#ifdef RUSAGE_THREAD
    struct rusage usage;
    if (getrusage(RUSAGE_THREAD, &usage) == 0) return usage.ru_inblock;
#endif
    return 0;
}

ReadAheadFileSystem::ReadAheadFileSystem(FileSystem& inner, size_t window)
    : ReadAheadFileSystem(std::vector<FileSystem*>{&inner}, window) {}

ReadAheadFileSystem::ReadAheadFileSystem(const std::vector<FileSystem*>& readers, size_t window, size_t warmReaders,
                                         DiskReadCounter diskReads)
    : first_(*readers.at(0)),
      window_(window < 1 ? 1 : window),
      inner_(readers),
      warmReaders_(std::clamp<size_t>(warmReaders, 1, readers.size())),
      diskReads_(diskReads),
      activeReaders_(warmReaders_) {
    std::lock_guard<std::mutex> lock(mutex_);
    StartReaders(warmReaders_);
}

ReadAheadFileSystem::~ReadAheadFileSystem() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    readersWake_.notify_all();
    extraWake_.notify_all();
    // No reader starts another once quit_ is set.
    for (std::thread& reader : readers_) reader.join();
}

void ReadAheadFileSystem::StartReaders(size_t count) {
    while (readers_.size() < count && !quit_) {
        try {
            const size_t index = readers_.size();
            readers_.emplace_back([this, index] { ReadLoop(index); });
        } catch (const std::exception&) {
            // No more threads to be had: read with those there are.
            activeReaders_ = std::max<size_t>(readers_.size(), 1);
            return;
        }
    }
}

void ReadAheadFileSystem::NoteRead(bool touchedDisk) {
    if (touchedDisk) {
        warmReadsInARow_ = 0;
        // A few blocks dropped from a warm cache are not worth waking a crowd for.
        if (++diskReadsInARow_ >= kDiskReadsToJoin && activeReaders_ < inner_.size()) {
            activeReaders_ = inner_.size();
            StartReaders(activeReaders_);
            if (activeReaders_ > warmReaders_) {
                wakeSent_ = true;
                extraWake_.notify_all();
            }
        }
        return;
    }
    diskReadsInARow_ = 0;
    // Two windows read from memory: the cache holds this part of the tree.
    if (++warmReadsInARow_ >= 2 * window_) activeReaders_ = warmReaders_;
}

size_t ReadAheadFileSystem::ReadersStarted() {
    std::lock_guard<std::mutex> lock(mutex_);
    return readers_.size();
}

size_t ReadAheadFileSystem::ReadersTakingFolders() {
    std::lock_guard<std::mutex> lock(mutex_);
    return activeReaders_;
}

std::optional<size_t> ReadAheadFileSystem::FoldersAheadOnceSettled() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (reading_ != 0 || wakeSent_ || sleepingReaders_ != readers_.size()) return std::nullopt;
    return ready_.size();
}

size_t ReadAheadFileSystem::Lead() const {
    if (toRead_.empty()) return ready_.size() + reading_;
    return reading_ + static_cast<size_t>(std::distance(ready_.begin(), ready_.lower_bound(toRead_.begin()->first)));
}

bool ReadAheadFileSystem::MayReadNext() const {
    if (toRead_.empty()) return false;
    // The folder the walk waits for is read even when the window is full of later ones.
    if (toRead_.begin()->second == wanted_) return true;
    return Lead() < window_ && ready_.size() + reading_ < 2 * window_ && filesReady_ < kMaxFilesAhead;
}

bool ReadAheadFileSystem::WalkMayGo() const {
    auto wanted = placeOf_.find(wanted_);
    if (wanted == placeOf_.end() || ready_.count(wanted->second) == 0) return false;
    // A walk that outruns the readers sleeps until a batch more is read (or the readers stop), not
    // once per folder.
    return reading_ == 0 || readWhileWaiting_ >= (window_ + 3) / 4 || filesReady_ >= kMaxFilesAhead / 2;
}

void ReadAheadFileSystem::WakeReadersIfLow() {
    if (sleepingReaders_ == 0 || !MayReadNext()) return;
    if (Lead() <= window_ / 2 || toRead_.begin()->second == wanted_) {
        wakeSent_ = true;
        readersWake_.notify_all();
        if (activeReaders_ > warmReaders_) extraWake_.notify_all();
    }
}

void ReadAheadFileSystem::ReadLoop(size_t index) {
    std::unique_lock<std::mutex> lock(mutex_);
    FileSystem& inner = *inner_[index];
    std::condition_variable& wake = index < warmReaders_ ? readersWake_ : extraWake_;
    std::int64_t diskReads = diskReads_();
    for (;;) {
        ++sleepingReaders_;
        wake.wait(lock, [&] { return quit_ || (index < activeReaders_ && MayReadNext()); });
        --sleepingReaders_;
        wakeSent_ = false;
        if (quit_) return;
        auto next = toRead_.begin();
        Place place = next->first;
        Result result;
        result.folder = std::move(next->second);
        toRead_.erase(next);
        ++reading_;
        lock.unlock();

        try {
            std::int64_t linksBefore = inner.LinksNotFollowed();
            result.ok = inner.ReadFolder(
                result.folder, [&](const FileInfo& file) { result.files.push_back(file); }, result.subfolders);
            result.linksNotFollowed = inner.LinksNotFollowed() - linksBefore;
        } catch (const std::exception&) {
            // Out of memory: the walk sees the folder as unreadable.
            result.ok = false;
            result.files = {};
            result.subfolders = {};
        }

        const std::int64_t diskReadsBefore = diskReads;
        diskReads = diskReads_();

        lock.lock();
        --reading_;
        NoteRead(diskReads != diskReadsBefore);
        // Keep it only if the walk may still ask for it.
        auto known = placeOf_.find(result.folder);
        if (known != placeOf_.end() && known->second == place) {
            filesReady_ += result.files.size();
            ready_[place] = std::move(result);
            ++readWhileWaiting_;
        }
        if (walkWaiting_ && WalkMayGo()) walkWake_.notify_one();
    }
}

void ReadAheadFileSystem::Forget(std::map<Place, Result>::iterator ready) {
    filesReady_ -= ready->second.files.size();
    placeOf_.erase(ready->second.folder);
    ready_.erase(ready);
}

bool ReadAheadFileSystem::ReadFolder(const std::string& folder, const std::function<void(const FileInfo&)>& onFile,
                                     std::vector<std::string>& subfolders) {
    Result result;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        Place place;
        auto known = placeOf_.find(folder);
        if (known == placeOf_.end()) {
            // Not predicted (a new start folder): forget every prediction and start from this one.
            toRead_.clear();
            placeOf_.clear();
            ready_.clear();
            filesReady_ = 0;
            toRead_[place] = folder;
            placeOf_[folder] = place;
        } else {
            place = known->second;
            // Folders predicted before this one were left out by the walk, with all below them.
            for (auto it = toRead_.begin(); it != toRead_.end() && it->first < place; it = toRead_.erase(it)) {
                placeOf_.erase(it->second);
            }
            while (!ready_.empty() && ready_.begin()->first < place) Forget(ready_.begin());
        }
        wanted_ = folder;
        if (ready_.count(place) == 0) {
            WakeReadersIfLow();
            walkWaiting_ = true;
            readWhileWaiting_ = 0;
            walkWake_.wait(lock, [this] { return WalkMayGo(); });
            walkWaiting_ = false;
        }
        auto found = ready_.find(place);
        filesReady_ -= found->second.files.size();
        result = std::move(found->second);
        ready_.erase(found);
        placeOf_.erase(folder);
        wanted_.clear();
        // Its subfolders come next in the walk, before this folder's later siblings.
        for (std::uint32_t i = 0; i < result.subfolders.size(); ++i) {
            Place child = place;
            child.push_back(i);
            toRead_[child] = result.subfolders[i];
            placeOf_[result.subfolders[i]] = std::move(child);
        }
        WakeReadersIfLow();
    }
    linksHandedOut_ += result.linksNotFollowed;
    for (const FileInfo& file : result.files) onFile(file);
    subfolders.insert(subfolders.end(), result.subfolders.begin(), result.subfolders.end());
    return result.ok;
}

}  // namespace tessory
