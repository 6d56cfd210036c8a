#pragma once
// Default values below HKEY_CLASSES_ROOT, read and written by the Windows tests of the windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

// The default value's text; empty when the key or value is missing.
inline std::wstring ClassesDefault(const std::wstring& path) {
  wchar_t buffer[2048] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
    return L"";
  return buffer;
}

// The same as the shell's merged view reads it: the user's classes first (this Wine does not merge).
inline std::wstring MergedClassesDefault(const std::wstring& path) {
  wchar_t buffer[2048] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + path).c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer,
                   &size) == ERROR_SUCCESS)
    return buffer;
  return ClassesDefault(path);
}

inline void WriteClassesDefault(const std::wstring& path, const std::wstring& value) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}
