// corvel-recordwriter: appends an uninstallation record, described in a readable text file,
// to a copy of the uninstaller.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "RecordWriter.h"
#include "UninstallerFile.h"
#include "project_version.h"

using namespace corvel::writer;

namespace {

const char kUsage[] =
    "usage: corvel-recordwriter [--inner STEP,BASE] [--outer STEP,BASE] [--plain FILE]\n"
    "                           DESCRIPTION UNINSTALLER OUTPUT\n"
    "       corvel-recordwriter --dump UNINSTALLER [FOLDER]\n"
    "       corvel-recordwriter --help | --version\n"
    "Layer keys are random unless given. --plain also writes the unwrapped record.\n"
    "UNINSTALLER must not be signed yet: append the record first, then sign OUTPUT.\n"
    "--dump prints the record that UNINSTALLER carries as a description; with FOLDER it also\n"
    "writes the window template and images there, under the names the description gives.\n"
    "Exit codes: 0 done; 1 a file could not be read or written, the description is wrong, or\n"
    "UNINSTALLER is signed; 2 bad command line; --dump: 3 no record, 4 the record is corrupt.\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

bool parseKey(const char* text, LayerKey& key) {
    unsigned step = 0, base = 0;
    char tail = 0;
    if (std::sscanf(text, "%u,%u%c", &step, &base, &tail) != 2 || step > 255 || base > 255) return false;
    key.step = static_cast<uint8_t>(step);
    key.base = static_cast<uint8_t>(base);
    return true;
}

// --dump UNINSTALLER [FOLDER]
int dump(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2) return usage();
    std::string file;
    if (!readFile(args[0], file)) {
        std::fprintf(stderr, "corvel-recordwriter: cannot read %s\n", args[0].c_str());
        return 1;
    }
    RecordDump record;
    switch (dumpRecord(file, record)) {
    case DumpResult::kNoRecord:
        std::fprintf(stderr, "corvel-recordwriter: %s carries no uninstallation record\n", args[0].c_str());
        return 3;
    case DumpResult::kCorrupt:
        std::fprintf(stderr, "corvel-recordwriter: the uninstallation record of %s is corrupt\n", args[0].c_str());
        return 4;
    case DumpResult::kOk:
        break;
    }
    for (const std::string& warning : record.warnings) std::fprintf(stderr, "corvel-recordwriter: %s\n", warning.c_str());
    std::fputs(record.description.c_str(), stdout);
    if (args.size() == 2) {
        for (const auto& [name, bytes] : record.files) {
            const std::string path = args[1] + "/" + name;
            if (!writeFile(path, bytes)) {
                std::fprintf(stderr, "corvel-recordwriter: cannot write %s\n", path.c_str());
                return 1;
            }
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::random_device seed;
    std::mt19937 random(seed());
    LayerKey inner{static_cast<uint8_t>(random()), static_cast<uint8_t>(random())};
    LayerKey outer{static_cast<uint8_t>(random()), static_cast<uint8_t>(random())};
    std::string plainOut;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::puts("corvel-recordwriter " TESSORY_VERSION_TEXT);
            return 0;
        }
        if (arg == "--dump" && i == 1) return dump(std::vector<std::string>(argv + 2, argv + argc));
        if ((arg == "--inner" || arg == "--outer" || arg == "--plain") && i + 1 < argc) {
            const char* value = argv[++i];
            if (arg == "--plain") {
                plainOut = value;
            } else if (!parseKey(value, arg == "--inner" ? inner : outer)) {
                return usage();
            }
        } else if (!arg.empty() && arg[0] == '-') {
            return usage();
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 3) return usage();
    std::string text, exe;
    if (!readFile(files[0], text)) {
        std::fprintf(stderr, "cannot read %s\n", files[0].c_str());
        return 1;
    }
    if (!readFile(files[1], exe)) {
        std::fprintf(stderr, "cannot read %s\n", files[1].c_str());
        return 1;
    }
    if (isSigned(exe)) {
        std::fprintf(stderr,
                     "corvel-recordwriter: %s is signed; a record appended now would break its signature.\n"
                     "Append the record to the unsigned uninstaller, then sign %s.\n",
                     files[1].c_str(), files[2].c_str());
        return 1;
    }
    const size_t slash = files[0].find_last_of("/\\");
    const std::string baseDir = slash == std::string::npos ? "" : files[0].substr(0, slash);
    RecordDescription record;
    std::string error;
    if (!parseDescription(text, baseDir, record, error)) {
        std::fprintf(stderr, "%s: %s\n", files[0].c_str(), error.c_str());
        return 1;
    }
    const std::string plain = buildPlainRecord(record);
    if (!plainOut.empty() && !writeFile(plainOut, plain)) {
        std::fprintf(stderr, "cannot write %s\n", plainOut.c_str());
        return 1;
    }
    if (!writeFile(files[2], appendRecord(exe, wrapRecord(plain, inner, outer)))) {
        std::fprintf(stderr, "cannot write %s\n", files[2].c_str());
        return 1;
    }
    return 0;
}
