#include "folder_verb_win32.h"

#include <vector>

#include "../folder_verb.h"
#include "win_handles_win32.h"

namespace tessory::ui {

namespace {

constexpr const char* kRegistryErrorText =
    "An unknown error has occured.\r\nApplication could not write to registry.";
constexpr const char* kRegistryErrorTitle = "Error writing to registry";

std::string ModulePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

void AddVerb() {
  UniqueHKey key;
  const LONG status = RegCreateKeyExA(HKEY_CLASSES_ROOT, kVerbCommandKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_WRITE, nullptr, key.out(), nullptr);
  if (status != ERROR_SUCCESS) {
    MessageBoxA(GetActiveWindow(), kRegistryErrorText, kRegistryErrorTitle, MB_OK | MB_ICONSTOP);
    return;
  }
  const std::string command = FolderVerbCommand(ProgramFolder(), ProgramExeName());
  RegSetValueExA(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 static_cast<DWORD>(command.size() + 1));
}

}  // namespace

HKEY RegistryRootKeyOf(const std::string& prefixedPath) {
  return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(RegistryRootOf(prefixedPath)));
}

void SetFolderVerb(std::int16_t mode) {
  if (mode == 1) AddVerb();
  else if (mode == 0) DeleteRegistryTree(kVerbKeyPath);
}

bool IsFolderVerbRegistered() {
  UniqueHKey key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kVerbCommandKey, 0, KEY_READ, key.out()) != ERROR_SUCCESS) return false;
  // Sized from the value itself: a deep program folder gives a command line of any length.
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
    return false;
  std::vector<char> buffer(size + 1, '\0');
  if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return false;
  std::string stored(buffer.data(), size);
  while (!stored.empty() && stored.back() == '\0') stored.pop_back();
  return FolderVerbNamesProgram(stored, ProgramFolder(), ProgramExeName());
}

LONG DeleteRegistryTree(const std::string& prefixedPath) {
  const HKEY root = RegistryRootKeyOf(prefixedPath);
  const std::string subPath = RegistrySubPathOf(prefixedPath);
  if (!root) return ERROR_INVALID_HANDLE;
  UniqueHKey key;
  LONG status = RegOpenKeyExA(root, subPath.c_str(), 0, KEY_ALL_ACCESS, key.out());
  if (status != ERROR_SUCCESS) return status;
  for (;;) {
    char name[256];
    DWORD nameLength = 255;
    status = RegEnumKeyExA(key.get(), 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) {
      key.reset();
      return RegDeleteKeyA(root, subPath.c_str());
    }
    if (status != ERROR_SUCCESS) return status;
    status = DeleteRegistryTree(prefixedPath + "\\" + std::string(name, nameLength));
    if (status != ERROR_SUCCESS) return status;
  }
}

std::string ProgramFolder() {
  const std::string path = ModulePath();
  const auto slash = path.find_last_of('\\');
  return WithTrailingBackslash(slash == std::string::npos ? path : path.substr(0, slash));
}

std::string ProgramExeName() {
  const std::string path = ModulePath();
  const auto slash = path.find_last_of('\\');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".exe") == 0) name.resize(name.size() - 4);
  return name;
}

}  // namespace tessory::ui
