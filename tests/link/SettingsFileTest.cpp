// The machine-wide settings file behind the store routines: where it lives, values as start-up
// reads them, hand-written lines kept by a write, and typed values kept byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "LinkTestSupport.h"

namespace rheo::test {
namespace {

class SettingsFile : public LinkTest {
  protected:
    // The file as an operator writes it by hand.
    void WriteByHand(const std::string& values) {
        std::filesystem::create_directories(dir_.Path() / "rheotrackpanel");
        WriteFile(store_.File(), "[Software\\Kavrel\\Quelmar]\r\n" + values);
    }
};

TEST_F(SettingsFile, LivesInTheFirstSystemConfigDirectoryOrNowhere) {
    EXPECT_EQ(store_.File(), dir_.File("rheotrackpanel/settings"));
    ::setenv("XDG_CONFIG_DIRS", ("relative/dir:" + dir_.Path().string()).c_str(), 1);
    EXPECT_EQ(FileRegistry::DefaultFile(), dir_.File("rheotrackpanel/settings"));
    ::unsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(FileRegistry::DefaultFile(), "/etc/xdg/rheotrackpanel/settings");
    // A location that cannot be created: the store changes nothing and says nothing.
    ::setenv("XDG_CONFIG_DIRS", "/dev/null/x", 1);
    FileRegistry store;
    RegKey key = 0;
    EXPECT_NE(store.CreateKey(kHkeyLocalMachine, kSettingsKeyPath, key), 0);
    StorePort(store, 3);
    EXPECT_EQ(StoredPort(store), 0);
}

TEST_F(SettingsFile, StoredPortAsStartUpReadsItAndStorePortWritesIt) {
    EXPECT_EQ(Read(), SettingValue{}) << "no file";
    EXPECT_FALSE(std::filesystem::exists(store_.File())) << "reading creates nothing";
    StorePort(store_, 2);  // creates the file and the key
    StorePort(store_, 4);
    EXPECT_EQ(StoredPort(store_), 4);

    WriteByHand(
        "; port 1 is the adapter on the bench\r\n"
        "\"Port1\"=\"/dev/ttyUSB0\"\r\n"
        "this line is not understood\r\n");
    EXPECT_EQ(Read(), SettingValue{}) << "key without the value";
    const struct {
        std::uint32_t type;
        std::string data;
        SettingValue value;
        int port;
    } cases[] = {
        {kRegSz, std::string("2\0", 2), std::string("2"), 2},
        {kRegDword, std::string("\x03\0\0\0", 4), std::int32_t{3}, 3},
        {7, std::string("3\0\0", 3), {}, 0},         // another type
        {kRegSz, "", {}, 0},                         // zero-length text
        {kRegDword, std::string(8, '\x01'), {}, 0},  // longer than its buffer: not overrun
    };
    for (const auto& c : cases) {
        Put(kPortValueName, c.type, c.data);
        EXPECT_EQ(Read(), c.value) << "type " << c.type << ", " << c.data.size() << " bytes";
        EXPECT_EQ(StoredPort(store_), c.port);
    }

    StorePort(store_, 1);  // over a value of another type, among hand-written lines
    EXPECT_EQ(StoredPort(store_), 1);
    const std::string text = StoreText();
    EXPECT_NE(text.find("; port 1 is the adapter on the bench\n"), std::string::npos);
    EXPECT_NE(text.find("this line is not understood\n"), std::string::npos);
    EXPECT_EQ(Read("Port1"), SettingValue{std::string("/dev/ttyUSB0")});
}

TEST_F(SettingsFile, KeepsEveryTypeAndByteForTheNextReader) {
    std::string allBytes;
    for (int c = 0; c < 256; ++c) {
        allBytes += static_cast<char>(c);
    }
    const struct {
        std::string name;
        std::uint32_t type;
        std::string data;
    } values[] = {{"text \"quoted\" \\ \xBA", kRegSz, allBytes},
                  {"binary", kRegBinary, allBytes},
                  {"odd type", 0x12345, "\n\r[x]"}};
    for (const auto& value : values) {
        Put(value.name, value.type, value.data);
    }

    FileRegistry next;  // a fresh reader, as at the next start
    RegKey key = 0;
    ASSERT_EQ(next.OpenKey(kHkeyLocalMachine, "SOFTWARE\\kavrel\\QUELMAR", kKeyAccess, key), 0)
        << "names compare without regard to case";
    for (const auto& value : values) {
        std::uint32_t type = 0;
        std::uint32_t length = 0;
        ASSERT_EQ(next.QueryValue(key, value.name, &type, nullptr, &length), 0) << value.name;
        std::string data(length, '\0');
        EXPECT_EQ(next.QueryValue(key, value.name, nullptr,
                                  reinterpret_cast<std::uint8_t*>(data.data()), &length),
                  0);
        EXPECT_EQ(type, value.type);
        EXPECT_EQ(data, value.data) << value.name;
    }

    // Every call reads the file afresh: a value written meanwhile by another process is seen.
    WriteByHand("\"Puerto\"=dword:00000009\n");
    SettingValue value;
    EXPECT_EQ(QuerySettingValue(next, key, kPortValueName, value), 0);
    EXPECT_EQ(value, SettingValue{std::int32_t{9}});
    next.CloseKey(key);
}

}  // namespace
}  // namespace rheo::test
