#include "folder_section.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
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

// Whether any of the eight bytes in block equals byte.
bool HasByte(std::uint64_t block, unsigned char byte) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    const std::uint64_t x = block ^ (kOnes * byte);
    return ((x - kOnes) & ~x & kHighs) != 0;
}

// Appends text escaped as EscapeMarkup escapes it, without the copy: runs of plain bytes at once,
// looked through eight bytes at a time.
void AppendEscaped(std::string& html, std::string_view text, bool ampersands) {
    const char* run = text.data();
    const char* end = run + text.size();
    const char* p = run;
    while (p != end) {
        if (end - p >= 8) {
            std::uint64_t block;
            std::memcpy(&block, p, 8);
            if (!HasByte(block, '<') && !HasByte(block, '>') && (!ampersands || !HasByte(block, '&'))) {
                p += 8;
                continue;
            }
        }
        const char c = *p++;
        if (c != '<' && c != '>' && (c != '&' || !ampersands)) continue;
        html.append(run, static_cast<size_t>(p - 1 - run));
        if (c == '<') html.append("&lt;", 4);
        else if (c == '>') html.append("&gt;", 4);
        else html.append("&amp;", 5);
        run = p;
    }
    html.append(run, static_cast<size_t>(end - run));
}

bool IsMarkupByte(char c) { return c == '<' || c == '>' || c == '&'; }

// The cell's text as it stands in the row, without a string of its own. Numbers go straight in
// when the user's separators need no escaping; scratch is reused otherwise.
void AppendCell(std::string& html, const ListedFile& file, int column, const ListingSettings& settings,
                bool ampersands, bool plainSeparators, std::string& scratch) {
    std::string& out = plainSeparators ? html : scratch;
    scratch.clear();
    switch (column) {
    case kColName: return AppendEscaped(html, file.name, ampersands);
    case kColType: return AppendEscaped(html, file.type, ampersands);
    case kColExt: return AppendEscaped(html, file.extension, ampersands);
    case kColSize:
        if (file.length) AppendSizeText(out, *file.length, settings.sizeUnit, settings.locale.decimalSeparator);
        break;
    case kColDate:
        if (file.modified) AppendDateText(out, *file.modified, settings.locale.dateSeparator);
        break;
    case kColAttrib:
        if (file.attributes) AppendAttributeText(html, *file.attributes);  // letters only
        return;
    default: return;
    }
    if (!plainSeparators) AppendEscaped(html, scratch, ampersands);
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
    listed.files.reserve(64);
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
    // The markup between the cells, joined once per folder rather than piece by piece per row.
    int columns[kColumnCount];
    std::string before[kColumnCount];  // what precedes each shown cell's text in the row
    size_t shown = 0;
    for (const DocumentColumn& c : kDocumentOrder) {
        if (!settings.shown[c.column]) continue;
        before[shown] = shown == 0 ? "" : "</td>";
        before[shown] += "<td width=\"";
        before[shown] += c.width;
        before[shown] += "\">";
        columns[shown++] = c.column;
    }
    const std::string oddStart = kOddRow + (shown ? before[0] : std::string());
    const std::string evenStart = kEvenRow + (shown ? before[0] : std::string());
    const std::string rowEnd = std::string(shown ? "</td>" : "") + "</tr>" + kCrLf;
    const bool plainSeparators =
        !IsMarkupByte(settings.locale.decimalSeparator) && !IsMarkupByte(settings.locale.dateSeparator);
    std::string scratch;
    bool odd = true;
    for (const ListedFile& file : folder.files) {
        html += odd ? oddStart : evenStart;
        odd = !odd;
        // Every cell may carry text from the file system or the shell: none may add markup.
        for (size_t i = 0; i < shown; ++i) {
            if (i > 0) html += before[i];
            AppendCell(html, file, columns[i], settings, ampersands, plainSeparators, scratch);
        }
        html += rowEnd;
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
