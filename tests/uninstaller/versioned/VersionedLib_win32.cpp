// A small library with a version resource, for the backup tests, whose unregistration entry
// point leaves a mark in the registry, for the control-file tests.
#include <windows.h>

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer() {
    char path[MAX_PATH] = {};
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&DllUnregisterServer), &self);
    GetModuleFileNameA(self, path, MAX_PATH);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\CorvelTest", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExA(key, "Unregistered", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), lstrlenA(path) + 1);
        RegCloseKey(key);
    }
    return S_OK;
}
