#include "folder_verb_win32.h"

#include <vector>

#include "../folder_verb.h"
#include "platform/win32/wide_text_win32.h"
#include "win_handles_win32.h"

namespace tessory::ui {

namespace {

constexpr const char* kRegistryErrorText =
    "An unknown error has occured.\r\nApplication could not write to registry.";
constexpr const char* kRegistryErrorTitle = "Error writing to registry";

std::string ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) return Narrow(std::wstring(buffer.data(), n));
    buffer.resize(buffer.size() * 2);
  }
}

void AddVerb() {
  UniqueHKey key;
  LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, Widen(kUserVerbCommandKey).c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.out(), nullptr);
  if (status == ERROR_SUCCESS) {
    const std::wstring command = Widen(FolderVerbCommand(ProgramFolder(), ProgramExeName()));
    status = RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                            static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  }
  // A verb that was not written must not look as if it had been.
  if (status != ERROR_SUCCESS)
    MessageBoxW(GetActiveWindow(), Widen(kRegistryErrorText).c_str(), Widen(kRegistryErrorTitle).c_str(),
                MB_OK | MB_ICONSTOP);
}

}  // namespace

HKEY RegistryRootKeyOf(const std::string& prefixedPath) {
  // Predefined keys are sign-extended on 64-bit Windows, so the code is not cast to a handle.
  switch (RegistryRootOf(prefixedPath)) {
    case kClassesRoot: return HKEY_CLASSES_ROOT;
    case kCurrentUser: return HKEY_CURRENT_USER;
    default: return nullptr;
  }
}

void SetFolderVerb(std::int16_t mode) {
  if (mode == 1) AddVerb();
  else if (mode == 0) {
    DeleteRegistryTree(kUserVerbKeyPath);
    // With the user's key gone the merged view shows a machine-wide verb of older copies; it goes
    // too where this user may remove it.
    DeleteRegistryTree(kVerbKeyPath);
  }
}

bool IsFolderVerbRegistered() {
  // The user's key first, then the classes root: the order of the merged view that the shell
  // reads (which this Wine does not merge).
  UniqueHKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(kUserVerbCommandKey).c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS &&
      RegOpenKeyExW(HKEY_CLASSES_ROOT, Widen(kVerbCommandKey).c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS)
    return false;
  // Sized from the value itself: a deep program folder gives a command line of any length.
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
    return false;
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return false;
  std::wstring stored(buffer.data(), size / sizeof(wchar_t));
  while (!stored.empty() && stored.back() == L'\0') stored.pop_back();
  return FolderVerbNamesProgram(Narrow(stored), ProgramFolder(), ProgramExeName());
}

LONG DeleteRegistryTree(const std::string& prefixedPath) {
  const HKEY root = RegistryRootKeyOf(prefixedPath);
  const std::string subPath = RegistrySubPathOf(prefixedPath);
  if (!root) return ERROR_INVALID_HANDLE;
  UniqueHKey key;
  const std::wstring wideSubPath = Widen(subPath);
  LONG status = RegOpenKeyExW(root, wideSubPath.c_str(), 0, KEY_ALL_ACCESS, key.out());
  if (status != ERROR_SUCCESS) return status;
  for (;;) {
    wchar_t name[256];
    DWORD nameLength = 256;
    status = RegEnumKeyExW(key.get(), 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) {
      key.reset();
      return RegDeleteKeyW(root, wideSubPath.c_str());
    }
    if (status != ERROR_SUCCESS) return status;
    status = DeleteRegistryTree(prefixedPath + "\\" + Narrow(std::wstring(name, nameLength)));
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
