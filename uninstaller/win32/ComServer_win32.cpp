#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <string>

#include "FileSystem_win32.h"
#include "TextBuffer.h"

namespace corvel {

namespace {

void unregisterTypeLibrary(const std::string& path) {
    wchar_t wide[MAX_PATH + 1] = {};
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    if (SUCCEEDED(CoInitialize(nullptr))) {
        ITypeLib* library = nullptr;
        if (SUCCEEDED(LoadTypeLib(wide, &library)) && library) {
            TLIBATTR* attr = nullptr;
            if (SUCCEEDED(library->GetLibAttr(&attr)) && attr) {
                UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
                library->ReleaseTLibAttr(attr);
            }
            library->Release();
        }
        CoUninitialize();
    }
    SetErrorMode(oldMode);
}

void unregisterServerProgram(const std::string& path) {
    std::string command = "\"" + path + "\" /unregserver";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        Sleep(50);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

void unregisterInProcessServer(const std::string& path) {
    const HRESULT ole = OleInitialize(nullptr);
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    HMODULE module = loadServerLibrary(path, &LoadLibraryExA, searchFlagsSupported());
    SetErrorMode(oldMode);
    if (module) {
        using Unregister = HRESULT(STDAPICALLTYPE*)();
        auto fn = reinterpret_cast<Unregister>(reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
        if (fn) fn();
        FreeLibrary(module);
    }
    if (SUCCEEDED(ole)) OleUninitialize();
}

}  // namespace

bool searchFlagsSupported() {
    return GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories") != nullptr;
}

HMODULE loadServerLibrary(const std::string& path, LoadLibraryExFunction load, bool searchFlags) {
    // The library's own folder may hold what it depends on; nothing else but the system folder is searched.
    if (searchFlags) return load(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Without those flags (Vista, Windows 7 before its update) the altered search order takes the
    // library's folder first; it needs the full path.
    char full[MAX_PATH + 1] = {};
    const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    const std::string absolute = n > 0 && n <= MAX_PATH ? std::string(full, n) : path;
    return load(absolute.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void unregisterComServer(const std::string& path) {
    char previous[MAX_PATH + 1] = {};
    const DWORD kept = GetCurrentDirectoryA(MAX_PATH, previous);
    const size_t slash = path.rfind('\\');
    if (slash != std::string::npos) SetCurrentDirectoryA(path.substr(0, slash == 2 ? 3 : slash).c_str());
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos) {
        TextBuffer extension(path.substr(dot));
        extension.upperCase();
        if (extension.equals(".TLB", false)) {
            unregisterTypeLibrary(path);
        } else if (extension.equals(".EXE", false)) {
            unregisterServerProgram(path);
        } else {
            unregisterInProcessServer(path);
        }
    }
    if (kept > 0 && kept <= MAX_PATH) SetCurrentDirectoryA(previous);
}

}  // namespace corvel
