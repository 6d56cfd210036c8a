#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>

#include "listing/listing_engine.h"
#include "listing/win32/win32_file_system.h"
#include "platform/win32/wide_text_win32.h"
#include "settings/memory_store.h"

namespace {

// The engine as Tessory.exe runs it, minus the window: default settings, output mode 2.
class BenchHost : public tessory::RunHost {
public:
    explicit BenchHost(std::string temp) : temp_(std::move(temp)) {}
    void SetBusy(bool) override {}
    void SetStatusText(const std::string&) override {}
    // Dispatches at most every 20 ms: under Wine each PeekMessage is a server round trip, and
    // one per file costs several times the walk itself.
    void LetEventsRun() override {
        ULONGLONG now = GetTickCount64();
        if (now - lastDispatch_ < 20) return;
        lastDispatch_ = now;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    std::string TemporaryFilePath() override { return temp_; }
    void ShowDocument(const std::string&) override {}
    std::optional<std::string> AskSavePath() override { return std::nullopt; }
    void DocumentSaved(const std::string&) override {}

private:
    std::string temp_;
    ULONGLONG lastDispatch_ = 0;
};

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc != 3) {
        std::fprintf(stderr, "usage: engine_bench FOLDER OUTPUT\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    tessory::MemoryStore store;
    tessory::Win32FileSystem fileSystem;
    BenchHost host(tessory::Narrow(argv[2]));
    tessory::ListingEngine engine(fileSystem, host, store);
    auto start = std::chrono::steady_clock::now();
    tessory::RunOutcome outcome = engine.BuildListing(tessory::Narrow(argv[1]), 2);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("engine: %.2f s, %lld files, %lld folders\n", seconds,
                static_cast<long long>(engine.Totals().files), static_cast<long long>(engine.Totals().folders));
    return outcome == tessory::RunOutcome::Finished ? 0 : 1;
}
