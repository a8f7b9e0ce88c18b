// The settings store on the real registry of the Wine prefix.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "app/SettingsStore.h"
#include "platform/win32/Win32Registry.h"

namespace rheo {
namespace {

class SettingsStoreRegistryTest : public ::testing::Test {
  protected:
    // The prefix is private to the test run, so the program's own key can be used and removed.
    void SetUp() override { RemoveKeys(); }
    void TearDown() override { RemoveKeys(); }

    static void RemoveKeys() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Kavrel"); }

    // Writes a value the way another program (or the registry editor) would.
    static void WriteByHand(DWORD type, const void* data, DWORD length) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, &key), ERROR_SUCCESS);
        ASSERT_EQ(
            RegSetValueExA(key, kPortValueName, 0, type, static_cast<const BYTE*>(data), length),
            ERROR_SUCCESS);
        RegCloseKey(key);
    }

    static bool KeyExists() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, &key) !=
            ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
    }

    SettingValue ReadPort() {
        return ReadSetting(registry_, kHkeyLocalMachine, kSettingsKeyPath, kPortValueName);
    }

    static bool IsEmpty(const SettingValue& value) {
        return std::holds_alternative<std::monostate>(value) ||
               (std::holds_alternative<std::string>(value) && std::get<std::string>(value).empty());
    }

    Win32Registry registry_;
};

TEST_F(SettingsStoreRegistryTest, StoredPortIsA32BitNumberUnderTheMachineKey) {
    EXPECT_EQ(StoredPort(registry_), 0);  // first run: no key, no port
    EXPECT_FALSE(KeyExists());

    StorePort(registry_, 3);

    // What another program sees: REG_DWORD, 4 bytes, least significant first.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD type = 0;
    BYTE data[8] = {};
    DWORD length = sizeof data;
    ASSERT_EQ(RegQueryValueExA(key, kPortValueName, nullptr, &type, data, &length), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(std::memcmp(data, "\x03\x00\x00\x00", 4), 0);

    const SettingValue value = ReadPort();
    ASSERT_TRUE(std::holds_alternative<std::int32_t>(value));
    EXPECT_EQ(std::get<std::int32_t>(value), 3);
    EXPECT_EQ(StoredPort(registry_), 3);
}

TEST_F(SettingsStoreRegistryTest, LaterPortReplacesEarlierOne) {
    StorePort(registry_, 2);
    StorePort(registry_, 4);
    EXPECT_EQ(StoredPort(registry_), 4);
}

TEST_F(SettingsStoreRegistryTest, TextWrittenByHandReadsAsItsNumber) {
    WriteByHand(REG_SZ, "2", 2);  // as the registry editor stores it, with its closing zero
    const SettingValue value = ReadPort();
    ASSERT_TRUE(std::holds_alternative<std::string>(value));
    EXPECT_EQ(std::get<std::string>(value), "2");
    EXPECT_EQ(StoredPort(registry_), 2);
}

TEST_F(SettingsStoreRegistryTest, ValuesThatNameNoPortReadEmpty) {
    WriteByHand(REG_BINARY, "\x02\x00\x00\x00", 4);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadPort()));
    EXPECT_EQ(StoredPort(registry_), 0);

    RegKey key = 0;
    ASSERT_EQ(registry_.OpenKey(kHkeyLocalMachine, kSettingsKeyPath, kKeyAccess, key), 0);
    SettingValue value;
    EXPECT_EQ(QuerySettingValue(registry_, key, kPortValueName, value), -1);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(value));
    registry_.CloseKey(key);

    WriteByHand(REG_SZ, "", 0);
    EXPECT_TRUE(IsEmpty(ReadPort()));
    EXPECT_EQ(StoredPort(registry_), 0);

    WriteByHand(REG_DWORD, "\x00\x00\x00\x00", 4);
    EXPECT_EQ(StoredPort(registry_), 0);
}

TEST_F(SettingsStoreRegistryTest, MissingKeyReadsEmptyAndIsNotCreatedByWriteSetting) {
    EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadPort()));

    // WriteSetting opens, it never creates: without the key the value is lost silently.
    WriteSetting(registry_, kHkeyLocalMachine, kSettingsKeyPath, kPortValueName, std::int32_t{3},
                 kRegDword);
    EXPECT_FALSE(KeyExists());

    SettingValue value;
    EXPECT_NE(QuerySettingValue(registry_, 0, kPortValueName, value), 0);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(value));
}

TEST_F(SettingsStoreRegistryTest, UnhandledTypeWritesNothing) {
    StorePort(registry_, 2);
    RegKey key = 0;
    ASSERT_EQ(registry_.OpenKey(kHkeyLocalMachine, kSettingsKeyPath, kKeyAccess, key), 0);
    EXPECT_EQ(SetSettingValue(registry_, key, kPortValueName, kRegBinary, std::int32_t{4}), 0);
    registry_.CloseKey(key);
    EXPECT_EQ(StoredPort(registry_), 2);
}

}  // namespace
}  // namespace rheo
