#pragma once
#include <cstdint>
#include <string>

#include "listing_settings.h"
#include "listing_writer.h"

namespace tessory {

// How the document's text is stored.
enum class DocumentText {
    FileCodePage,  // the platform's file code page (ANSI on Windows), no character set declared
    Utf8,          // UTF-8 declared in the head; ill-formed name bytes become U+FFFD
};

// The style sheet and body start, with the fonts, sizes and colours filled in.
std::string DocumentHead(const ListingSettings& settings, DocumentText text = DocumentText::FileCodePage);
// Everything before the folder sections: head, CR LF, the heading with the start folder,
// CR LF, the column heading row, CR LF.
std::string DocumentOpening(const ListingSettings& settings, const std::string& startFolder,
                            DocumentText text = DocumentText::FileCodePage);
// A document head of the file code page declared as UTF-8: the declaration first in the head.
std::string WithUtf8Declaration(const std::string& opening);
// Everything after the folder sections: CR LF, the totals table and the end of the document.
std::string DocumentClosing(std::int64_t totalFiles, std::int64_t totalFolders, std::uint64_t totalBytes);
// The same, followed (when the settings ask for the summary) by one line in the summary style
// that says what the walk left out.
std::string DocumentClosing(const RunTotals& totals, const ListingSettings& settings);
// "Left out: 2 folders by the folder filter, 1 file by the file filters, 0 folders that could
// not be read, 0 links not followed."
std::string LeftOutText(const RunTotals& totals);

// The listing document written in one pass: the opening, each folder's section followed by
// CR LF, and the closing, straight into output.
class HtmlListingWriter : public ListingWriter {
public:
    HtmlListingWriter(ListingOutput& output, DocumentText text) : output_(output), text_(text) {}
    bool Opening(const ListingSettings& settings, const std::string& startFolder) override;
    bool Folder(const ListedFolder& folder) override;
    bool Closing(const RunTotals& totals) override;

private:
    bool Put(const std::string& utf8);

    ListingOutput& output_;
    DocumentText text_;
    const ListingSettings* settings_ = nullptr;
    std::string section_;  // reused for every folder
};

}  // namespace tessory
