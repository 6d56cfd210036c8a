#include "Removal.h"

#include "RecordFormat.h"
#include "RegistryWalk.h"
#include "RunRules.h"

#include <cstdio>

#include <vector>

namespace corvel {

namespace {

constexpr char kKeep = '1';
constexpr char kRemove = '2';

// The answer recorded for `path`: the last byte of the line whose other bytes equal it.
char lookupAnswer(const TextBuffer& answers, const std::string& path) {
    int pos = 0;
    while (answers.validPosition(pos)) {
        const TextBuffer line = answers.readLine(&pos, true);
        if (line.length() >= 1 && line.length() - 1 == static_cast<int>(path.size()) &&
            line.str().compare(0, path.size(), path) == 0) {
            return line.str().back();
        }
    }
    return 0;
}

void recordAnswer(TextBuffer& answers, const std::string& path, char answer) {
    if (lookupAnswer(answers, path)) return;
    if (!answers.empty()) answers.append("\r\n");
    answers.append(path.c_str(), static_cast<int>(path.size())).append(answer);
}

void appendLine(TextBuffer& log, const std::string& line) {
    log.append(line.c_str(), static_cast<int>(line.size())).append("\r\n");
}

bool inUseError(uint32_t error) {
    return error == syserr::kAccessDenied || error == syserr::kSharingViolation || error == syserr::kLockViolation;
}

// Deletes a file as the files stage does: one that is gone is fine, one that stays is logged,
// and one in use is also listed for deletion at the next restart.
void deleteOrLog(FileSystemSeam& fs, const std::string& path, RemovalLogs& logs) {
    if (fs.exists(path)) fs.clearReadOnly(path);
    const uint32_t error = fs.deleteFile(path);
    if (error == 0 || error == syserr::kFileNotFound || error == syserr::kPathNotFound) return;
    appendLine(logs.files, path);
    if (error == syserr::kAccessDenied || error == syserr::kSharingViolation) appendLine(logs.inUse, path);
}

template <typename Fn>
void forEachLongLine(const TextBuffer& section, Fn fn) {
    int pos = 0;
    while (section.validPosition(pos)) {
        const TextBuffer line = section.readLine(&pos, false);
        if (line.length() > 2) fn(line);
    }
}

}  // namespace

bool ProgressJournal::markShared(uint32_t index) {
    if (index < state_.sharedDone) return true;
    JournalState next = state_;
    next.sharedDone = index + 1;
    if (!store_.save(next)) return false;
    state_ = next;
    return true;
}

bool ProgressJournal::markStage(uint32_t stage) {
    if (stageDone(stage)) return true;
    JournalState next = state_;
    next.stages |= stage;
    if (!store_.save(next)) return false;
    state_ = next;
    return true;
}

std::string journalName(uint64_t recordHash, uint32_t volumeSerial, uint64_t fileIndex, uint64_t lastWrite) {
    char name[80];
    std::snprintf(name, sizeof name, "%016llX-%08lX-%016llX-%016llX", static_cast<unsigned long long>(recordHash),
                  static_cast<unsigned long>(volumeSerial), static_cast<unsigned long long>(fileIndex),
                  static_cast<unsigned long long>(lastWrite));
    return name;
}

namespace {

bool parseHex(const std::string& text, size_t digits, uint64_t& value) {
    if (text.size() != digits) return false;
    value = 0;
    for (char c : text) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return false;
        value = value << 4 | static_cast<uint64_t>(digit);
    }
    return true;
}

}  // namespace

bool parseJournalName(const std::string& name, uint64_t& recordHash, JournalIdentity& id) {
    if (name.size() != 16 + 1 + 8 + 1 + 16 + 1 + 16 || name[16] != '-' || name[25] != '-' || name[42] != '-') return false;
    uint64_t serial = 0;
    if (!parseHex(name.substr(0, 16), 16, recordHash) || !parseHex(name.substr(17, 8), 8, serial) ||
        !parseHex(name.substr(26, 16), 16, id.fileIndex) || !parseHex(name.substr(43), 16, id.lastWrite)) {
        return false;
    }
    id.volumeSerial = static_cast<uint32_t>(serial);
    return true;
}

std::vector<std::string> prunableJournalEntries(const std::vector<std::string>& names, const std::string& own,
                                                JournalFileLookup& files) {
    std::vector<std::string> gone;
    for (const std::string& name : names) {
        uint64_t hash = 0;
        JournalIdentity id;
        if (name == own || !parseJournalName(name, hash, id)) continue;
        if (files.find(id) == FileLookup::kGone) gone.push_back(name);
    }
    return gone;
}

namespace {

std::string upper(const std::string& text) {
    TextBuffer buffer(text);
    buffer.upperCase();
    return buffer.str();
}

// A path as compared here: upper case, without "\\??\\" or "\\\\?\\" before it and without a
// last backslash.
std::string comparable(const std::string& path) {
    std::string out = upper(path);
    if (out.compare(0, 4, "\\??\\") == 0 || out.compare(0, 4, "\\\\?\\") == 0) out.erase(0, 4);
    while (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
}

struct OldName {
    const char* name;    // below its base folder
    const char* leadsTo; // below the same base, or "" for the base itself
};

// Inside every profile (and the default profile).
const OldName kProfileJunctions[] = {
    {"Application Data", "AppData\\Roaming"},
    {"Local Settings", "AppData\\Local"},
    {"My Documents", "Documents"},
    {"Cookies", "AppData\\Roaming\\Microsoft\\Windows\\Cookies"},
    {"Cookies", "AppData\\Local\\Microsoft\\Windows\\INetCookies"},
    {"NetHood", "AppData\\Roaming\\Microsoft\\Windows\\Network Shortcuts"},
    {"PrintHood", "AppData\\Roaming\\Microsoft\\Windows\\Printer Shortcuts"},
    {"Recent", "AppData\\Roaming\\Microsoft\\Windows\\Recent"},
    {"SendTo", "AppData\\Roaming\\Microsoft\\Windows\\SendTo"},
    {"Start Menu", "AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
    {"Templates", "AppData\\Roaming\\Microsoft\\Windows\\Templates"},
    {"AppData\\Local\\Application Data", "AppData\\Local"},
    {"AppData\\Local\\History", "AppData\\Local\\Microsoft\\Windows\\History"},
    {"AppData\\Local\\Temporary Internet Files", "AppData\\Local\\Microsoft\\Windows\\Temporary Internet Files"},
    {"AppData\\Local\\Temporary Internet Files", "AppData\\Local\\Microsoft\\Windows\\INetCache"},
    {"Documents\\My Music", "Music"},
    {"Documents\\My Pictures", "Pictures"},
    {"Documents\\My Videos", "Videos"},
};

// In ProgramData.
const OldName kProgramDataJunctions[] = {
    {"Application Data", ""},
    {"Start Menu", "Microsoft\\Windows\\Start Menu"},
    {"Templates", "Microsoft\\Windows\\Templates"},
};

// In ProgramData, leading into the public profile.
const OldName kPublicJunctions[] = {
    {"Desktop", "Desktop"},
    {"Documents", "Documents"},
    {"Favorites", "Favorites"},
};

std::string below(const std::string& base, const std::string& name) { return name.empty() ? base : base + "\\" + name; }

}  // namespace

bool compatibilityJunction(const std::string& link, const FolderFacts& facts, const KnownFolders& known) {
    if (!facts.reparsePoint || !facts.hidden || !facts.system || facts.target.empty()) return false;
    const std::string path = comparable(link), target = comparable(facts.target);
    auto is = [&](const std::string& name, const std::string& leadsTo) {
        return !name.empty() && path == comparable(name) && target == comparable(leadsTo);
    };
    if (!known.systemDrive.empty() && !known.profiles.empty() &&
        is(known.systemDrive + "\\Documents and Settings", known.profiles))
        return true;
    if (!known.programData.empty()) {
        for (const OldName& old : kProgramDataJunctions) {
            if (is(below(known.programData, old.name), below(known.programData, old.leadsTo))) return true;
        }
        for (const OldName& old : kPublicJunctions) {
            if (!known.publicFolder.empty() &&
                is(below(known.programData, old.name), below(known.publicFolder, old.leadsTo)))
                return true;
        }
    }
    if (known.profiles.empty()) return false;
    if (is(known.profiles + "\\All Users", known.programData) || is(known.profiles + "\\Default User", known.profiles + "\\Default"))
        return true;
    // Inside a profile: the link's path is profiles\\<one name>\\<old name>.
    const std::string profiles = comparable(known.profiles) + "\\";
    if (path.compare(0, profiles.size(), profiles) != 0) return false;
    const size_t end = path.find('\\', profiles.size());
    if (end == std::string::npos || end == profiles.size()) return false;
    const std::string profile = path.substr(0, end);
    for (const OldName& old : kProfileJunctions) {
        if (is(below(profile, old.name), below(profile, old.leadsTo))) return true;
    }
    return false;
}

std::vector<std::string> folderParts(const std::string& path) {
    auto separator = [](char c) { return c == '\\' || c == '/'; };
    size_t start = 0;
    if (path.compare(0, 4, "\\\\?\\") == 0) start = 4;
    if (path.size() >= start + 3 && path[start + 1] == ':' && separator(path[start + 2])) {
        start += 3;
    } else if (start == 0 && path.size() >= 2 && separator(path[0]) && separator(path[1])) {
        // \\server\share\ is the root of a network path.
        int slashes = 0;
        for (start = 2; start < path.size() && slashes < 2; ++start) {
            if (separator(path[start])) ++slashes;
        }
    }
    std::vector<std::string> parts;
    for (size_t i = start; i < path.size(); ++i) {
        if (!separator(path[i]) || i == 0 || separator(path[i - 1])) continue;
        parts.push_back(path.substr(0, i));
    }
    return parts;
}

bool safeToActOn(const std::string& path, FileSystemSeam& fs) {
    KnownFolders known;
    bool knownRead = false;
    for (const std::string& folder : folderParts(path)) {
        const FolderFacts facts = fs.folderFacts(folder);
        if (!facts.reparsePoint) continue;
        if (!knownRead) {
            known = fs.knownFolders();
            knownRead = true;
        }
        if (!compatibilityJunction(folder, facts, known)) return false;
    }
    return true;
}

bool removeSharedFiles(const TextBuffer& section, SharedCounts* counts, FileSystemSeam& fs,
                       SharedFileQuestion* question, bool silent, RemovalLogs& logs, ProgressJournal* journal) {
    if (section.empty()) return true;
    if (!counts) return false;
    if (journal && journal->stageDone(journal::kShared)) return true;
    bool yesToAll = silent || !question;
    bool noToAll = false;
    bool journalFailed = false;
    TextBuffer answers;
    int pos = 0;
    for (uint32_t index = 0; section.validPosition(pos); ++index) {
        std::string path = section.readLine(&pos, false).str();
        bool control = false;
        const size_t bar = path.find('|');
        if (bar != std::string::npos) {
            TextBuffer marker(path.substr(bar));
            marker.upperCase();
            control = marker.str() == record::kControlFileMarker;
            path.erase(bar);
        }
        if (!journalFailed && journal && journal->sharedDone(index)) continue;
        // Recorded before the count changes: a run cut off here leaves a count one too high
        // (the file stays), never one lowered twice. Unrecorded, a repeat would lower it again,
        // so from the first line that cannot be recorded on nothing is lowered.
        if (journalFailed || (journal && !journal->markShared(index))) {
            journalFailed = true;
            if (!path.empty()) appendLine(logs.files, path);
            continue;
        }
        // An empty line names no file; its "value" would be the key's default value.
        if (path.empty()) continue;
        uint32_t count = 0;
        const SharedCounts::Read read = counts->read(path, count);
        if (read == SharedCounts::Read::kUnreadable) {
            // Not a count that says this is the last reference: the file stays, left as it is.
            appendLine(logs.files, path);
            continue;
        }
        if (read == SharedCounts::Read::kMissing) count = 0;
        if (count >= 2) {
            counts->write(path, count - 1);
            continue;
        }
        bool remove;
        const char answer = lookupAnswer(answers, path);
        if (answer == kKeep) {
            remove = false;
        } else if (answer == kRemove) {
            remove = true;
        } else if (noToAll) {
            remove = false;
        } else if (yesToAll) {
            remove = true;
        } else if (control) {
            recordAnswer(answers, path, kRemove);
            remove = true;
        } else {
            switch (question->ask(path)) {
            case shared::kYes:
                recordAnswer(answers, path, kRemove);
                remove = true;
                break;
            case shared::kYesToAll:
                yesToAll = true;
                remove = true;
                break;
            case shared::kNoToAll:
                noToAll = true;
                remove = false;
                break;
            default:  // "No", or a dialog that could not be shown
                recordAnswer(answers, path, kKeep);
                remove = false;
                break;
            }
        }
        if (!remove) {
            counts->write(path, 0);
            continue;
        }
        if (!safeToActOn(path, fs)) {
            // Left as a kept file would be: count 0, and listed as not removed.
            counts->write(path, 0);
            appendLine(logs.files, path);
            continue;
        }
        counts->remove(path);
        if (control) fs.unregisterComServer(path);
        deleteOrLog(fs, path, logs);
    }
    if (journalFailed) return false;
    if (journal && !journal->markStage(journal::kShared)) return false;
    return true;
}

uint32_t parseWrappedDecimal(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    return negative ? 0u - value : value;
}

bool parseBackupLine(const TextBuffer& line, BackupLine& out) {
    std::vector<std::string> fields;
    std::string field;
    for (char c : line.str()) {
        if (c == '\t') {
            fields.push_back(field);
            field.clear();
        } else {
            field.push_back(c);
        }
    }
    fields.push_back(field);
    fields.resize(6);
    out = BackupLine();
    out.backup = fields[0];
    out.target = fields[1];
    out.versionMs = parseWrappedDecimal(fields[2]);
    out.versionLs = parseWrappedDecimal(fields[3]);
    out.timeHigh = parseWrappedDecimal(fields[4]);
    out.timeLow = parseWrappedDecimal(fields[5]);
    return !out.backup.empty();
}

namespace {

// A read-only backup (the installer may have copied the attribute with it) goes all the same.
void deleteBackup(FileSystemSeam& fs, const BackupLine& line) {
    if (fs.exists(line.backup)) fs.clearReadOnly(line.backup);
    fs.deleteFile(line.backup);
}

// A backup that stays is listed beside its target, so that the user can put it back by hand.
void logKeptBackup(RemovalLogs& logs, const BackupLine& line) { appendLine(logs.files, line.target + " <- " + line.backup); }

// Copies the backup beside the target and renames the copy over it, so that the target is
// either whole old or whole new. The backup goes only once nothing can lose it.
void restoreBackup(const BackupLine& line, FileSystemSeam& fs, RemovalLogs& logs) {
    std::string folder = folderOf(TextBuffer(line.target)).str();
    if (folder.size() == 2 && folder[1] == ':') folder += '\\';  // "C:" alone is a current directory
    const std::string copy = fs.copyInto(line.backup, folder);
    if (copy.empty()) {
        logKeptBackup(logs, line);
        return;
    }
    const uint32_t error = fs.replace(copy, line.target);
    if (error == 0) {
        deleteBackup(fs, line);
        return;
    }
    fs.deleteFile(copy);
    // The backup itself moves over the target at the next restart: should that move fail,
    // nothing has been deleted and the backup is still there.
    if (inUseError(error) && fs.moveAtRestart(line.backup, line.target)) {
        logs.replacementScheduled = true;
        return;
    }
    logKeptBackup(logs, line);
}

}  // namespace

void processBackups(const TextBuffer& section, FileSystemSeam& fs, bool restore, RemovalLogs& logs) {
    if (section.length() <= 2) return;
    forEachLongLine(section, [&](const TextBuffer& text) {
        BackupLine line;
        if (!parseBackupLine(text, line)) return;
        if (!safeToActOn(line.backup, fs) || (restore && !line.target.empty() && !safeToActOn(line.target, fs))) {
            if (restore && !line.target.empty()) {
                logKeptBackup(logs, line);
            } else {
                appendLine(logs.files, line.backup);
            }
            return;
        }
        if (restore && !line.target.empty()) {
            uint32_t high = 0, low = 0;
            bool put = true;
            if (fs.lastWriteTime(line.target, high, low)) {
                uint32_t ms = 0, ls = 0;
                // A target without a version resource counts as unchanged only when the
                // installer recorded no version either.
                if (!fs.fileVersion(line.target, ms, ls)) ms = ls = 0;
                put = high == line.timeHigh && low == line.timeLow && ms == line.versionMs && ls == line.versionLs;
            }
            if (put) {
                restoreBackup(line, fs, logs);
                return;
            }
        }
        deleteBackup(fs, line);
    });
}

void removeFiles(const TextBuffer& section, FileSystemSeam& fs, RemovalLogs& logs) {
    forEachLongLine(section, [&](const TextBuffer& line) {
        if (!safeToActOn(line.str(), fs)) {
            logs.files.append(line).append("\r\n");
            return;
        }
        deleteOrLog(fs, line.str(), logs);
    });
}

void removeDirectories(const TextBuffer& section, FileSystemSeam& fs, RemovalLogs& logs) {
    forEachLongLine(section, [&](const TextBuffer& line) {
        if (!safeToActOn(line.str(), fs)) {
            logs.directories.append(line).append("\r\n");
            return;
        }
        if (fs.exists(line.str())) fs.clearReadOnly(line.str());
        const uint32_t error = fs.removeDirectory(line.str());
        if (error == 0 || error == syserr::kFileNotFound || error == syserr::kPathNotFound) return;
        logs.directories.append(line).append("\r\n");
    });
}

bool scheduleInUse(RemovalLogs& logs, RestartScheduler& scheduler) {
    bool scheduled = false;
    int pos = 0;
    const TextBuffer inUse = logs.inUse;
    while (inUse.validPosition(pos)) {
        const TextBuffer line = inUse.readLine(&pos, false);
        if (line.length() <= 3) continue;
        if (scheduler.deleteAtRestart(line.str())) {
            scheduled = true;
        } else {
            appendUniqueLine(logs.files, line);
        }
    }
    return scheduled;
}

}  // namespace corvel
