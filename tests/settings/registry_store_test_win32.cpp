#include <gtest/gtest.h>
#include <windows.h>

#include "settings/setting_keys.h"
#include "settings/win32/registry_store_win32.h"

namespace tessory {
namespace {

// A private application name keeps the test away from real settings.
class RegistryStoreTest : public ::testing::Test {
protected:
    RegistryStoreTest() : store("OmbrelTest") {}
    ~RegistryStoreTest() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VB and VBA Program Settings\\OmbrelTest");
    }
    RegistryStore store;
};

TEST_F(RegistryStoreTest, RoundTripsUnderTheClassicSettingsKey) {
    EXPECT_EQ(RegistryStore().SectionPath("Filter"), "Software\\VB and VBA Program Settings\\Ombrel\\Filter");
    EXPECT_EQ(store.Read("Filter", "FileTimeTo"), std::nullopt);
    ASSERT_TRUE(store.Write("Filter", "FileTimeTo", "2/3/2004 12:00"));
    EXPECT_EQ(store.Read("filter", "FileTimeto"), "2/3/2004 12:00");
    ASSERT_TRUE(store.Write("Output", "RecurseDepth", ""));
    EXPECT_EQ(store.Read("Output", "RecurseDepth"), "");
    ASSERT_TRUE(store.Write("HTML", "FolFont", "Gr\xc3\xbc\xc3\x9f Sans \xce\xb1"));
    EXPECT_EQ(store.Read("HTML", "FolFont"), "Gr\xc3\xbc\xc3\x9f Sans \xce\xb1");
    EXPECT_EQ(ReadSetting(store, key::kFolBack), "0");

    char value[64] = {};
    DWORD size = sizeof value, type = 0;
    ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, "Software\\VB and VBA Program Settings\\OmbrelTest\\Filter",
                           "FileTimeTo", RRF_RT_ANY, &type, value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(value, "2/3/2004 12:00");
}

TEST_F(RegistryStoreTest, ReadsWhatTheClassicCallsWrote) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\VB and VBA Program Settings\\OmbrelTest\\Display", 0,
                              nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "DisplayFileSize", 0, REG_SZ, reinterpret_cast<const BYTE*>("Kb"), 3);
    RegCloseKey(key);
    EXPECT_EQ(store.Read("DISPLAY", "displayfilesize"), "Kb");
}

}  // namespace
}  // namespace tessory
