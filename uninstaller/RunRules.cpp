#include "RunRules.h"

#include <cstdio>

#include "RecordFormat.h"

namespace corvel {

Switches parseSwitches(const TextBuffer& commandLine) {
    TextBuffer upper(commandLine);
    upper.upperCase();
    Switches s;
    s.silent = upper.find("/SILENT", 0, false) >= 0;
    s.noRemove = upper.find("/NOREMOVE", 0, false) >= 0;
    s.noQuery = upper.find("/NOQUERY", 0, false) >= 0;
    return s;
}

bool shouldRunPreRemoval(const TextBuffer& runCode, const TextBuffer& command) {
    if (runCode.empty() || command.empty()) return false;
    return !runCode.equals("100", false) && !runCode.equals("101", false);
}

bool preRemovalPasses(const TextBuffer& command, uint32_t exitCode) {
    int batch = command.find(".BAT", 0, false);
    const int cmd = command.find(".CMD", 0, false);
    if (batch < 0 || (cmd >= 0 && cmd < batch)) batch = cmd;
    const int exe = command.find(".EXE", 0, false);
    const bool isBatch = batch >= 0 && (exe < 0 || batch < exe);
    return isBatch ? exitCode == 0 : exitCode != 0;
}

TextBuffer buildDetailsText(const TextBuffer headings[3], const TextBuffer logs[3]) {
    TextBuffer text;
    for (int i = 0; i < 3; ++i) {
        if (logs[i].empty()) continue;
        text.append(headings[i]).append("\r\n").append(logs[i]).append("\r\n");
    }
    // Each log line brings its own CR LF; the text ends without one.
    while (text.length() >= 2 && text.str().compare(text.length() - 2, 2, "\r\n") == 0) text.remove(text.length() - 2, 2);
    return text;
}

TextBuffer stripCaptionMarks(const TextBuffer& caption) {
    TextBuffer out(caption);
    out.removeAll("&", 0, 0, false);
    out.removeAll("...", 0, 0, false);
    return out;
}

bool isConsent(int messageBoxResult) { return messageBoxResult == 6; }

TextBuffer mutexName(const TextBuffer& product, bool global) {
    std::string name;
    for (char c : product.str()) {
        if (c == '%') {
            name += "%25";
        } else if (c == '\\') {
            name += "%5C";
        } else {
            name += c;
        }
    }
    const std::string prefix = global ? "Global\\cvun_" : "cvun_", suffix = "_mutex";
    if (prefix.size() + name.size() + suffix.size() > static_cast<size_t>(kMaxMutexName)) {
        char hash[20];
        std::snprintf(hash, sizeof hash, "~%016llX", static_cast<unsigned long long>(hashBytes(product.str())));
        name.resize(kMaxMutexName - prefix.size() - suffix.size() - 17);
        name += hash;
    }
    return TextBuffer(prefix + name + suffix);
}

InstanceCheck checkInstance(bool created, uint32_t lastError, bool global) {
    constexpr uint32_t kPathNotFound = 3, kAlreadyExists = 183, kBadPathname = 161;
    if (created) return lastError == kAlreadyExists ? InstanceCheck::kAnother : InstanceCheck::kOnly;
    if (global && (lastError == kPathNotFound || lastError == kBadPathname)) return InstanceCheck::kNoGlobalNamespace;
    // Access denied (another user's run) or an invalid handle (another kind of object holds
    // the name): carrying on would run two removals at once.
    return InstanceCheck::kAnother;
}

TextBuffer folderOf(const TextBuffer& path) {
    const int slash = path.findBackwards("\\", 0, false);
    return slash < 0 ? TextBuffer() : path.substr(0, slash);
}

}  // namespace corvel
