#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "file_system.h"
#include "listing_settings.h"
#include "run_host.h"

namespace tessory {

// The HTML of one folder with the count and byte total of every file the folder holds
// (also those the file test rejected). Html is empty when the folder failed the folder test.
struct FolderSection {
    std::string html;  // UTF-8
    std::int32_t fileCount = 0;
    std::uint64_t byteCount = 0;
};

// Builds the section of one folder and collects the full paths of its subfolders (left empty
// when the folder fails the folder test). Lets host events run after every file and every row.
FolderSection BuildFolderSection(const std::string& folder, FileSystem& fileSystem,
                                 const ListingSettings& settings, RunHost& host,
                                 std::vector<std::string>& subfolders);

// The one row of column headings at the top of the document.
std::string ColumnHeaderRow(const ListingSettings& settings);

}  // namespace tessory
