#pragma once
#include <string>
#include <vector>

#include "file_system.h"
#include "listing_settings.h"
#include "listing_writer.h"
#include "run_host.h"

namespace tessory {

// Reads one folder that passed the folder test: counts every file, keeps those that pass the
// file test in the sort order of the settings, and appends the full paths of its subfolders.
// Lets host events run after every file and after every listed file is ordered.
ListedFolder ReadListedFolder(const std::string& folder, FileSystem& fileSystem, const ListingSettings& settings,
                              RunHost& host, std::vector<std::string>& subfolders);

// The HTML of one folder section: the header with its path, the table of rows, the summary row.
// ampersands: "&" in names and paths is escaped as well (see EscapeMarkup).
void AppendFolderSection(std::string& html, const ListedFolder& folder, const ListingSettings& settings,
                         bool ampersands = false);

// The one row of column headings at the top of the document. escaped: the headings are
// escaped as names are (with ampersands), for the document whose every text is escaped.
std::string ColumnHeaderRow(const ListingSettings& settings, bool escaped = false);
// The heading cells of the shown columns, as in that row.
void AppendHeadingCells(std::string& row, const ListingSettings& settings, bool escaped = false);

}  // namespace tessory
