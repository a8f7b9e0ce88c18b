// The settings store on the real registry of the Wine prefix, which is private to the test run,
// so the program's own key can be used and removed.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/SettingsStore.h"
#include "platform/win32/Win32Registry.h"

namespace rheo {
namespace {

class SettingsStoreRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Kavrel"); }
    void TearDown() override { SetUp(); }
    SettingValue Read() {
        return ReadSetting(registry_, kHkeyLocalMachine, kSettingsKeyPath, kPortValueName);
    }
    Win32Registry registry_;
};

TEST_F(SettingsStoreRegistryTest, PortIsStoredAsDwordUnderTheMachineKeyAndReadBack) {
    EXPECT_EQ(Read(), SettingValue{});  // no key yet: empty, no port
    EXPECT_EQ(StoredPort(registry_), 0);

    StorePort(registry_, 3);
    DWORD type = 0, data = 0, length = sizeof data;  // as another program sees it
    ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kPortValueName, RRF_RT_ANY, &type,
                           &data, &length),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(data, 3u);
    EXPECT_EQ(Read(), SettingValue{std::int32_t{3}});

    StorePort(registry_, 2);
    StorePort(registry_, 4);
    EXPECT_EQ(StoredPort(registry_), 4);
}

TEST_F(SettingsStoreRegistryTest, ValuesWrittenByHandReadAsTheirPortOrEmpty) {
    const struct {
        DWORD type;
        std::string bytes;
        SettingValue read;
        int port;
    } cases[] = {
        {REG_SZ, std::string("2", 2), std::string("2"), 2},  // with the editor's closing zero
        {REG_SZ, "", {}, 0},
        {REG_BINARY, std::string("\x02\0\0\0", 4), {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, kPortValueName, c.type,
                                  c.bytes.data(), c.bytes.size()),
                  ERROR_SUCCESS);
        EXPECT_EQ(Read(), c.read);
        EXPECT_EQ(StoredPort(registry_), c.port);
    }
}

}  // namespace
}  // namespace rheo
