#include "type_names.h"

#include <algorithm>
#include <cstdint>
#include <cctype>
#include <cstring>
#include <iterator>
#include <string_view>

namespace tessory {
namespace {

struct TypeEntry {
    const char* extension;  // lower case, sorted
    const char* name;
};

constexpr TypeEntry kTypes[] = {
    {"7z", "7-Zip Archive"},        {"avi", "AVI Video"},           {"bat", "Batch File"},
    {"bmp", "Bitmap Image"},        {"bz2", "BZ2 Archive"},         {"c", "C Source File"},
    {"cc", "C++ Source File"},      {"cfg", "Configuration File"},  {"conf", "Configuration File"},
    {"cpp", "C++ Source File"},     {"css", "Cascading Style Sheet"}, {"csv", "CSV File"},
    {"deb", "Debian Package"},      {"doc", "Word Document"},       {"docx", "Word Document"},
    {"exe", "Application"},         {"gif", "GIF Image"},           {"gz", "GZ Archive"},
    {"h", "C Header File"},         {"hpp", "C++ Header File"},     {"htm", "HTML Document"},
    {"html", "HTML Document"},      {"ico", "Icon"},                {"ini", "Configuration Settings"},
    {"jpeg", "JPEG Image"},         {"jpg", "JPEG Image"},          {"js", "JavaScript File"},
    {"json", "JSON File"},          {"log", "Text Document"},       {"md", "Markdown Document"},
    {"mp3", "MP3 Audio"},           {"mp4", "MP4 Video"},           {"odt", "OpenDocument Text"},
    {"ogg", "OGG Audio"},           {"pdf", "PDF Document"},        {"pl", "Perl Script"},
    {"png", "PNG Image"},           {"ppt", "PowerPoint Presentation"}, {"py", "Python File"},
    {"rtf", "Rich Text Document"},  {"sh", "Shell Script"},         {"so", "Shared Library"},
    {"svg", "SVG Image"},           {"tar", "TAR Archive"},         {"tgz", "TGZ Archive"},
    {"tif", "TIFF Image"},          {"tiff", "TIFF Image"},         {"ttf", "TrueType Font"},
    {"txt", "Text Document"},       {"wav", "Wave Sound"},          {"xls", "Excel Worksheet"},
    {"xlsx", "Excel Worksheet"},    {"xml", "XML Document"},        {"xz", "XZ Archive"},
    {"zip", "Compressed (zipped) Folder"},
};

constexpr size_t kLongest = 4;  // characters of the longest extension in the table

constexpr bool AllFit() {
    for (const TypeEntry& e : kTypes) {
        size_t n = 0;
        while (e.extension[n]) ++n;
        if (n > kLongest) return false;
    }
    return true;
}
static_assert(AllFit(), "an extension longer than kLongest would be cut short");

// Up to kLongest characters as one number whose order is the text's byte order.
std::uint32_t Packed(const char* text, size_t length) {
    std::uint32_t key = 0;
    for (size_t i = 0; i < kLongest; ++i) key = key << 8 | (i < length ? static_cast<unsigned char>(text[i]) : 0u);
    return key;
}

struct PackedTable {
    std::uint32_t keys[std::size(kTypes)];
    PackedTable() {
        for (size_t i = 0; i < std::size(kTypes); ++i) {
            keys[i] = Packed(kTypes[i].extension, std::strlen(kTypes[i].extension));
        }
    }
};

}  // namespace

std::string TypeNameFromExtension(const std::string& fileName) {
    size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot + 1 == fileName.size()) return "File";
    const std::string_view ext = std::string_view(fileName).substr(dot + 1);
    // Asked for every file: the extension is looked up as one number, and not at all when it is
    // longer than any in the table.
    if (ext.size() <= kLongest && ext.find('\0') == std::string_view::npos) {
        static const PackedTable table;
        char lower[kLongest];
        for (size_t i = 0; i < ext.size(); ++i) lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(ext[i])));
        const std::uint32_t key = Packed(lower, ext.size());
        const std::uint32_t* found = std::lower_bound(std::begin(table.keys), std::end(table.keys), key);
        if (found != std::end(table.keys) && *found == key) return kTypes[found - std::begin(table.keys)].name;
    }
    std::string upper(ext);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper + " File";
}

}  // namespace tessory
