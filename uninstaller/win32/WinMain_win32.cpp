#include <windows.h>

#include "Run_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return corvel::runUninstaller(instance, GetCommandLineA());
}
