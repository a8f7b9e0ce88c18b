// The machine-wide settings file behind the store routines: where it lives, values as start-up
// reads them, hand-written lines kept by a write, typed values kept byte for byte, and what an
// operator may plant in the shared folder (links, FIFOs, huge files, concurrent writers).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <thread>

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
        "this line is not understood\r\n"
        "\"Puerto\"=hex(7):33,00\r\n");
    EXPECT_EQ(Read(), SettingValue{}) << "key with the value in a type it does not know";
    const struct {
        std::uint32_t type;
        std::string data;
        SettingValue value;
        int port;
    } cases[] = {
        {kRegSz, std::string("2\0", 2), std::string("2"), 2},
        {kRegDword, std::string("\x03\0\0\0", 4), std::int32_t{3}, 3},
        {kRegSz, "", {}, 0},  // zero-length text
    };
    for (const auto& c : cases) {
        Put(kPortValueName, c.type, c.data);
        EXPECT_EQ(Read(), c.value) << "type " << c.type << ", " << c.data.size() << " bytes";
        EXPECT_EQ(StoredPort(store_), c.port);
    }

    StorePort(store_, 1);  // over a value of another type, among hand-written lines
    EXPECT_EQ(StoredPort(store_), 1);
    const std::string text = StoreText();  // with the line ends it was written with
    EXPECT_NE(text.find("; port 1 is the adapter on the bench\r\n"), std::string::npos);
    EXPECT_NE(text.find("this line is not understood\r\n"), std::string::npos);
    EXPECT_EQ(Read("Port1"), SettingValue{std::string("/dev/ttyUSB0")});
}

TEST_F(SettingsFile, KeepsEveryByteForTheNextReader) {
    std::string allBytes;
    for (int c = 0; c < 256; ++c) {
        allBytes += static_cast<char>(c);
    }
    // Text is handed back with the terminating zero that editors store.
    const struct {
        std::string name;
        std::uint32_t type;
        std::string data;
    } values[] = {{"text \"quoted\" \\ \xBA\n", kRegSz, allBytes + '\0'},
                  {"number", kRegDword, "\x01\x02\x03\xFF"}};
    for (const auto& value : values) {
        Put(value.name, value.type, value.data);
    }
    RegKey key = 0;
    ASSERT_EQ(store_.OpenKey(kHkeyLocalMachine, kSettingsKeyPath, kKeyAccess, key), 0);
    EXPECT_NE(store_.SetValue(key, "binary", kRegBinary, nullptr, 0), 0) << "a type it cannot keep";
    store_.CloseKey(key);

    FileRegistry next;  // a fresh reader, as at the next start
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

// What an operator of the group that may write the folder can plant there: the store reads
// none of it and root's next write neither copies it nor writes through it.
TEST_F(SettingsFile, LinksSpecialAndHugeFilesCountAsNoStore) {
    std::filesystem::create_directories(dir_.Path() / "rheotrackpanel");
    const std::string store = store_.File();
    const std::string secret = dir_.File("secret");
    WriteFile(secret, "[Software\\Kavrel\\Quelmar]\n\"Puerto\"=dword:00000004\nroot:hash\n");
    ::chmod(secret.c_str(), 0600);
    const std::string big = std::string(FileRegistry::kMaxFileSize, ';') + "\n" + ReadFile(secret);
    const std::function<void()> plants[] = {
        [&] { std::filesystem::create_symlink(secret, store); },
        [&] { std::filesystem::create_hard_link(secret, store); },
        [&] { std::filesystem::create_symlink("/dev/zero", store); },
        [&] { ASSERT_EQ(::mkfifo(store.c_str(), 0666), 0); },
        [&] { WriteFile(store, big); },
    };
    for (const auto& plant : plants) {
        std::filesystem::remove(store);
        plant();
        EXPECT_EQ(StoredPort(store_), 0);
        StorePort(store_, 2);
        EXPECT_EQ(StoredPort(store_), 2);
        EXPECT_EQ(StoreText(), "[Software\\Kavrel\\Quelmar]\n\"Puerto\"=dword:00000002\n");
        struct stat info {};
        ASSERT_EQ(::lstat(store.c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode) && info.st_nlink == 1);
        EXPECT_EQ(info.st_mode & 07777, 0664u);
    }
    EXPECT_EQ(ReadFile(secret).substr(0, 5), "[Soft") << "the linked file is left alone";
}

TEST_F(SettingsFile, WritersLoseNoUpdateAndTheSetgidFolderKeepsTheGroup) {
    const auto folder = dir_.Path() / "rheotrackpanel";
    std::filesystem::create_directories(folder);
    const bool grouped = ::chown(folder.c_str(), static_cast<uid_t>(-1), 20) == 0 &&
                         ::chmod(folder.c_str(), 02775) == 0;
    constexpr int kValues = 40;
    auto writer = [](const std::string& prefix) {
        FileRegistry store;  // a program of its own
        for (int i = 0; i < kValues; ++i) {
            WriteSetting(store, kHkeyLocalMachine, kSettingsKeyPath, prefix + std::to_string(i),
                         std::int32_t{i}, kRegDword);
        }
    };
    StorePort(store_, 1);
    std::thread other(writer, "a");
    writer("b");
    other.join();
    for (int i = 0; i < kValues; ++i) {
        EXPECT_EQ(Read("a" + std::to_string(i)), SettingValue{std::int32_t{i}});
        EXPECT_EQ(Read("b" + std::to_string(i)), SettingValue{std::int32_t{i}});
    }
    struct stat info {};
    ASSERT_EQ(::stat(store_.File().c_str(), &info), 0);
    if (grouped) {
        EXPECT_EQ(info.st_gid, 20u);
    }
}

}  // namespace
}  // namespace rheo::test
