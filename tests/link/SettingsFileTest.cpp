// The machine-wide settings file behind the store routines: values as start-up reads them,
// typed values kept byte for byte, and writes that are whole or not at all.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "LinkTestSupport.h"
#include "app/SettingsStore.h"
#include "core/TestSupport.h"
#include "platform/posix/FileRegistry.h"

namespace rheo::test {
namespace {

class SettingsFile : public ::testing::Test {
  protected:
    std::string File() const { return FileRegistry::DefaultFile(); }
    // The file as an operator writes it by hand.
    void WriteByHand(const std::string& values) {
        std::filesystem::create_directories(dir_.Path() / "rheotrackpanel");
        WriteFile(File(), "[Software\\Kavrel\\Quelmar]\r\n" + values);
    }
    long SetRaw(const std::string& name, std::uint32_t type, const std::string& data) {
        RegKey key = 0;
        long status = store_.CreateKey(kHkeyLocalMachine, kSettingsKeyPath, key);
        if (status == 0) {
            status =
                store_.SetValue(key, name, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                                static_cast<std::uint32_t>(data.size()));
            store_.CloseKey(key);
        }
        return status;
    }
    SettingValue Read(const std::string& name = kPortValueName) {
        return ReadSetting(store_, kHkeyLocalMachine, kSettingsKeyPath, name);
    }

    TempDir dir_;
    ScopedConfigDirs dirs_{dir_.Path().string() + ":/etc/xdg"};
    FileRegistry store_;
};

TEST_F(SettingsFile, LivesInTheFirstSystemConfigDirectory) {
    EXPECT_EQ(store_.File(), dir_.File("rheotrackpanel/settings"));
    ScopedConfigDirs relativeFirst{"relative/dir:" + dir_.Path().string()};
    EXPECT_EQ(FileRegistry::DefaultFile(), dir_.File("rheotrackpanel/settings"));
    ScopedConfigDirs unset{""};
    EXPECT_EQ(FileRegistry::DefaultFile(), "/etc/xdg/rheotrackpanel/settings");
}

TEST_F(SettingsFile, StoredPortAsStartUpReadsIt) {
    EXPECT_EQ(StoredPort(store_), 0) << "no file";
    EXPECT_FALSE(std::filesystem::exists(File())) << "reading creates nothing";

    WriteByHand("\"Other\"=dword:00000001\r\n");
    EXPECT_EQ(Read(), SettingValue{}) << "key without the value";
    EXPECT_EQ(StoredPort(store_), 0);

    WriteByHand("\"Puerto\"=\"2\"\r\n");
    EXPECT_EQ(Read(), SettingValue{std::string("2")});
    EXPECT_EQ(StoredPort(store_), 2);

    ASSERT_EQ(SetRaw(kPortValueName, kRegDword, std::string("\x03\0\0\0", 4)), 0);
    EXPECT_EQ(Read(), SettingValue{std::int32_t{3}});
    EXPECT_EQ(StoredPort(store_), 3);

    ASSERT_EQ(SetRaw(kPortValueName, 7, std::string("3\0\0", 3)), 0);
    SettingValue value;
    RegKey key = 0;
    ASSERT_EQ(store_.OpenKey(kHkeyLocalMachine, kSettingsKeyPath, kKeyAccess, key), 0);
    EXPECT_EQ(QuerySettingValue(store_, key, kPortValueName, value), -1) << "type kept";
    store_.CloseKey(key);
    EXPECT_EQ(value, SettingValue{});
    EXPECT_EQ(StoredPort(store_), 0);

    ASSERT_EQ(SetRaw(kPortValueName, kRegSz, ""), 0);
    EXPECT_EQ(Read(), SettingValue{}) << "zero-length text";

    WriteByHand("\"Puerto\"=sz:\"\"\n");
    EXPECT_EQ(Read(), SettingValue{});
}

TEST_F(SettingsFile, StorePortCreatesTheKeyAndKeepsTheLastPort) {
    StorePort(store_, 2);
    StorePort(store_, 4);
    EXPECT_EQ(StoredPort(store_), 4);
    EXPECT_NE(ReadFile(File()).find("[Software\\Kavrel\\Quelmar]\n\"Puerto\"=dword:00000004\n"),
              std::string::npos);

    RegKey key = 0;
    EXPECT_EQ(store_.OpenKey(kHkeyLocalMachine, "software\\KAVREL", kKeyAccess, key), 0)
        << "parent keys exist, names without regard to case";
    EXPECT_EQ(store_.CloseKey(key), 0);
    EXPECT_EQ(store_.CloseKey(key), kErrorInvalidHandle);
    EXPECT_EQ(store_.OpenKey(kHkeyLocalMachine, "Software\\Other", kKeyAccess, key),
              kErrorFileNotFound);
    EXPECT_EQ(key, 0u);
}

TEST_F(SettingsFile, KeepsEveryTypeAndByteAndAnswersLikeTheRegistry) {
    std::string allBytes;
    for (int c = 0; c < 256; ++c) {
        allBytes += static_cast<char>(c);
    }
    ASSERT_EQ(SetRaw("text \"quoted\" \\ \xBA", kRegSz, allBytes), 0);
    ASSERT_EQ(SetRaw("binary", kRegBinary, allBytes), 0);
    ASSERT_EQ(SetRaw("odd type", 0x12345, "\n\r[x]"), 0);
    ASSERT_EQ(SetRaw("short dword", kRegDword, "\x01\x02"), 0);
    RegKey odd = 0;
    ASSERT_EQ(store_.CreateKey(kHkeyLocalMachine, "Odd]\\100%\\\n", odd), 0);
    ASSERT_EQ(store_.SetValue(odd, "", kRegSz, nullptr, 0), 0);
    store_.CloseKey(odd);

    const std::string text = ReadFile(File());
    for (char c : text) {
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << "plain ASCII lines";
    }

    FileRegistry other;  // a fresh reader, as the next start
    RegKey key = 0;
    ASSERT_EQ(other.OpenKey(kHkeyLocalMachine, kSettingsKeyPath, kKeyAccess, key), 0);
    const struct {
        std::string name;
        std::uint32_t type;
        std::string data;
    } expected[] = {{"TEXT \"QUOTED\" \\ \xBA", kRegSz, allBytes},
                    {"binary", kRegBinary, allBytes},
                    {"odd type", 0x12345, "\n\r[x]"},
                    {"short dword", kRegDword, "\x01\x02"}};
    for (const auto& value : expected) {
        std::uint32_t type = 0;
        std::uint32_t length = 0;
        ASSERT_EQ(other.QueryValue(key, value.name, &type, nullptr, &length), 0) << value.name;
        EXPECT_EQ(type, value.type);
        ASSERT_EQ(length, value.data.size());
        std::string data(length, '\0');
        std::uint32_t tooShort = length - 1;
        EXPECT_EQ(other.QueryValue(key, value.name, nullptr,
                                   reinterpret_cast<std::uint8_t*>(data.data()), &tooShort),
                  kErrorMoreData);
        EXPECT_EQ(tooShort, length);
        EXPECT_EQ(other.QueryValue(key, value.name, nullptr,
                                   reinterpret_cast<std::uint8_t*>(data.data()), &length),
                  0);
        EXPECT_EQ(data, value.data);
    }

    RegKey oddKey = 0;
    EXPECT_EQ(other.OpenKey(kHkeyLocalMachine, "Odd]\\100%", kKeyAccess, oddKey), 0)
        << "key names with brackets and percent signs";
    other.CloseKey(oddKey);

    // Every call reads the file afresh: a value written meanwhile by another process is seen.
    WriteByHand("\"Puerto\"=dword:00000009\n");
    SettingValue value;
    EXPECT_EQ(QuerySettingValue(other, key, kPortValueName, value), 0);
    EXPECT_EQ(value, SettingValue{std::int32_t{9}});
    other.CloseKey(key);
}

TEST_F(SettingsFile, HandWrittenLinesAndCommentsSurviveAWrite) {
    WriteByHand(
        "; port 1 is the adapter on the bench\r\n"
        "\"Port1\"=\"/dev/ttyUSB0\"\r\n"
        "this line is not understood\r\n");
    StorePort(store_, 1);
    const std::string text = ReadFile(File());
    EXPECT_NE(text.find("; port 1 is the adapter on the bench\n"), std::string::npos);
    EXPECT_NE(text.find("this line is not understood\n"), std::string::npos);
    EXPECT_EQ(Read("Port1"), SettingValue{std::string("/dev/ttyUSB0")});
    EXPECT_EQ(StoredPort(store_), 1);
}

TEST_F(SettingsFile, AWriteThatFailsLeavesTheOldStoreWhole) {
    StorePort(store_, 2);
    const std::string before = ReadFile(File());
    ASSERT_GT(before.size(), 100u);

    // The file system refuses to let a file grow past 64 bytes, as a full disk would.
    auto* oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit small = oldLimit;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    RegKey key = 0;
    const long created = store_.CreateKey(kHkeyLocalMachine, "Software\\New", key);
    StorePort(store_, 4);
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    ::signal(SIGXFSZ, oldHandler);

    EXPECT_NE(created, 0);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(ReadFile(File()), before);
    EXPECT_EQ(StoredPort(store_), 2);
    int files = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(dir_.Path() / "rheotrackpanel")) {
        ++files;
    }
    EXPECT_EQ(files, 1) << "no temporary file left behind";
}

TEST(SettingsFileLocation, ThatCannotBeCreatedChangesNothingAndSaysNothing) {
    ScopedConfigDirs impossible{"/dev/null/x"};
    FileRegistry store;
    RegKey key = 0;
    EXPECT_NE(store.CreateKey(kHkeyLocalMachine, kSettingsKeyPath, key), 0);
    StorePort(store, 3);
    EXPECT_EQ(StoredPort(store), 0);
    EXPECT_EQ(store.OpenKey(kHkeyLocalMachine, kSettingsKeyPath, kKeyAccess, key),
              kErrorFileNotFound);
}

}  // namespace
}  // namespace rheo::test
