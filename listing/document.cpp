#include "document.h"

#include <cstdint>
#include <cstring>

#include "column_values.h"
#include "folder_section.h"
#include "platform/file_io.h"

namespace tessory {
namespace {

void ReplaceAll(std::string& text, const std::string& placeholder, const std::string& value) {
    for (size_t pos = text.find(placeholder); pos != std::string::npos;
         pos = text.find(placeholder, pos + value.size())) {
        text.replace(pos, placeholder.size(), value);
    }
}

}  // namespace

constexpr const char* kHeadStart = "<html><head>";
constexpr const char* kUtf8Declaration = "<meta charset=\"utf-8\">";

std::string DocumentHead(const ListingSettings& s, DocumentText text) {
    std::string fol = std::to_string(s.folderFontSize);
    std::string file = std::to_string(s.fileFontSize);
    std::string head = std::string(kHeadStart) + (text == DocumentText::Utf8 ? kUtf8Declaration : "") + "<style>\r\n";
    head += ".dir{font-family:##FOLFONT##; font-weight:bold; font-size:" + fol +
            "pt; color:##FOLCOL##; background:##FOLBACK##;}";
    head += ".file{font-family:##FILEFONT##; font-size:" + file + "pt; color:##FILECOL##; background:##FILEBACK##;}";
    head += ".fileodd{font-family:##FILEFONT##; font-size:" + file +
            "pt; color:##FILECOL##; background:##FILEBACKODD##;}";
    head += ".summary{font-family:##FILEFONT##; font-size:" + file +
            "pt; color:##FILECOL##; background:##FILEBACK##;}";
    head += "body{font-family:##FOLFONT##; background:##BODY##;}";
    if (s.printLayout) {
        // Colours print as shown (browsers drop backgrounds otherwise, and a white folder name
        // then vanishes); no row is cut in two; a folder header stays with its first row; the
        // heading row of each table repeats on every page instead of standing once at the top.
        head += "@media print{*{-webkit-print-color-adjust:exact; print-color-adjust:exact;}"
                "tr{break-inside:avoid; page-break-inside:avoid;}"
                "table:has(td.dir){break-after:avoid; page-break-after:avoid;}"
                "h2+table{display:none;}thead.printhead{display:table-header-group;}}"
                "@media screen{thead.printhead{display:none;}}";
    }
    head += "</style></head><body>";
    // The order matters: a font name may itself contain a later placeholder.
    // The UTF-8 document escapes every outside text: a font name is CSS there.
    const bool escaped = text == DocumentText::Utf8;
    ReplaceAll(head, "##FOLFONT##", escaped ? EscapeCss(s.folderFont) : s.folderFont);
    ReplaceAll(head, "##FILEFONT##", escaped ? EscapeCss(s.fileFont) : s.fileFont);
    ReplaceAll(head, "##FILEBACK##", HtmlColour(s.fileBack));
    ReplaceAll(head, "##FOLBACK##", HtmlColour(s.folderBack));
    ReplaceAll(head, "##FILEBACKODD##", HtmlColour(s.fileBackOdd));
    ReplaceAll(head, "##BODY##", HtmlColour(s.bodyBack));
    ReplaceAll(head, "##FILECOL##", HtmlColour(s.fileFontColour));
    ReplaceAll(head, "##FOLCOL##", HtmlColour(s.folderFontColour));
    return head;
}

std::string DocumentOpening(const ListingSettings& settings, const std::string& startFolder, DocumentText text) {
    return DocumentHead(settings, text) + "\r\n<h2>Listing of " +
           EscapeMarkup(startFolder, text == DocumentText::Utf8) + "</h2>\r\n" +
           ColumnHeaderRow(settings, text == DocumentText::Utf8) + "\r\n";
}

std::string WithUtf8Declaration(const std::string& opening) {
    const size_t start = std::strlen(kHeadStart);
    if (opening.compare(0, start, kHeadStart) != 0) return kUtf8Declaration + opening;
    return opening.substr(0, start) + kUtf8Declaration + opening.substr(start);
}

std::string DocumentClosing(std::int64_t totalFiles, std::int64_t totalFolders, std::uint64_t totalBytes) {
    return "\r\n<br><table border=\"0\" cellspacing=\"1\" cellpadding=\"3\" width=\"100%\"><tr class=\"dir\"><td>"
           "Total Files: " + std::to_string(totalFiles) + ", Total Folders : " + std::to_string(totalFolders) +
           ", Total Size: " + std::to_string(totalBytes) + " bytes.</td></tr></table></body></html>";
}

std::string LeftOutText(const RunTotals& totals) {
    const auto count = [](std::int64_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    return "Left out: " + count(totals.skippedFolders, "folder", "folders") + " by the folder filter, " +
           count(totals.skippedFiles, "file", "files") + " by the file filters, " +
           count(totals.unreadableFolders, "folder that could not be read", "folders that could not be read") +
           ", " + count(totals.linksNotFollowed, "link not followed", "links not followed") + ".";
}

std::string DocumentClosing(const RunTotals& totals, const ListingSettings& settings) {
    std::string closing = DocumentClosing(totals.files, totals.folders, totals.bytes);
    if (!settings.summary) return closing;
    const std::string line =
        "<table border=\"0\" cellspacing=\"1\" cellpadding=\"3\" width=\"100%\"><tr class=\"summary\"><td>" +
        LeftOutText(totals) + "</td></tr></table>";
    closing.insert(closing.size() - std::string("</body></html>").size(), line);
    return closing;
}

bool HtmlListingWriter::Put(const std::string& utf8) {
    if (text_ == DocumentText::FileCodePage) return output_.Write(ToFileText(utf8));
    const size_t size = utf8.size();
    for (size_t i = 0; i < size;) {
        // Eight ASCII bytes at a time: the markup and most names are ASCII.
        if (i + 8 <= size) {
            std::uint64_t block;
            std::memcpy(&block, utf8.data() + i, 8);
            if ((block & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        size_t length = Utf8SequenceLength(utf8, i);
        if (length == 0) return output_.Write(ValidUtf8(utf8));
        i += length;
    }
    return output_.Write(utf8);  // the usual case: no copy
}

bool HtmlListingWriter::Opening(const ListingSettings& settings, const std::string& startFolder) {
    settings_ = &settings;
    return Put(DocumentOpening(settings, startFolder, text_));
}

bool HtmlListingWriter::Folder(const ListedFolder& folder) {
    section_.clear();
    AppendFolderSection(section_, folder, *settings_, text_ == DocumentText::Utf8);
    section_ += "\r\n";
    return Put(section_);
}

bool HtmlListingWriter::Closing(const RunTotals& totals) {
    return Put(DocumentClosing(totals, *settings_)) && output_.Flush();
}

}  // namespace tessory
