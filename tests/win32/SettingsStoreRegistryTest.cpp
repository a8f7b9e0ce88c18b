// The settings store on the real registry of the Wine prefix, which is private to the test run,
// so the program's own key can be used and removed.
#include <windows.h>

#include <gtest/gtest.h>

#include <tuple>

#include "app/SettingsStore.h"
#include "platform/win32/Win32Registry.h"

namespace rheo {
namespace {

TEST(SettingsStoreRegistryTest, PortIsADwordUnderTheMachineKeyAndHandWrittenValuesReadAsTheirPort) {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Kavrel");
    Win32Registry registry;
    const auto read = [&] {
        return ReadSetting(registry, kHkeyLocalMachine, kSettingsKeyPath, kPortValueName);
    };
    EXPECT_EQ(read(), SettingValue{});  // no key yet: empty, no port
    EXPECT_EQ(StoredPort(registry), 0);
    StorePort(registry, 2);
    StorePort(registry, 3);
    DWORD type = 0, data = 0, length = sizeof data;  // as another program sees it
    ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kPortValueName, RRF_RT_ANY, &type,
                           &data, &length),
              ERROR_SUCCESS);
    EXPECT_EQ(std::tuple(type, length, data), std::tuple(DWORD{REG_DWORD}, DWORD{4}, DWORD{3}));
    EXPECT_EQ(read(), SettingValue{std::int32_t{3}});

    const auto written = [&](DWORD type, const std::string& bytes) {  // as by the editor
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kPortValueName, type, bytes.data(),
                        bytes.size());
        return std::pair(read(), StoredPort(registry));
    };
    EXPECT_EQ(written(REG_SZ, std::string("2", 2)), std::pair(SettingValue{std::string("2")}, 2));
    EXPECT_EQ(written(REG_SZ, ""), std::pair(SettingValue{}, 0));
    EXPECT_EQ(written(REG_BINARY, std::string("\x02\0\0\0", 4)), std::pair(SettingValue{}, 0));
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Kavrel");
}

}  // namespace
}  // namespace rheo
