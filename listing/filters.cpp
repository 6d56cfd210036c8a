#include "filters.h"

namespace tessory {

bool FolderPasses(const std::string& folderPath, const ListingSettings& settings) {
    std::u32string path = LowerText(folderPath);
    auto include = settings.folderInclude.FirstMatch(path);
    if (include == PatternList::Result::Malformed) return false;
    auto exclude = settings.folderExclude.FirstMatch(path);
    if (exclude == PatternList::Result::Malformed) return false;
    return include == PatternList::Result::Match && exclude == PatternList::Result::NoMatch;
}

bool FilePasses(const FileInfo& file, const ListingSettings& settings) {
    using Result = PatternList::Result;
    Result include = Result::Match;
    // The usual lists ("*", nothing excluded) pass every name: no need to decode and lower-case it.
    if (!settings.fileInclude.MatchesEverything() || !settings.fileExclude.Empty()) {
        std::u32string name = LowerText(file.name);
        include = settings.fileInclude.FirstMatch(name);
        if (include == Result::Malformed) return true;
        Result exclude = settings.fileExclude.FirstMatch(name);
        if (exclude == Result::Malformed) return true;
        if (exclude == Result::Match) return false;
    }

    if (settings.sizeRangeOn) {
        if (!settings.sizeFrom || !settings.sizeTo || !file.length) return true;
        auto length = static_cast<double>(*file.length);
        if (length < *settings.sizeFrom || length > *settings.sizeTo) return false;
    }
    if (settings.timeRangeOn) {
        if (!settings.timeFrom || !settings.timeTo || !file.modified) return true;
        if (*file.modified < *settings.timeFrom || *settings.timeTo < *file.modified) return false;
    }
    return include == Result::Match;
}

}  // namespace tessory
