#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace tessory {

// How a key's text is written and read.
enum class SettingKind {
    Flag,        // "1" checked, "0" not; readers take the leading number
    ChoiceFlag,  // "1" for the selected option of a group, "0" for the others
    ChoiceWord,  // one of a fixed set of words, compared exactly
    Colour,      // decimal text of 0x00BBGGRR
    FontName,
    FontSize,    // decimal point size, may have a fraction; used as whole points
    DateTime,    // short date, a blank, hours:minutes
    FreeText,
};

struct SettingKey {
    const char* section;
    const char* name;
    SettingKind kind;
    const char* defaultText;  // nullptr: the current date and time
};

namespace section {
inline constexpr char kFilter[] = "Filter";
inline constexpr char kOutput[] = "Output";
inline constexpr char kDisplay[] = "Display";
inline constexpr char kHtml[] = "HTML";
}  // namespace section

namespace key {
using K = SettingKind;
// Filter
inline constexpr SettingKey kFileInclude{section::kFilter, "FileInclude", K::FreeText, "*"};
inline constexpr SettingKey kFileExclude{section::kFilter, "FileExclude", K::FreeText, ""};
inline constexpr SettingKey kFolInclude{section::kFilter, "FolInclude", K::FreeText, "*"};
inline constexpr SettingKey kFolExclude{section::kFilter, "FolExclude", K::FreeText, ""};
inline constexpr SettingKey kFileTime{section::kFilter, "FileTime", K::Flag, "0"};
inline constexpr SettingKey kFileTimeFrom{section::kFilter, "FileTimeFrom", K::DateTime, nullptr};
inline constexpr SettingKey kFileTimeTo{section::kFilter, "FileTimeTo", K::DateTime, nullptr};
inline constexpr SettingKey kFileSize{section::kFilter, "FileSize", K::Flag, "0"};
inline constexpr SettingKey kFileSizeFrom{section::kFilter, "FileSizeFrom", K::FreeText, ""};
inline constexpr SettingKey kFileSizeTo{section::kFilter, "FileSizeTo", K::FreeText, ""};
// Output
inline constexpr SettingKey kNoOrder{section::kOutput, "NoOrder", K::ChoiceFlag, "1"};
inline constexpr SettingKey kNameOrder{section::kOutput, "NameOrder", K::ChoiceFlag, "0"};
inline constexpr SettingKey kExtOrder{section::kOutput, "ExtOrder", K::ChoiceFlag, "0"};
inline constexpr SettingKey kSizeOrder{section::kOutput, "SizeOrder", K::ChoiceFlag, "0"};
inline constexpr SettingKey kTypeOrder{section::kOutput, "TypeOrder", K::ChoiceFlag, "0"};
inline constexpr SettingKey kDateOrder{section::kOutput, "DateOrder", K::ChoiceFlag, "0"};
inline constexpr SettingKey kRecurse{section::kOutput, "Recurse", K::ChoiceWord, "Infinite"};
inline constexpr SettingKey kRecurseDepth{section::kOutput, "RecurseDepth", K::FreeText, "6"};
inline constexpr SettingKey kBrowser{section::kOutput, "Browser", K::Flag, "1"};
// Closing totals also say what the walk left out.
inline constexpr SettingKey kSummary{section::kOutput, "Summary", K::Flag, "0"};
// Display
inline constexpr SettingKey kName{section::kDisplay, "Name", K::Flag, "1"};
inline constexpr SettingKey kExt{section::kDisplay, "Ext", K::Flag, "0"};
inline constexpr SettingKey kType{section::kDisplay, "Type", K::Flag, "1"};
inline constexpr SettingKey kSize{section::kDisplay, "Size", K::Flag, "1"};
inline constexpr SettingKey kDateTime{section::kDisplay, "DateTime", K::Flag, "1"};
inline constexpr SettingKey kAttrib{section::kDisplay, "Attrib", K::Flag, "0"};
inline constexpr SettingKey kNameStr{section::kDisplay, "NameStr", K::FreeText, "Name"};
inline constexpr SettingKey kExtStr{section::kDisplay, "ExtStr", K::FreeText, "Ext"};
inline constexpr SettingKey kTypeStr{section::kDisplay, "TypeStr", K::FreeText, "Type"};
inline constexpr SettingKey kSizeStr{section::kDisplay, "SizeStr", K::FreeText, "Size"};
inline constexpr SettingKey kDateStr{section::kDisplay, "DateStr", K::FreeText, "Date"};
inline constexpr SettingKey kAttribStr{section::kDisplay, "AttribStr", K::FreeText, "Attrs"};
inline constexpr SettingKey kNameWidth{section::kDisplay, "NameWidth", K::FreeText, "35"};
inline constexpr SettingKey kExtWidth{section::kDisplay, "ExtWidth", K::FreeText, "6"};
inline constexpr SettingKey kTypeWidth{section::kDisplay, "TypeWidth", K::FreeText, "20"};
inline constexpr SettingKey kSizeWidth{section::kDisplay, "SizeWidth", K::FreeText, "10"};
inline constexpr SettingKey kDateWidth{section::kDisplay, "DateWidth", K::FreeText, "12"};
inline constexpr SettingKey kAttribWidth{section::kDisplay, "AttribWidth", K::FreeText, "6"};
inline constexpr SettingKey kDisplayFileSize{section::kDisplay, "DisplayFileSize", K::ChoiceWord, "Dynamic"};
// HTML
inline constexpr SettingKey kBodyBack{section::kHtml, "BodyBack", K::Colour, "16777215"};
inline constexpr SettingKey kFolBack{section::kHtml, "FolBack", K::Colour, "0"};
inline constexpr SettingKey kFolFontColor{section::kHtml, "FolFontColor", K::Colour, "16777215"};
inline constexpr SettingKey kFolFont{section::kHtml, "FolFont", K::FontName, "Tahoma"};
inline constexpr SettingKey kFolFontSize{section::kHtml, "FolFontSize", K::FontSize, "10"};
inline constexpr SettingKey kFileBack{section::kHtml, "FileBack", K::Colour, "12566463"};
inline constexpr SettingKey kFileBackOdd{section::kHtml, "FileBackOdd", K::Colour, "16777215"};
inline constexpr SettingKey kFileFontColor{section::kHtml, "FileFontColor", K::Colour, "0"};
inline constexpr SettingKey kFileFont{section::kHtml, "FileFont", K::FontName, "Tahoma"};
inline constexpr SettingKey kFileFontSize{section::kHtml, "FileFontSize", K::FontSize, "10"};
// Print rules in the style sheet: colours kept, rows and headers not split across pages.
inline constexpr SettingKey kPrintLayout{section::kHtml, "PrintLayout", K::Flag, "0"};
}  // namespace key

// Choice words of "Recurse" and "DisplayFileSize".
namespace word {
inline constexpr char kInfinite[] = "Infinite";
inline constexpr char kNo[] = "No";
inline constexpr char kDepth[] = "Depth";
inline constexpr char kBytes[] = "Bytes";
inline constexpr char kKb[] = "Kb";
inline constexpr char kMb[] = "Mb";
inline constexpr char kDynamic[] = "Dynamic";
}  // namespace word

// Every key of the four sections, in the order of their tables.
const std::vector<SettingKey>& SettingCatalogue();
// The catalogue entry for a section and key (any letter case), or nullptr.
const SettingKey* FindSettingKey(std::string_view section, std::string_view name);
// The key's default as text; the two time bounds give the current date and time.
std::string DefaultText(const SettingKey& key);

// Case-insensitive comparison of section and key names (ASCII letters).
bool SameName(std::string_view a, std::string_view b);

}  // namespace tessory
