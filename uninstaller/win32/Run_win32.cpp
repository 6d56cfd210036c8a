#include "Run_win32.h"

#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "Closing_win32.h"
#include "Dialogs_win32.h"
#include "FileSystem_win32.h"
#include "Journal_win32.h"
#include "OwnFile_win32.h"
#include "Handles_win32.h"
#include "ProgressWindow.h"
#include "RecordFormat.h"
#include "RecordTrailer.h"
#include "Registry_win32.h"
#include "RestartDelete_win32.h"
#include "RunRules.h"
#include "SystemLibraries_win32.h"
#include "Text_win32.h"

namespace corvel {

namespace {

enum class ReadResult { kOk, kCannotOpen, kNoMemory, kCorrupt };

// Reads the stored record at the end of `path`.
ReadResult readRecord(const std::wstring& path, TextBuffer& storedRecord) {
    UniqueHandle file(openForReading(path));
    if (!file.valid()) return ReadResult::kCannotOpen;
    // GetFileSize is on every Windows; a file past 2 GB cannot carry a record anyway.
    DWORD high = 0;
    const DWORD low = GetFileSize(file.get(), &high);
    if ((low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 || low > 0x7FFFFFFF)
        return ReadResult::kCorrupt;
    const ReadAt readAt = [&file](uint32_t offset, uint32_t count, unsigned char* out) {
        DWORD got = 0;
        return SetFilePointer(file.get(), static_cast<LONG>(offset), nullptr, FILE_BEGIN) == offset &&
               ReadFile(file.get(), out, count, &got, nullptr) && got == count;
    };
    StoredRecordPlace place;
    if (!locateStoredRecord(low, readAt, place)) return ReadResult::kCorrupt;
    const DWORD start = place.offset;
    const DWORD length = place.length;
    DWORD got = 0;
    std::string stored;
    try {
        stored.resize(length);
    } catch (const std::bad_alloc&) {
        return ReadResult::kNoMemory;
    }
    SetFilePointer(file.get(), static_cast<LONG>(start), nullptr, FILE_BEGIN);
    if (length > 0 && (!ReadFile(file.get(), &stored[0], length, &got, nullptr) || got != length)) return ReadResult::kCorrupt;
    file.reset();
    storedRecord = TextBuffer(std::move(stored));
    return ReadResult::kOk;
}

// Takes and dispatches what is queued, without waiting. A quit request posted before the
// end of the run is dropped here: closing does not stop a removal half way.
void processPending(HWND window) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        if (window && IsDialogMessageA(window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

#ifdef CORVEL_STOP_SEAM
// Test builds only: CORVEL_STOP_AFTER "shared:N" ends the process as a crash would, once the
// first N shared lines are done and before line N + 1 is recorded.
class StoppingStore : public JournalStore {
public:
    explicit StoppingStore(JournalStore& inner) : inner_(inner) {}
    bool save(const JournalState& state) override {
        char stopAfter[32] = {};
        const DWORD n = GetEnvironmentVariableA("CORVEL_STOP_AFTER", stopAfter, sizeof stopAfter);
        if (n > 7 && n < sizeof stopAfter && std::string(stopAfter, 7) == "shared:" && !(state.stages & journal::kShared) &&
            state.sharedDone == static_cast<uint32_t>(atoi(stopAfter + 7)) + 1)
            ExitProcess(3);
        return inner_.save(state);
    }

private:
    JournalStore& inner_;
};
#endif

class Run : public ProgressWindowEvents {
public:
    Run(HINSTANCE instance, const char* commandLine) : instance_(instance) {
        switches_ = parseSwitches(TextBuffer(commandLine ? commandLine : ""));
    }

    int execute();

    bool onInitialise(ProgressWindow& window) override {
        for (int id = control::kFirstStatusMark; id <= control::kLastStatusMark; ++id) window.showControl(id, false);
        window.showControl(control::kEndNotice, false);
        window.showControl(control::kProblemsNotice, false);
        window.enableControl(control::kDetails, false);
        window.enableControl(control::kClose, false);
        TextBuffer product(window.controlTextUtf8(control::kProduct));
        substituteFirst(product, product_.name);
        window.setControlTextUtf8(control::kProduct, product.str());
        return true;
    }

    bool onClose(ProgressWindow&) override {
        closingActions();
        return true;
    }

    bool onCommand(ProgressWindow& window, int controlId) override {
        if (controlId == control::kDetails) {
            showDetails(instance_, owner(),
                        makeDetailsContent(record_.strings, logs_, window.controlTextUtf8(control::kClose),
                                           window.controlTextUtf8(control::kDetails)));
            return true;
        }
        if (controlId == control::kClose) {
            closingActions();
            return true;
        }
        return false;
    }

private:
    HWND owner() const { return window_ ? static_cast<HWND>(window_->handle()) : nullptr; }
    std::string text(int32_t key) const { return record_.strings.lookup(key).str(); }

    void message(const char* text, UINT flags) {
        if (!switches_.silent) messageBoxUtf8(nullptr, text, caption_.str(), flags);
    }

    void closingActions() {
        runClosingActions(owner(), restartNeeded_, text(record::kRestartQuestion), caption_.str());
    }

    void showMark(int id) {
        if (switches_.silent) return;
        if (window_) window_->showControl(id, true);
        processPending(owner());
    }

    bool preRemovalVetoes();
    void buildWindow();
    void moveOutOfFolder();
    void scheduleOwnDeletion();
    bool takeSingleInstance();
    void openJournal(uint64_t recordHash);
    void stageDone(uint32_t stage, const char* name, bool complete = true);
    int finish();

    HINSTANCE instance_;
    Switches switches_;
    TextBuffer caption_{kDefaultCaption};
    PlainRecord record_;
    ProductLine product_;
    Sections sections_;
    RemovalLogs logs_;
    bool restartNeeded_ = false;
    std::wstring ownPath_;
    Win32JournalStore journalStore_;
#ifdef CORVEL_STOP_SEAM
    StoppingStore stoppingStore_{journalStore_};
#endif
    std::unique_ptr<ProgressJournal> journal_;
    UniqueHandle mutex_;
    std::unique_ptr<ProgressWindow> window_;
};

bool Run::preRemovalVetoes() {
    if (!shouldRunPreRemoval(product_.runCode, product_.command)) return false;
    std::string command = product_.command.str();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr,
                        &startup, &info)) {
        return false;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &info.hProcess, FALSE, INFINITE, QS_ALLINPUT);
        if (woke != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return true;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    Sleep(50);
    DWORD code = 1;
    if (!GetExitCodeProcess(process.get(), &code)) code = 1;
    return !preRemovalPasses(product_.command, code);
}

void Run::buildWindow() {
    window_ = createProgressWindow();
    if (!window_) return;
    WindowSource source;
    source.windowTemplate = {reinterpret_cast<const unsigned char*>(record_.windowTemplate.data()),
                             static_cast<size_t>(record_.windowTemplate.length())};
    source.images = &record_.images;
    source.language = record_.strings.language();
    source.captionUtf8 = caption_.str();
    if (window_->build(source, *this, instance_) != 1 || !window_->handle()) {
        window_.reset();
        return;
    }
    window_->setTitleUtf8(caption_.str());
    processPending(owner());
}

void Run::moveOutOfFolder() {
    const size_t slash = ownPath_.rfind(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : ownPath_.substr(0, slash);
    if (upperCased(folder) == upperCased(windowsFolder())) return;
    const std::wstring name = newTempFileName();
    if (name.empty()) return;
    deleteFileAnyAttributes(name);
    if (moveFile(ownPath_, name)) {
        ownPath_ = name;
        journalStore_.setPath(ownPath_, fileIdentity(ownPath_).changeTime);
    }
}

bool Run::takeSingleInstance() {
    const TextBuffer product(product_.name.c_str());
    for (bool global : {true, false}) {
        mutex_.reset(CreateMutexA(nullptr, TRUE, mutexName(product, global).c_str()));
        switch (checkInstance(mutex_.valid(), GetLastError(), global)) {
        case InstanceCheck::kOnly:
            return true;
        case InstanceCheck::kAnother:
            return false;
        case InstanceCheck::kNoGlobalNamespace:
            break;
        }
    }
    return false;
}

void Run::scheduleOwnDeletion() {
    const std::wstring bak = ownPath_ + L".bak";
    deleteFileAnyAttributes(bak);
    if (moveFile(ownPath_, bak)) {
        ownPath_ = bak;
        journalStore_.setPath(ownPath_, fileIdentity(ownPath_).changeTime);
    }
    // When not even wininit.ini could take it, the user at least sees the file in the details.
    if (!deleteAtRestart(ownPath_)) appendUniqueLine(logs_.files, TextBuffer(wideToAnsi(ownPath_)));
}

void Run::openJournal(uint64_t recordHash) {
    // The identity is taken once, before the run moves its own file.
    const FileIdentity id = fileIdentity(ownPath_);
    const std::string own = id.known ? journalName(recordHash, id.volumeSerial, id.fileIndex, id.lastWrite) : std::string();
    VolumeFileLookup files;
    pruneJournal(own, files);
    JournalState loaded;
    // Without an identity or a writable key the run goes on as it always did, unguarded.
    if (!id.known || !journalStore_.open(own, id.changeTime, loaded)) return;
    journalStore_.setPath(ownPath_, id.changeTime);
#ifdef CORVEL_STOP_SEAM
    journal_ = std::make_unique<ProgressJournal>(stoppingStore_, loaded);
#else
    journal_ = std::make_unique<ProgressJournal>(journalStore_, loaded);
#endif
}

// A stage that could not be done whole is not marked, so that a repeat does it again.
void Run::stageDone(uint32_t stage, const char* name, bool complete) {
    if (journal_ && complete) journal_->markStage(stage);
#ifdef CORVEL_STOP_SEAM
    // Test builds only: ends the process as a crash would, right after the named stage.
    char stopAfter[32] = {};
    const DWORD n = GetEnvironmentVariableA("CORVEL_STOP_AFTER", stopAfter, sizeof stopAfter);
    if (n > 0 && n < sizeof stopAfter && lstrcmpiA(stopAfter, name) == 0) ExitProcess(3);
#else
    (void)name;
#endif
}

int Run::execute() {
    initCommonControls();
    ntFamily();
    ownPath_ = ownModulePath();
    TextBuffer stored;
    ReadResult read = readRecord(ownPath_, stored);
    uint64_t recordHash = 0;
    if (read == ReadResult::kOk) {
        DecodedRecord decoded;
        const RecordRead result = decodeStoredRecord(stored, decoded);
        stored = TextBuffer();
        read = result == RecordRead::kNoMemory ? ReadResult::kNoMemory
               : result == RecordRead::kCorrupt ? ReadResult::kCorrupt
                                                : ReadResult::kOk;
        record_ = std::move(decoded.record);
        product_ = std::move(decoded.product);
        sections_ = std::move(decoded.sections);
        recordHash = decoded.hash;
    }
    switch (read) {
    case ReadResult::kCannotOpen:
        message(kCannotRead, MB_OK | MB_ICONERROR);
        return 0;
    case ReadResult::kNoMemory:
        message(kOutOfMemory, MB_OK | MB_ICONERROR);
        return 0;
    case ReadResult::kCorrupt:
        message(kCorrupt, MB_OK | MB_ICONERROR);
        return 0;
    case ReadResult::kOk:
        break;
    }
    if (!record_.hasHeader) switches_.silent = true;

    TextBuffer caption = record_.strings.lookup(record::kWindowTitle);
    substituteFirst(caption, product_.name);
    caption_ = limitCaption(caption);

    if (!takeSingleInstance()) return 0;

    if (!switches_.silent && !switches_.noQuery) {
        TextBuffer question = record_.strings.lookup(record::kConfirm);
        substituteFirst(question, product_.name);
        if (!isConsent(messageBoxUtf8(nullptr, question.str(), caption_.str(), MB_YESNO | MB_ICONQUESTION))) return 0;
    }
    if (preRemovalVetoes()) return 0;
    if (!switches_.silent) buildWindow();

    Win32Registry registry;
    if (ntFamily() && !sections_.registry.empty() &&
        !walkRegistryTree(registry, sections_.registry, WalkMode::kCheck, nullptr)) {
        if (!switches_.silent) messageBoxUtf8(owner(), text(record::kRegistryCheckFailed), caption_.str(), MB_OK);
        return 0;
    }
    showMark(61);
    openJournal(recordHash);

    Win32FileSystem fs;
    bool sharedComplete = false;
    {
        Win32SharedCounts counts;
        const bool opened = counts.open();
        SharedFileDialog dialog(instance_, owner(), record_.strings);
        sharedComplete = removeSharedFiles(sections_.shared, opened ? &counts : nullptr, fs,
                                           switches_.silent ? nullptr : &dialog, switches_.silent, logs_, journal_.get());
    }
    stageDone(journal::kShared, "shared", sharedComplete);
    showMark(62);

    // A repeated run finds its backups already restored or deleted: it neither asks again nor
    // reports their targets.
    if (sections_.backups.length() > 2 && !(journal_ && journal_->stageDone(journal::kBackups))) {
        const bool restore = !switches_.silent &&
                             messageBoxUtf8(owner(), text(record::kRestoreQuestion), caption_.str(), MB_YESNO) == IDYES;
        processBackups(sections_.backups, fs, restore, logs_);
    }
    stageDone(journal::kBackups, "backups");
    showMark(63);

    removeFiles(sections_.files, fs, logs_);
    stageDone(journal::kFiles, "files");
    showMark(64);

    if (!switches_.noRemove) moveOutOfFolder();
    SetCurrentDirectoryA("c:\\");
    removeDirectories(sections_.directories, fs, logs_);
    stageDone(journal::kDirectories, "directories");
    showMark(65);

    if (!sections_.registry.empty()) walkRegistryTree(registry, sections_.registry, WalkMode::kDelete, &logs_.keys);
    stageDone(journal::kRegistry, "registry");
    if (!switches_.noRemove) scheduleOwnDeletion();

    Win32RestartScheduler scheduler;
    // A restart is offered only for what is really waiting for it.
    restartNeeded_ = scheduleInUse(logs_, scheduler) || logs_.replacementScheduled;
    stageDone(journal::kComplete, "complete");
    return finish();
}

int Run::finish() {
    if (switches_.silent) return 1;
    HWND window = owner();
    if (window_) {
        window_->enableControl(control::kClose, true);
        window_->makeDefaultAndFocus(control::kClose);
        window_->showControl(control::kEndNotice, true);
        if (logs_.anyNotRemoved()) {
            window_->enableControl(control::kDetails, true);
            window_->showControl(control::kProblemsNotice, true);
        }
    } else {
        // Without a window nobody could close it: the closing actions follow at once.
        closingActions();
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (window && IsDialogMessageA(window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 1;
}

}  // namespace

int runUninstaller(HINSTANCE instance, const char* commandLine) {
    restrictLibrarySearch();
    // The containers throw when memory runs out; the run ends as an early stop, never by
    // terminating. Reading the record reports it with its own message before this.
    try {
        Run run(instance, commandLine);
        return run.execute();
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

}  // namespace corvel
