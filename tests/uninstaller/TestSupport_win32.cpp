#include "TestSupport_win32.h"

#include <vector>

namespace corvel::test {

std::string binFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path);
    return p.substr(0, p.rfind('\\') + 1);
}

bool writeText(const std::string& path, const std::string& text) { return writer::writeFile(path, text); }

std::string readText(const std::string& path) {
    std::string bytes;
    return writer::readFile(path, bytes) ? bytes : std::string("<missing>");
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool makeFolders(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
    return fileExists(path);
}

bool writeUninstaller(const std::string& path, const writer::RecordDescription& record, const char* program) {
    std::string exe;
    if (!writer::readFile(binFolder() + program, exe)) return false;
    const std::string stored = writer::wrapRecord(writer::buildPlainRecord(record), {7, 99}, {201, 3});
    return writer::writeFile(path, writer::appendRecord(exe, stored));
}

bool Process::start(const std::string& exe, const std::string& arguments) {
    std::string command = "\"" + exe + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_) != 0;
}

int Process::wait(DWORD milliseconds) {
    if (WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<int>(code);
}

Process::~Process() {
    if (info_.hProcess) {
        if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(info_.hProcess, 99);
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
}

namespace {

struct Search {
    DWORD processId;
    const char* cls;
    const char* title;
    HWND found;
};

BOOL CALLBACK matchDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char cls[64] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (owner == search->processId && std::string(cls) == search->cls && IsWindowVisible(window) &&
        (!search->title || windowText(window) == search->title)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND findDialog(DWORD processId, const std::string& title, DWORD milliseconds) {
    return findWindow(processId, "#32770", title.c_str(), milliseconds);
}

HWND findWindow(DWORD processId, const char* cls, const char* title, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        Search search{processId, cls, title, nullptr};
        EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        Sleep(50);
    } while (GetTickCount() - start < milliseconds);
    return nullptr;
}

std::string windowText(HWND window) {
    wchar_t text[2048] = {};
    const int n = static_cast<int>(SendMessageW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text)));
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text, n, &out[0], bytes, nullptr, nullptr);
    return out;
}

std::string itemText(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item ? windowText(item) : std::string("<no control>");
}

void press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void pressAndWait(HWND dialog, int id) {
    press(dialog, id);
    for (const DWORD start = GetTickCount(); IsWindow(dialog) && GetTickCount() - start < 120000;) Sleep(25);
}

bool openAfterPostedMessages(HWND dialog, int buttonId, DWORD milliseconds) {
    HWND button = GetDlgItem(dialog, buttonId);
    if (!button || !PostMessageA(button, BM_SETSTATE, TRUE, 0)) return false;
    for (const DWORD start = GetTickCount(); IsWindow(button) && GetTickCount() - start < milliseconds;) {
        if (SendMessageA(button, BM_GETSTATE, 0, 0) & BST_PUSHED) {
            SendMessageA(button, BM_SETSTATE, FALSE, 0);
            return IsWindow(dialog) != 0;
        }
        Sleep(20);
    }
    return false;
}

bool waitForRunEnd(HWND window, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (!IsWindowEnabled(GetDlgItem(window, 55))) {
        if (GetTickCount() - start > milliseconds) return false;
        Sleep(50);
    }
    // Close is enabled first; the notices follow before the thread reads its next message.
    DWORD_PTR ignored;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, milliseconds, &ignored) != 0;
}

std::string pendingRenames() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    std::vector<char> data(1 << 20);
    DWORD size = static_cast<DWORD>(data.size());
    std::string out;
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) ==
        ERROR_SUCCESS) {
        for (DWORD i = 0; i < size; ++i) out.push_back(data[i] ? data[i] : '|');
    }
    RegCloseKey(key);
    return out;
}

}  // namespace corvel::test

namespace corvel::test {

void removeTree(const std::string& path) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

namespace {
HKEY createKey(HKEY root, const std::string& key) {
    HKEY out = nullptr;
    RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr);
    return out;
}
}  // namespace

void setDword(HKEY root, const std::string& key, const std::string& name, DWORD value) {
    HKEY k = createKey(root, key);
    RegSetValueExA(k, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(k);
}

void setString(HKEY root, const std::string& key, const std::string& name, const std::string& value) {
    HKEY k = createKey(root, key);
    RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
    RegCloseKey(k);
}

bool keyExists(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

bool valueExists(HKEY root, const std::string& key, const std::string& name) {
    return RegGetValueA(root, key.c_str(), name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

long long readDword(HKEY root, const std::string& key, const std::string& name) {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueA(root, key.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) return -1;
    return value;
}

std::string readString(HKEY root, const std::string& key, const std::string& name) {
    char value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueA(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return {};
    return value;
}

}  // namespace corvel::test
