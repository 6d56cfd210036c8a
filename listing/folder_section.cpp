#include "folder_section.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "column_values.h"
#include "filters.h"

namespace tessory {
namespace {

constexpr char kCrLf[] = "\r\n";
constexpr char kTableOpen[] = "<table border=\"0\" cellspacing=\"1\" cellpadding=\"3\" width=\"100%\">";
constexpr char kHeaderOpen[] =
    "<table border=\"0\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"><tr><td class=\"dir\">";
constexpr char kOddRow[] = "<tr class=\"fileOdd\">";
constexpr char kEvenRow[] = "<tr class=\"file\">";

// Column widths in the order the document writes the columns: name, ext, type, size, date, attributes.
struct DocumentColumn {
    Column column;
    const char* width;
};
constexpr DocumentColumn kDocumentOrder[] = {
    {kColName, "35%"}, {kColExt, "6%"}, {kColType, "20%"}, {kColSize, "10%"}, {kColDate, "12%"}, {kColAttrib, "6%"},
};

using Row = std::array<std::string, kColumnCount>;

bool TextLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

Row MakeRow(const FileInfo& file, FileSystem& fileSystem, const ListingSettings& settings) {
    Row row;
    row[kColName] = file.name;
    row[kColType] = fileSystem.TypeName(file.name);
    if (file.length) row[kColSize] = SizeText(*file.length, settings.sizeUnit, settings.locale.decimalSeparator);
    if (file.modified) row[kColDate] = DateText(*file.modified, settings.locale.dateSeparator);
    row[kColExt] = ExtensionText(file.name);
    if (file.attributes) row[kColAttrib] = AttributeText(*file.attributes);
    return row;
}

}  // namespace

FolderSection BuildFolderSection(const std::string& folder, FileSystem& fileSystem,
                                 const ListingSettings& settings, RunHost& host,
                                 std::vector<std::string>& subfolders) {
    FolderSection section;
    if (!FolderPasses(folder, settings)) return section;

    std::vector<Row> rows;
    fileSystem.ReadFolder(
        folder,
        [&](const FileInfo& file) {
            if (file.length) section.byteCount += *file.length;
            if (section.fileCount < INT32_MAX) ++section.fileCount;
            if (FilePasses(file, settings)) rows.push_back(MakeRow(file, fileSystem, settings));
            host.LetEventsRun();
        },
        subfolders);

    if (settings.sortColumn >= 0) {
        int column = settings.sortColumn;
        std::stable_sort(rows.begin(), rows.end(),
                         [column](const Row& a, const Row& b) { return TextLess(a[column], b[column]); });
    }

    std::string& html = section.html;
    html.reserve(256 + rows.size() * 160);
    html += kHeaderOpen;
    html += EscapeMarkup(folder);
    html += "</td></tr></table>";
    html += kCrLf;
    html += kTableOpen;
    bool odd = true;
    for (const Row& row : rows) {
        html += odd ? kOddRow : kEvenRow;
        odd = !odd;
        for (const DocumentColumn& c : kDocumentOrder) {
            if (!settings.shown[c.column]) continue;
            html += "<td width=\"";
            html += c.width;
            html += "\">";
            bool fromName = c.column == kColName || c.column == kColExt;
            html += fromName ? EscapeMarkup(row[c.column]) : row[c.column];
            html += "</td>";
        }
        html += "</tr>";
        html += kCrLf;
        host.LetEventsRun();
    }
    html += "</table>";
    html += kCrLf;
    html += kTableOpen;
    html += "<tr class=\"summary\"><td>Files: ";
    html += std::to_string(section.fileCount);
    html += ", Total Size: ";
    html += std::to_string(section.byteCount);
    html += " bytes.</td></tr></table><br><br>";
    return section;
}

std::string ColumnHeaderRow(const ListingSettings& settings) {
    std::string row = kTableOpen;
    row += "<tr>";
    for (const DocumentColumn& c : kDocumentOrder) {
        if (!settings.shown[c.column]) continue;
        row += "<td width=\"";
        row += c.width;
        row += "\"><b>";
        row += settings.headings[c.column];
        row += "</b></td>";
    }
    row += "</tr></table>";
    return row;
}

}  // namespace tessory
