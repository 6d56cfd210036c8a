#include "SystemLibraries_win32.h"

namespace corvel {

namespace {

HMODULE systemLibrary(const char* name) {
    char path[MAX_PATH + 32];
    const UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    lstrcatA(path, "\\");
    lstrcatA(path, name);
    return LoadLibraryA(path);
}

template <typename Fn>
Fn systemFunction(const char* library, const char* name) {
    HMODULE module = systemLibrary(library);
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

void restrictLibrarySearch() {
    using SetDefaultDirs = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto setDefault = reinterpret_cast<SetDefaultDirs>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // XP SP1 and later; older systems keep their search order.
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
    auto setDllDirectory = reinterpret_cast<SetDllDirectoryFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
    if (setDllDirectory) setDllDirectory("");
}

void initCommonControls() {
    using Init = void(WINAPI*)();
    HMODULE module = systemLibrary("comctl32.dll");
    auto init = module ? reinterpret_cast<Init>(reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(17)))) : nullptr;
    if (init) init();
}

bool versionInfoSize(const char* path, DWORD& size) {
    using Fn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    static const Fn fn = systemFunction<Fn>("version.dll", "GetFileVersionInfoSizeA");
    DWORD handle = 0;
    size = fn ? fn(path, &handle) : 0;
    return size != 0;
}

bool versionInfo(const char* path, DWORD size, void* data) {
    using Fn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    static const Fn fn = systemFunction<Fn>("version.dll", "GetFileVersionInfoA");
    return fn && fn(path, 0, size, data);
}

bool versionInfoSize(const wchar_t* path, DWORD& size) {
    using Fn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    static const Fn fn = systemFunction<Fn>("version.dll", "GetFileVersionInfoSizeW");
    DWORD handle = 0;
    size = fn ? fn(path, &handle) : 0;
    return size != 0;
}

bool versionInfo(const wchar_t* path, DWORD size, void* data) {
    using Fn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    static const Fn fn = systemFunction<Fn>("version.dll", "GetFileVersionInfoW");
    return fn && fn(path, 0, size, data);
}

bool versionQuery(void* data, const char* subBlock, void** value, UINT* length) {
    using Fn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
    static const Fn fn = systemFunction<Fn>("version.dll", "VerQueryValueA");
    return fn && fn(data, subBlock, value, length);
}

}  // namespace corvel
