// A stand-in for a DLL planted beside the program: when loaded, it writes planted-loaded.txt beside itself.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t module[MAX_PATH];
  const DWORD n = GetModuleFileNameW(self, module, MAX_PATH);
  std::wstring path(module, n);
  path = path.substr(0, path.find_last_of(L'\\') + 1) + L"planted-loaded.txt";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return TRUE;
}
