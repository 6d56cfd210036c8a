#pragma once
#include <optional>
#include <string>

namespace tessory {

// What a listing run needs from the program that starts it (the main window, the native tool).
class RunHost {
public:
    virtual ~RunHost() = default;
    // Busy (hourglass) cursor on for the run, off at its end.
    virtual void SetBusy(bool busy) = 0;
    // Text of the status bar's first panel: each folder the walk visits, "" after the walk.
    virtual void SetStatusText(const std::string& text) = 0;
    // Lets pending user-interface events run; a Stop command reaches the engine from here.
    virtual void LetEventsRun() = 0;
    // Full path of the temporary listing file (UTF-8).
    virtual std::string TemporaryFilePath() = 0;
    // Output mode 0: show the finished document held in documentPath.
    virtual void ShowDocument(const std::string& documentPath) = 0;
    // Output mode 1: the file to save to, or nothing when the user cancelled.
    virtual std::optional<std::string> AskSavePath() = 0;
    // Output mode 1: the document was written to path.
    virtual void DocumentSaved(const std::string& path) = 0;
};

}  // namespace tessory
