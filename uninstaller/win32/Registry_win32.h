#pragma once
// The registry walk and the shared-DLL counts on the real registry.
#include <windows.h>

#include "Handles_win32.h"
#include "Removal.h"
#include "RegistryWalk.h"

namespace corvel {

constexpr REGSAM kChangeAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
constexpr char kSharedDllsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class Win32Registry : public RegistryAccess {
public:
    Key root(int index) override;
    Open openForChange(Key parent, const std::string& name, Key& out, bool asLink) override;
    Open openReadOnly(Key parent, const std::string& name, Key& out, bool asLink) override;
    void close(Key key) override;
    void deleteValue(Key key, const std::string& name) override;
    bool hasSubkey(Key key) override;
    bool hasValue(Key key) override;
    std::vector<std::string> subkeyNames(Key key) override;
    bool deleteKey(Key parent, const std::string& name) override;
};

// The counts below HKEY_LOCAL_MACHINE\...\SharedDLLs, on a key opened for change.
class Win32SharedCounts : public SharedCounts {
public:
    // False when the key cannot be opened for change.
    bool open();
    Read read(const std::string& path, uint32_t& count) override;
    void write(const std::string& path, uint32_t count) override;
    void remove(const std::string& path) override;

private:
    UniqueHKey key_;
};

}  // namespace corvel
