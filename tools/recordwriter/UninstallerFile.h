#pragma once
// Reading an uninstaller that already carries a record: whether it is signed, and the record
// it carries, written back in the description form that the writer reads.
#include <string>
#include <utility>
#include <vector>

namespace corvel::writer {

// True when the PE security directory names a certificate table: appending now would break
// the signature.
bool isSigned(const std::string& file);

enum class DumpResult { kOk, kNoRecord, kCorrupt };

struct RecordDump {
    std::string description;  // the writer's description form
    // The window template and images, under the names the description gives them.
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> warnings;  // what the description cannot say exactly
};

// kNoRecord: no trailer that names a record (also a trailer of zeros); kCorrupt: a layer fails its check or the plain
// record is shorter than two bytes, as the uninstaller would report.
DumpResult dumpRecord(const std::string& file, RecordDump& out);

}  // namespace corvel::writer
