#include "type_names.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>

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

}  // namespace

std::string TypeNameFromExtension(const std::string& fileName) {
    size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot + 1 == fileName.size()) return "File";
    std::string ext = fileName.substr(dot + 1);
    std::string lower = ext;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto it = std::lower_bound(std::begin(kTypes), std::end(kTypes), lower,
                               [](const TypeEntry& e, const std::string& key) { return key.compare(e.extension) > 0; });
    if (it != std::end(kTypes) && lower == it->extension) return it->name;
    std::string upper = ext;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper + " File";
}

}  // namespace tessory
