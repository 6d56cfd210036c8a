#include "folder_verb.h"

#include <algorithm>
#include <cctype>

namespace tessory::ui {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

std::uint32_t RegistryRootOf(const std::string& prefixedPath) {
  const auto slash = prefixedPath.find('\\');
  const std::string prefix = prefixedPath.substr(0, slash);
  std::string upper = prefix;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (upper == "HKCR") return kClassesRoot;
  return upper == "HKCU" ? kCurrentUser : 0u;
}

std::string RegistrySubPathOf(const std::string& prefixedPath) {
  const auto slash = prefixedPath.find('\\');
  return slash == std::string::npos ? prefixedPath : prefixedPath.substr(slash + 1);
}

std::int16_t FlagFromBoolean(bool value) { return value ? 1 : 0; }

std::string WithTrailingBackslash(const std::string& folder) {
  if (!folder.empty() && folder.back() == '\\') return folder;
  return folder + "\\";
}

std::string FolderVerbCommand(const std::string& programFolder, const std::string& exeName) {
  return "\"" + programFolder + exeName + ".exe\" \"%1\"";
}

bool FolderVerbNamesProgram(const std::string& stored, const std::string& programFolder,
                            const std::string& exeName) {
  return Lower(stored) == Lower(FolderVerbCommand(programFolder, exeName));
}

}  // namespace tessory::ui
