// The 64-bit side of the shipped 32-bit programs' stage (tests/win32_shipped/run.sh): Wine's 64-bit
// loader cannot start a 32-bit program itself, so the script starts those under qemu and this
// program sets the scene before and checks the result after, against the same prefix.
//   prepare BIN32 TEMPLATE_DIR   scene for every run; BIN32 holds the 32-bit build
//   hold FILE STOPFILE HELDFILE  keeps FILE open without sharing until STOPFILE exists; writes
//                                HELDFILE once it holds FILE
//   close-main                   asks Tessory's main window to close
//   window-done TITLE            waits until the uninstaller window's run is over (Close enabled)
//   close-window TITLE           presses the uninstaller window's Close button
//   check-listing                the 32-bit listing equals the 64-bit one and was handed on
//   check-system32               the 32-bit listing of a folder only in the 64-bit System32 shows it
//   check-silent CODE            the silent uninstall removed what it should
//   check-corrupt CODE           the corrupt record removed nothing
// Each check prints its failures and ends with 1 when there was one.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "RecordFormat.h"
#include "TemplateText.h"
#include "TemplateWriter.h"
#include "TestSupport_win32.h"

using namespace corvel;
using namespace corvel::test;

namespace {

const char kRoot[] = "C:\\shipped32";
const char kShared[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kBrowserKey[] = "Software\\VB and VBA Program Settings\\Ombrel\\Output";
const char kRecorderProgId[] = "Shipped32.RecordedHtml";

int failures = 0;

void expect(bool ok, const std::string& what) {
    if (ok) return;
    ++failures;
    std::printf("FAILED: %s\n", what.c_str());
}

std::string path(const std::string& relative) { return std::string(kRoot) + "\\" + relative; }

std::string file(const std::string& relative, const std::string& text = "data") {
    const std::string p = path(relative);
    makeFolders(p.substr(0, p.rfind('\\')));
    writeText(p, text);
    return p;
}

// Values in the 32-bit view of HKEY_LOCAL_MACHINE\Software, where a 32-bit installer writes them.
HKEY key32(const std::string& key) {
    HKEY out = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &out,
                    nullptr);
    return out;
}
void setDword32(const std::string& key, const std::string& name, DWORD value) {
    HKEY k = key32(key);
    RegSetValueExA(k, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(k);
}
long long readDword32(const std::string& key, const std::string& name) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &k) != ERROR_SUCCESS) return -1;
    DWORD value = 0, size = sizeof value, type = 0;
    const LONG got = RegQueryValueExA(k, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(k);
    return got == ERROR_SUCCESS && type == REG_DWORD ? static_cast<long long>(value) : -1;
}
bool keyExists32(const std::string& key) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

writer::RecordDescription baseRecord(const std::string& product) {
    writer::RecordDescription record;
    record.language = 1;
    record.product = product;
    record.strings = {{0, "%s Uninstall"},        {1, "Remove %s and all of its components?"},
                      {3, "Restore the files that setup replaced?"}, {5, "Files not removed:"},
                      {6, "Folders not removed:"}, {7, "Registry keys not removed:"}};
    return record;
}

bool writeUninstaller32(const std::string& bin32, const std::string& exe, const writer::RecordDescription& record) {
    std::string program;
    if (!writer::readFile(bin32 + "\\CorvelUninstaller.exe", program)) return false;
    makeFolders(exe.substr(0, exe.rfind('\\')));
    return writer::writeFile(exe, writer::appendRecord(program, writer::wrapRecord(writer::buildPlainRecord(record),
                                                                                   {7, 99}, {201, 3})));
}

// The realistic installation the silent run removes; the same shape as the 64-bit end-to-end run.
bool prepareSilent(const std::string& bin32) {
    writer::RecordDescription record = baseRecord("Shipped32 Silent");
    std::vector<std::string> files;
    for (int i = 0; i < 4; ++i) {
        files.push_back(file("silent\\app\\f" + std::to_string(i) + ".txt"));
        files.push_back(file("silent\\app\\data\\deep\\x" + std::to_string(i) + ".bin"));
    }
    const std::string readOnly = file("silent\\app\\docs\\readme.txt");
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    files.push_back(readOnly);
    files.push_back(path("silent\\app\\never-installed.txt"));
    file("silent\\app\\keep\\mine.txt");
    record.files = files;
    record.files.push_back(file("silent\\app\\locked.dat"));
    record.directories = {path("silent\\app\\data\\deep"), path("silent\\app\\data"), path("silent\\app\\docs"),
                          path("silent\\app\\keep")};

    const std::string last = file("silent\\shared\\last.dll"), many = file("silent\\shared\\many.dll");
    const std::string control = path("silent\\shared\\control.dll");
    if (!CopyFileA((bin32 + "\\shipped32_control.dll").c_str(), control.c_str(), FALSE)) return false;
    setDword32(kShared, last, 1);
    setDword32(kShared, many, 3);
    setDword32(kShared, control, 1);
    // The same names in the 64-bit view: a 32-bit program must not touch these.
    setDword(HKEY_LOCAL_MACHINE, kShared, last, 7);
    setDword(HKEY_LOCAL_MACHINE, kShared, many, 7);
    setString(HKEY_CURRENT_USER, "Software\\CorvelTest", "Unregistered", "");
    record.shared = {last, many, control + "|ctrl"};

    const std::string backup = file("silent\\backup\\old.bak", "old");
    const std::string target = file("silent\\app\\target.dll", "new");
    record.backups = {backup + "\t" + target + "\t0\t0\t0\t0"};

    const std::string cu = "Software\\Shipped32\\Silent";
    setString(HKEY_CURRENT_USER, cu, "Drop", "1");
    setString(HKEY_CURRENT_USER, cu, "Keep", "1");
    setString(HKEY_CURRENT_USER, cu + "\\Tree\\A\\B", "v", "1");
    setString(HKEY_CURRENT_USER, cu + "\\Busy\\Child", "v", "1");
    HKEY lm = key32("Software\\Shipped32\\Silent");
    RegCloseKey(lm);
    setString(HKEY_LOCAL_MACHINE, "Software\\Shipped32\\Silent", "v", "64-bit view");
    setString(HKEY_CLASSES_ROOT, "Shipped32.Silent\\shell", "", "x");
    record.registry.key("HKCR\\Shipped32.Silent", corvel::record::kDeleteKey | corvel::record::kDeleteTree);
    record.registry.key("HKCU\\" + cu, 0).value("Drop", 1).value("Keep", 0);
    record.registry.key("HKCU\\" + cu + "\\Tree", corvel::record::kDeleteKey | corvel::record::kDeleteTree);
    record.registry.key("HKCU\\" + cu + "\\Busy", corvel::record::kDeleteKey);
    record.registry.key("HKLM\\Software\\Shipped32\\Silent", corvel::record::kDeleteKey);
    return writeUninstaller32(bin32, path("silent\\app\\unins.exe"), record);
}

bool prepareCorrupt(const std::string& bin32) {
    writer::RecordDescription record = baseRecord("Shipped32 Corrupt");
    record.files = {file("corrupt\\app\\a.txt")};
    const std::string exe = path("corrupt\\app\\unins.exe");
    if (!writeUninstaller32(bin32, exe, record)) return false;
    std::string bytes;
    if (!writer::readFile(exe, bytes)) return false;
    bytes[bytes.size() - 40] ^= 0x01;
    return writer::writeFile(exe, bytes);
}

// An interactive run with the default progress window, to be looked at.
bool prepareWindow(const std::string& bin32, const std::string& templateDir) {
    writer::RecordDescription record = baseRecord("Sample Tool");
    tpl::CompiledTemplate compiled;
    std::string error;
    if (!tpl::ParseTemplateText(readText(templateDir + "\\progress.tpl.txt"), compiled, error)) {
        std::printf("template: %s\n", error.c_str());
        return false;
    }
    record.windowTemplate = tpl::WriteTemplate(compiled.source);
    record.images = {{1, readText(templateDir + "\\banner.bmp")},
                     {2, readText(templateDir + "\\tick.bmp")},
                     {3, readText(templateDir + "\\close-strip.bmp")}};
    record.files = {file("window\\app\\SampleTool.exe")};
    file("window\\app\\Projects\\plan.txt", "my work");
    record.directories = {path("window\\app\\Projects")};
    return writeUninstaller32(bin32, path("window\\app\\unins.exe"), record);
}

// The listing: both builds of Tessory beside each other, .htm opened by the recording program.
bool prepareListing(const std::string& bin32) {
    file("tree\\alpha.txt", "12345");
    file("tree\\beta.dat", "1234567890");
    file("tree\\Sub Folder\\gamma.txt", "x");
    makeFolders(path("tree\\Empty"));
    makeFolders(path("app32"));
    makeFolders(path("app64"));
    const bool copied = CopyFileA((bin32 + "\\Tessory.exe").c_str(), path("app32\\Tessory.exe").c_str(), FALSE) &&
                        CopyFileA((binFolder() + "Tessory.exe").c_str(), path("app64\\Tessory.exe").c_str(), FALSE) &&
                        CopyFileA((binFolder() + "tessory_test_recorder.exe").c_str(),
                                  path("app64\\tessory_test_recorder.exe").c_str(), FALSE);
    setString(HKEY_CLASSES_ROOT, std::string(kRecorderProgId) + "\\shell\\open\\command", "",
              "\"" + path("app64\\tessory_test_recorder.exe") + "\" \"%1\"");
    setString(HKEY_CLASSES_ROOT, ".htm", "", kRecorderProgId);
    setString(HKEY_CURRENT_USER, kBrowserKey, "Browser", "0");
    // This 64-bit program's System32 is the true one; a 32-bit program is redirected from it.
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    makeFolders(std::string(system) + "\\shipped32-only64");
    writeText(std::string(system) + "\\shipped32-only64\\only64.txt", "64");
    return copied;
}

std::string lower(std::string text) {
    for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

std::string recorded() {
    const std::string bytes = readText(path("app64\\recorded.txt"));
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) out += bytes[i + 1] ? '?' : bytes[i];
    return out;
}

int checkListing() {
    const std::string listing32 = readText(path("app32\\myTmpFile.htm"));
    const std::string listing64 = readText(path("app64\\myTmpFile.htm"));
    expect(listing32 != "<missing>", "the 32-bit build wrote " + path("app32\\myTmpFile.htm"));
    expect(listing64 != "<missing>", "the 64-bit build wrote " + path("app64\\myTmpFile.htm"));
    expect(listing32 == listing64, "the two listings are byte for byte the same (" + std::to_string(listing32.size()) +
                                       " and " + std::to_string(listing64.size()) + " bytes)");
    expect(listing32.find("gamma.txt") != std::string::npos, "the listing names a file of the subfolder");
    expect(lower(recorded()).find(lower(path("app32\\myTmpFile.htm"))) != std::string::npos,
           "the default program was asked to open the 32-bit listing; it got: " + recorded());
    return failures ? 1 : 0;
}

int checkSystem32() {
    const std::string listing32 = readText(path("app32\\myTmpFile.htm"));
    expect(listing32.find("<h2>Listing of C:\\windows\\system32\\shipped32-only64</h2>") != std::string::npos,
           "the 32-bit build listed the folder in System32");
    expect(listing32.find("only64.txt") != std::string::npos, "the listing names the file only the 64-bit System32 holds");
    return failures ? 1 : 0;
}

int checkSilent(int code) {
    expect(code == 1, "a completed silent run ends with 1, not " + std::to_string(code));
    for (int i = 0; i < 4; ++i) {
        expect(!fileExists(path("silent\\app\\f" + std::to_string(i) + ".txt")), "f" + std::to_string(i) + ".txt removed");
        expect(!fileExists(path("silent\\app\\data\\deep\\x" + std::to_string(i) + ".bin")), "x" + std::to_string(i) + ".bin removed");
    }
    expect(!fileExists(path("silent\\app\\docs")), "the read-only file and its folder removed");
    expect(!fileExists(path("silent\\app\\data")), "emptied folders removed");
    expect(fileExists(path("silent\\app\\keep\\mine.txt")), "the user's own file kept");
    expect(fileExists(path("silent\\app\\locked.dat")), "the file held open is still there");
    const std::string pending = pendingRenames();
    expect(pending.find("shipped32\\silent\\app\\locked.dat|") != std::string::npos,
           "the held file is deleted at restart: " + pending);
    expect(!fileExists(path("silent\\app\\unins.exe")), "the uninstaller moved out of its folder");
    expect(pending.find(".tmp.bak|") != std::string::npos, "the moved uninstaller is deleted at restart");

    const std::string last = path("silent\\shared\\last.dll"), many = path("silent\\shared\\many.dll");
    const std::string control = path("silent\\shared\\control.dll");
    expect(!fileExists(last), "a shared file whose count reaches zero is removed");
    expect(readDword32(kShared, last) == -1, "its count is removed from the 32-bit view");
    expect(fileExists(many), "a shared file still in use is kept");
    expect(readDword32(kShared, many) == 2, "its count drops to 2, is " + std::to_string(readDword32(kShared, many)));
    expect(readDword(HKEY_LOCAL_MACHINE, kShared, last) == 7 && readDword(HKEY_LOCAL_MACHINE, kShared, many) == 7,
           "the 64-bit view's counts are untouched");
    expect(!fileExists(control), "the control file is removed");
    expect(readString(HKEY_CURRENT_USER, "Software\\CorvelTest", "Unregistered") == control,
           "the 32-bit control's registration was undone (through the 32-bit library)");
    expect(!fileExists(path("silent\\backup\\old.bak")), "the backup is deleted");
    expect(readText(path("silent\\app\\target.dll")) == "new", "silent runs never restore");

    const std::string cu = "Software\\Shipped32\\Silent";
    expect(!keyExists(HKEY_CLASSES_ROOT, "Shipped32.Silent"), "HKCR key tree removed");
    expect(!valueExists(HKEY_CURRENT_USER, cu, "Drop"), "value marked for deletion removed");
    expect(valueExists(HKEY_CURRENT_USER, cu, "Keep"), "value not marked kept");
    expect(!keyExists(HKEY_CURRENT_USER, cu + "\\Tree"), "key tree removed");
    expect(keyExists(HKEY_CURRENT_USER, cu + "\\Busy\\Child"), "key with subkeys kept when not a tree");
    expect(!keyExists32("Software\\Shipped32\\Silent"), "HKLM key removed from the 32-bit view");
    expect(readString(HKEY_LOCAL_MACHINE, "Software\\Shipped32\\Silent", "v") == "64-bit view",
           "the same key in the 64-bit view is untouched");
    return failures ? 1 : 0;
}

int checkCorrupt(int code) {
    expect(code == 0, "a corrupt record ends with 0, not " + std::to_string(code));
    expect(fileExists(path("corrupt\\app\\a.txt")), "nothing removed");
    expect(fileExists(path("corrupt\\app\\unins.exe")), "the uninstaller stays");
    return failures ? 1 : 0;
}

// Waits for the window as long as a 32-bit program under emulation may take to show it.
HWND findTop(const char* cls, const char* title) {
    const DWORD start = GetTickCount();
    do {
        if (HWND w = FindWindowA(cls, title)) return w;
        Sleep(100);
    } while (GetTickCount() - start < 900000);
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "prepare" && argc == 4) {
        removeTree(kRoot);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Shipped32");
        // Entries of earlier runs would let the delete-at-restart checks pass on their own.
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                           "PendingFileRenameOperations");
        const bool ok = prepareListing(argv[2]) && prepareSilent(argv[2]) && prepareCorrupt(argv[2]) &&
                        prepareWindow(argv[2], argv[3]);
        if (!ok) std::printf("prepare failed\n");
        return ok ? 0 : 1;
    }
    if (command == "hold" && argc == 5) {
        HANDLE held = CreateFileA(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (held == INVALID_HANDLE_VALUE) return 1;
        writeText(argv[4], "held");
        while (!fileExists(argv[3])) Sleep(200);
        CloseHandle(held);
        return 0;
    }
    if (command == "close-main") {
        HWND main = findTop("TessoryMain", "Tessory");
        if (main) PostMessageA(main, WM_CLOSE, 0, 0);
        return main ? 0 : 1;
    }
    if ((command == "window-done" || command == "close-window") && argc == 3) {
        HWND window = findTop("CorvelDialogTemplate", argv[2]);
        if (!window) return 1;
        if (!waitForRunEnd(window, 300000)) return 1;
        if (command == "close-window") press(window, 55);
        return 0;
    }
    if (command == "check-listing") return checkListing();
    if (command == "check-system32") return checkSystem32();
    if (command == "check-silent" && argc == 3) return checkSilent(std::atoi(argv[2]));
    if (command == "check-corrupt" && argc == 3) return checkCorrupt(std::atoi(argv[2]));
    std::printf("usage: see the head of shipped32_driver_win32.cpp\n");
    return 2;
}
