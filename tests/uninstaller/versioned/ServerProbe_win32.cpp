// A stand-in for a COM server program: it leaves its command line in the registry, so that a
// test sees how the uninstaller started it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* line = GetCommandLineA();
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\CorvelTest", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExA(key, "ServerCommandLine", 0, REG_SZ, reinterpret_cast<const BYTE*>(line), lstrlenA(line) + 1);
        RegCloseKey(key);
    }
    return 0;
}
