#pragma once
// The two dialog resources: "Remove shared file" (105) and "Details" (103).
#include <windows.h>

#include <string>

#include "RecordFormat.h"
#include "Removal.h"

namespace corvel {

// Asks whether to remove a shared file whose last reference went. Returns the pressed
// button's ID (1005 to 1008), or something else when the dialog could not be shown.
int askRemoveSharedFile(HINSTANCE instance, HWND owner, const StringTable& strings, const std::string& ansiPath);

class SharedFileDialog : public SharedFileQuestion {
public:
    SharedFileDialog(HINSTANCE instance, HWND owner, const StringTable& strings)
        : instance_(instance), owner_(owner), strings_(strings) {}
    int ask(const std::string& path) override { return askRemoveSharedFile(instance_, owner_, strings_, path); }

private:
    HINSTANCE instance_;
    HWND owner_;
    const StringTable& strings_;
};

struct DetailsContent {
    std::string textUtf8;          // the logs under their headings
    std::string closeCaptionUtf8;  // the window's Close button text
    std::string titleUtf8;         // the window's Details button text, marks removed
};
// Builds the content from the logs (ANSI) and the window's button texts.
DetailsContent makeDetailsContent(const StringTable& strings, const RemovalLogs& logs,
                                  const std::string& closeButtonText, const std::string& detailsButtonText);
// Modal; returns when the user closes it.
void showDetails(HINSTANCE instance, HWND owner, const DetailsContent& content);

}  // namespace corvel
