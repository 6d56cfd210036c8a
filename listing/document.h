#pragma once
#include <cstdint>
#include <string>

#include "listing_settings.h"

namespace tessory {

// The style sheet and body start, with the fonts, sizes and colours filled in.
std::string DocumentHead(const ListingSettings& settings);
// Everything before the folder sections: head, CR LF, the heading with the start folder,
// CR LF, the column heading row, CR LF.
std::string DocumentOpening(const ListingSettings& settings, const std::string& startFolder);
// Everything after the folder sections: CR LF, the totals table and the end of the document.
std::string DocumentClosing(std::int64_t totalFiles, std::int64_t totalFolders, std::uint64_t totalBytes);

}  // namespace tessory
