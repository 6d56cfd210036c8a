#include "document.h"

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

std::string DocumentHead(const ListingSettings& s, DocumentText text) {
    std::string fol = std::to_string(s.folderFontSize);
    std::string file = std::to_string(s.fileFontSize);
    std::string head = text == DocumentText::Utf8 ? "<html><head><meta charset=\"utf-8\"><style>\r\n"
                                                  : "<html><head><style>\r\n";
    head += ".dir{font-family:##FOLFONT##; font-weight:bold; font-size:" + fol +
            "pt; color:##FOLCOL##; background:##FOLBACK##;}";
    head += ".file{font-family:##FILEFONT##; font-size:" + file + "pt; color:##FILECOL##; background:##FILEBACK##;}";
    head += ".fileodd{font-family:##FILEFONT##; font-size:" + file +
            "pt; color:##FILECOL##; background:##FILEBACKODD##;}";
    head += ".summary{font-family:##FILEFONT##; font-size:" + file +
            "pt; color:##FILECOL##; background:##FILEBACK##;}";
    head += "body{font-family:##FOLFONT##; background:##BODY##;}";
    head += "</style></head><body>";
    // The order matters: a font name may itself contain a later placeholder.
    ReplaceAll(head, "##FOLFONT##", s.folderFont);
    ReplaceAll(head, "##FILEFONT##", s.fileFont);
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
           ColumnHeaderRow(settings) + "\r\n";
}

std::string DocumentClosing(std::int64_t totalFiles, std::int64_t totalFolders, std::uint64_t totalBytes) {
    return "\r\n<br><table border=\"0\" cellspacing=\"1\" cellpadding=\"3\" width=\"100%\"><tr class=\"dir\"><td>"
           "Total Files: " + std::to_string(totalFiles) + ", Total Folders : " + std::to_string(totalFolders) +
           ", Total Size: " + std::to_string(totalBytes) + " bytes.</td></tr></table></body></html>";
}

bool HtmlListingWriter::Put(const std::string& utf8) {
    if (text_ == DocumentText::FileCodePage) return output_.Write(ToFileText(utf8));
    for (size_t i = 0; i < utf8.size();) {
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
    return Put(DocumentClosing(totals.files, totals.folders, totals.bytes)) && output_.Flush();
}

}  // namespace tessory
