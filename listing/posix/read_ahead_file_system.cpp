#include "read_ahead_file_system.h"

#include <exception>

namespace tessory {

ReadAheadFileSystem::ReadAheadFileSystem(FileSystem& inner, size_t window)
    : inner_(inner), window_(window < 1 ? 1 : window), reader_([this] { ReadLoop(); }) {}

ReadAheadFileSystem::~ReadAheadFileSystem() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

void ReadAheadFileSystem::ReadLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        // The folder the walk waits for is read even when the window is full of later ones.
        changed_.wait(lock, [this] {
            return quit_ || (!toRead_.empty() && (ready_.size() < window_ || toRead_.begin()->second == wanted_));
        });
        if (quit_) return;
        auto next = toRead_.begin();
        Place place = next->first;
        std::string folder = std::move(next->second);
        toRead_.erase(next);
        lock.unlock();

        Result result;
        try {
            std::int64_t linksBefore = inner_.LinksNotFollowed();
            result.ok = inner_.ReadFolder(
                folder, [&](const FileInfo& file) { result.files.push_back(file); }, result.subfolders);
            result.linksNotFollowed = inner_.LinksNotFollowed() - linksBefore;
        } catch (const std::exception&) {
            result = Result{};  // out of memory: the walk sees the folder as unreadable
        }

        lock.lock();
        // Keep it only if the walk may still ask for it.
        auto known = placeOf_.find(folder);
        if (known != placeOf_.end() && known->second == place) ready_[folder] = std::move(result);
        changed_.notify_all();
    }
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
            toRead_[place] = folder;
            placeOf_[folder] = place;
        } else {
            place = known->second;
            // Folders predicted before this one were left out by the walk, with all below them.
            for (auto it = toRead_.begin(); it != toRead_.end() && it->first < place; it = toRead_.erase(it)) {
                placeOf_.erase(it->second);
            }
            for (auto it = ready_.begin(); it != ready_.end();) {
                auto p = placeOf_.find(it->first);
                if (p != placeOf_.end() && p->second < place) {
                    placeOf_.erase(p);
                    it = ready_.erase(it);
                } else {
                    ++it;
                }
            }
        }
        wanted_ = folder;
        changed_.notify_all();
        changed_.wait(lock, [&] { return ready_.count(folder) != 0; });
        auto found = ready_.find(folder);
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
        changed_.notify_all();
    }
    linksHandedOut_ += result.linksNotFollowed;
    for (const FileInfo& file : result.files) onFile(file);
    subfolders.insert(subfolders.end(), result.subfolders.begin(), result.subfolders.end());
    return result.ok;
}

}  // namespace tessory
