// The machine-wide settings file behind the store routines: values kept byte for byte with
// hand-written lines around them, and what an operator may plant in the shared folder (links,
// FIFOs, huge files) or do beside the program (write at the same time).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <numeric>
#include <string>
#include <thread>

#include "LinkTestSupport.h"

namespace rheo::test {
namespace {

using SettingsFile = LinkTest;

TEST_F(SettingsFile, ValuesAreKeptByteForByteAmongHandWrittenLines) {
    EXPECT_EQ(Read(), SettingValue{});
    EXPECT_FALSE(std::filesystem::exists(store_.File())) << "reading creates nothing";
    std::filesystem::create_directories(dir_.Path() / "rheotrackpanel");
    WriteFile(store_.File(),
              "[Software\\Kavrel\\Quelmar]\r\n; the adapter on the bench\r\n"
              "not understood\r\n\"Puerto\"=hex(7):33,00\r\n");
    EXPECT_EQ(Read(), SettingValue{}) << "a type it does not know";
    Put(store_, kPortValueName, kRegDword, std::string("\x03\0\0\0", 4));
    EXPECT_EQ(StoredPort(store_), 3);
    for (const auto& [text, port] :
         std::vector<std::pair<std::string, int>>{{"2", 2}, {"", 0}, {"abc", 0}, {"300", 0}}) {
        Put(store_, kPortValueName, kRegSz, text + '\0');  // as an editor writes it
        EXPECT_EQ(StoredPort(store_), port) << text;
    }
    std::string allBytes(256, '\0');
    std::iota(allBytes.begin(), allBytes.end(), '\0');
    const std::string name = "text \"quoted\" \\ \xBA\n";
    Put(store_, name, kRegSz, allBytes + '\0');
    Put(store_, "number", kRegDword, "\x01\x02\x03\xFF");
    StorePort(store_, 4);  // over a value of another type
    EXPECT_EQ(Read(), SettingValue{std::int32_t{4}});
    EXPECT_EQ(ReadSetting(store_, kHkeyLocalMachine, "SOFTWARE\\kavrel\\QUELMAR", name),
              SettingValue{allBytes});
    EXPECT_EQ(Read("number"), SettingValue{static_cast<std::int32_t>(0xFF030201u)});
    EXPECT_NE(StoreText().find("\r\n; the adapter on the bench\r\nnot understood\r\n"),
              std::string::npos);
}

// Planted by an operator of the group that may write the folder: the store reads none of it
// and root's next write neither copies it nor writes through it.
TEST_F(SettingsFile, LinksSpecialAndHugeFilesCountAsNoStore) {
    std::filesystem::create_directories(dir_.Path() / "rheotrackpanel");
    const std::string store = store_.File();
    const std::string secret = dir_.File("secret");
    WriteFile(secret, "[Software\\Kavrel\\Quelmar]\n\"Puerto\"=dword:00000004\nroot:hash\n");
    ::chmod(secret.c_str(), 0600);
    const std::string text = ReadFile(secret);
    const std::string full = text + std::string(FileRegistry::kMaxFileSize - text.size(), ';');
    const struct {
        std::function<void()> plant;
        int port;
    } plants[] = {
        {[&] { std::filesystem::create_symlink(secret, store); }, 0},
        {[&] { std::filesystem::create_hard_link(secret, store); }, 0},
        {[&] { std::filesystem::create_symlink("/dev/zero", store); }, 0},
        {[&] { ASSERT_EQ(::mkfifo(store.c_str(), 0666), 0); }, 0},
        {[&] { WriteFile(store, full + ";"); }, 0},
        {[&] { WriteFile(store, full); }, 4},  // the largest store there may be
    };
    for (const auto& p : plants) {
        std::filesystem::remove(store);
        p.plant();
        EXPECT_EQ(StoredPort(store_), p.port) << "plant " << &p - plants;
        if (p.port != 0) {
            continue;
        }
        StorePort(store_, 2);
        EXPECT_EQ(StoreText(), "[Software\\Kavrel\\Quelmar]\n\"Puerto\"=dword:00000002\n");
        struct stat info {};
        ASSERT_EQ(::lstat(store.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & S_IFMT, static_cast<mode_t>(S_IFREG));
        EXPECT_EQ(info.st_nlink, 1u);
        EXPECT_EQ(info.st_mode & 07777, 0664u);
    }
    EXPECT_EQ(ReadFile(secret), text) << "the linked file is left alone";
}

TEST_F(SettingsFile, TwoWritersUnderTheLockLoseNoUpdate) {
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
}

}  // namespace
}  // namespace rheo::test
