#pragma once
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "listing/file_system.h"
#include "listing/run_host.h"

namespace tessory {

// Folders held in memory: files in the order given, subfolders by full path.
class FakeFileSystem : public FileSystem {
public:
    struct Folder {
        std::vector<FileInfo> files;
        std::vector<std::string> subfolders;
        bool readable = true;
    };

    Folder& Add(const std::string& path) {
        auto& folder = folders[path];
        size_t cut = path.rfind('\\');
        if (cut != std::string::npos && cut > 0) {
            std::string parent = path.substr(0, cut == 2 ? 3 : cut);
            if (folders.count(parent) && parent != path) folders[parent].subfolders.push_back(path);
        }
        return folder;
    }
    static FileInfo File(std::string name, std::uint64_t length = 10, DateTime modified = {2004, 2, 3, 10, 0, 0},
                         std::uint32_t attributes = kAttrArchive) {
        return FileInfo{std::move(name), length, modified, attributes};
    }

    bool ReadFolder(const std::string& folder, const std::function<void(const FileInfo&)>& onFile,
                    std::vector<std::string>& subfolders) override {
        reads.push_back(folder);
        auto it = folders.find(folder);
        if (it == folders.end() || !it->second.readable) return false;
        for (const FileInfo& f : it->second.files) onFile(f);
        subfolders.insert(subfolders.end(), it->second.subfolders.begin(), it->second.subfolders.end());
        return true;
    }
    std::string TypeName(const std::string& fileName) override {
        if (auto it = types.find(fileName); it != types.end()) return it->second;
        size_t dot = fileName.rfind('.');
        return dot == std::string::npos ? "File" : "Type " + fileName.substr(dot + 1);
    }
    std::string JoinPath(const std::string& folder, const std::string& name) const override {
        return folder.back() == '\\' ? folder + name : folder + "\\" + name;
    }

    std::map<std::string, Folder> folders;
    std::vector<std::string> reads;  // every folder asked for, in order
    std::map<std::string, std::string> types;  // type texts by file name, instead of "Type <ext>"
};

// Records what the run asked of its host; hooks let a test act while the run is in progress.
class RecordingHost : public RunHost {
public:
    explicit RecordingHost(std::string tempPath) : tempPath_(std::move(tempPath)) {}

    void SetBusy(bool busy) override { busyChanges.push_back(busy); }
    void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void LetEventsRun() override {
        ++eventTurns;
        if (onEvents) onEvents();
    }
    std::string TemporaryFilePath() override { return tempPath_; }
    void ShowDocument(const std::string& path) override { shown.push_back(path); }
    std::optional<std::string> AskSavePath() override { return savePath; }
    void DocumentSaved(const std::string& path) override { saved.push_back(path); }

    std::vector<bool> busyChanges;
    std::vector<std::string> statusTexts, shown, saved;
    std::optional<std::string> savePath;
    std::function<void()> onEvents;
    int eventTurns = 0;

private:
    std::string tempPath_;
};

// A fresh folder under the system's temporary folder, removed with the object.
class ScratchFolder {
public:
    ScratchFolder() {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("tessory-test-" + std::to_string(std::chrono::system_clock::now().time_since_epoch().count()) + "-" +
                 std::to_string(++counter));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace tessory
