#include "folder_section.h"

#include <algorithm>
#include <cctype>
#include <string_view>

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

bool TextLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

// The text a cell of the column shows; rows sort by it.
std::string CellText(const ListedFile& file, int column, const ListingSettings& settings) {
    switch (column) {
    case kColName: return file.name;
    case kColType: return file.type;
    case kColSize:
        return file.length ? SizeText(*file.length, settings.sizeUnit, settings.locale.decimalSeparator) : "";
    case kColDate: return file.modified ? DateText(*file.modified, settings.locale.dateSeparator) : "";
    case kColExt: return file.extension;
    case kColAttrib: return file.attributes ? AttributeText(*file.attributes) : "";
    default: return "";
    }
}

// Appends text escaped as EscapeMarkup escapes it, without the copy.
void AppendEscaped(std::string& html, std::string_view text, bool ampersands) {
    const char* specials = ampersands ? "<>&" : "<>";
    size_t start = 0;
    for (size_t pos = text.find_first_of(specials); pos != std::string_view::npos;
         pos = text.find_first_of(specials, pos + 1)) {
        html.append(text.substr(start, pos - start));
        html += text[pos] == '<' ? "&lt;" : text[pos] == '>' ? "&gt;" : "&amp;";
        start = pos + 1;
    }
    html.append(text.substr(start));
}

// The cell's text as it stands in the row: names without a copy.
void AppendCell(std::string& html, const ListedFile& file, int column, const ListingSettings& settings,
                bool ampersands) {
    switch (column) {
    case kColName: return AppendEscaped(html, file.name, ampersands);
    case kColType: return AppendEscaped(html, file.type, ampersands);
    case kColExt: return AppendEscaped(html, file.extension, ampersands);
    default: return AppendEscaped(html, CellText(file, column, settings), ampersands);
    }
}

void SortFiles(std::vector<ListedFile>& files, int column, const ListingSettings& settings) {
    struct Keyed {
        std::string key;
        size_t index;
    };
    std::vector<Keyed> keys;
    keys.reserve(files.size());
    for (size_t i = 0; i < files.size(); ++i) keys.push_back({CellText(files[i], column, settings), i});
    std::stable_sort(keys.begin(), keys.end(), [](const Keyed& a, const Keyed& b) { return TextLess(a.key, b.key); });
    std::vector<ListedFile> sorted;
    sorted.reserve(files.size());
    for (const Keyed& k : keys) sorted.push_back(std::move(files[k.index]));
    files = std::move(sorted);
}

}  // namespace

ListedFolder ReadListedFolder(const std::string& folder, FileSystem& fileSystem, const ListingSettings& settings,
                              RunHost& host, std::vector<std::string>& subfolders) {
    ListedFolder listed;
    listed.path = folder;
    listed.readable = fileSystem.ReadFolder(
        folder,
        [&](const FileInfo& file) {
            if (file.length) listed.byteCount += *file.length;
            if (listed.fileCount < INT32_MAX) ++listed.fileCount;
            if (FilePasses(file, settings)) {
                listed.files.push_back(ListedFile{file.name, ExtensionText(file.name), fileSystem.TypeName(file.name),
                                                  file.length, file.modified, file.attributes, file.modifiedOffset});
            }
            host.LetEventsRun();
        },
        subfolders);

    if (settings.sortColumn >= 0) SortFiles(listed.files, settings.sortColumn, settings);
    // One turn per row, as when the rows were written one by one.
    for (size_t i = 0; i < listed.files.size(); ++i) host.LetEventsRun();
    return listed;
}

void AppendFolderSection(std::string& html, const ListedFolder& folder, const ListingSettings& settings,
                         bool ampersands) {
    html.reserve(html.size() + 256 + folder.files.size() * 160);
    html += kHeaderOpen;
    html += EscapeMarkup(folder.path, ampersands);
    html += "</td></tr></table>";
    html += kCrLf;
    html += kTableOpen;
    // For print: the column headings again, which the browser repeats on every page the table spans.
    if (settings.printLayout) {
        html += "<thead class=\"printhead\"><tr>";
        AppendHeadingCells(html, settings, ampersands);
        html += "</tr></thead>";
    }
    bool odd = true;
    for (const ListedFile& file : folder.files) {
        html += odd ? kOddRow : kEvenRow;
        odd = !odd;
        for (const DocumentColumn& c : kDocumentOrder) {
            if (!settings.shown[c.column]) continue;
            html += "<td width=\"";
            html += c.width;
            html += "\">";
            // Every cell may carry text from the file system or the shell: none may add markup.
            AppendCell(html, file, c.column, settings, ampersands);
            html += "</td>";
        }
        html += "</tr>";
        html += kCrLf;
    }
    html += "</table>";
    html += kCrLf;
    html += kTableOpen;
    html += "<tr class=\"summary\"><td>Files: ";
    html += std::to_string(folder.fileCount);
    html += ", Total Size: ";
    html += std::to_string(folder.byteCount);
    html += " bytes.</td></tr></table><br><br>";
}

void AppendHeadingCells(std::string& row, const ListingSettings& settings, bool escaped) {
    for (const DocumentColumn& c : kDocumentOrder) {
        if (!settings.shown[c.column]) continue;
        row += "<td width=\"";
        row += c.width;
        row += "\"><b>";
        if (escaped) AppendEscaped(row, settings.headings[c.column], true);
        else row += settings.headings[c.column];
        row += "</b></td>";
    }
}

std::string ColumnHeaderRow(const ListingSettings& settings, bool escaped) {
    std::string row = kTableOpen;
    row += "<tr>";
    AppendHeadingCells(row, settings, escaped);
    row += "</tr></table>";
    return row;
}

}  // namespace tessory
