#include "Removal.h"

#include "RecordFormat.h"

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

template <typename Fn>
void forEachLongLine(const TextBuffer& section, Fn fn) {
    int pos = 0;
    while (section.validPosition(pos)) {
        const TextBuffer line = section.readLine(&pos, false);
        if (line.length() > 2) fn(line);
    }
}

}  // namespace

void removeSharedFiles(const TextBuffer& section, SharedCounts* counts, FileSystemSeam& fs,
                       SharedFileQuestion* question, bool silent) {
    if (section.empty() || !counts) return;
    bool yesToAll = silent || !question;
    bool noToAll = false;
    TextBuffer answers;
    int pos = 0;
    while (section.validPosition(pos)) {
        std::string path = section.readLine(&pos, false).str();
        bool control = false;
        const size_t bar = path.find('|');
        if (bar != std::string::npos) {
            TextBuffer marker(path.substr(bar));
            marker.upperCase();
            control = marker.str() == record::kControlFileMarker;
            path.erase(bar);
        }
        // An empty line names no file; its "value" would be the key's default value.
        if (path.empty()) continue;
        uint32_t count = 0;
        if (!counts->read(path, count)) count = 0;
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
            case shared::kNo:
                recordAnswer(answers, path, kKeep);
                remove = false;
                break;
            case shared::kYesToAll:
                yesToAll = true;
                remove = true;
                break;
            case shared::kNoToAll:
                noToAll = true;
                remove = false;
                break;
            default:
                recordAnswer(answers, path, kRemove);
                remove = true;
                break;
            }
        }
        if (!remove) {
            counts->write(path, 0);
            continue;
        }
        counts->remove(path);
        if (fs.exists(path)) fs.clearReadOnly(path);
        if (control) fs.unregisterComServer(path);
        fs.deleteFile(path);
    }
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

void processBackups(const TextBuffer& section, FileSystemSeam& fs, bool restore) {
    if (section.length() <= 2) return;
    forEachLongLine(section, [&](const TextBuffer& text) {
        BackupLine line;
        if (!parseBackupLine(text, line)) return;
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
            if (put) fs.copyOver(line.backup, line.target);
        }
        fs.deleteFile(line.backup);
    });
}

void removeFiles(const TextBuffer& section, FileSystemSeam& fs, RemovalLogs& logs) {
    forEachLongLine(section, [&](const TextBuffer& line) {
        if (fs.exists(line.str())) fs.clearReadOnly(line.str());
        const uint32_t error = fs.deleteFile(line.str());
        if (error == 0 || error == syserr::kFileNotFound || error == syserr::kPathNotFound) return;
        logs.files.append(line).append("\r\n");
        if (error == syserr::kAccessDenied || error == syserr::kSharingViolation) logs.inUse.append(line).append("\r\n");
    });
}

void removeDirectories(const TextBuffer& section, FileSystemSeam& fs, RemovalLogs& logs) {
    forEachLongLine(section, [&](const TextBuffer& line) {
        if (fs.exists(line.str())) fs.clearReadOnly(line.str());
        const uint32_t error = fs.removeDirectory(line.str());
        if (error == 0 || error == syserr::kFileNotFound || error == syserr::kPathNotFound) return;
        logs.directories.append(line).append("\r\n");
    });
}

}  // namespace corvel
