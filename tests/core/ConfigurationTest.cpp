// vcfg.txt: created once with the defaults, otherwise read as it stands.
#include "app/Configuration.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TestSupport.h"

namespace rheo {
namespace {

using test::ReadFile;
using test::WriteFile;

struct ConfigurationCase {
    const char* bytes;
    Configuration expected;
};

TEST(ConfigurationTest, MissingFileIsCreatedWithTheElevenDefaultBytes) {
    test::TempDir dir;
    const Configuration c = LoadConfiguration(dir.Path().string());
    EXPECT_EQ(c.FileExtension, "csv");
    EXPECT_EQ(c.FieldSeparator, ",");
    EXPECT_EQ(c.DecimalSeparator, ".");
    EXPECT_EQ(ReadFile(dir.File("vcfg.txt")), "csv\r\n,\r\n.\r\n");
}

TEST(ConfigurationTest, ExistingFilesAreReadUntrimmedAndNeverRewritten) {
    const ConfigurationCase cases[] = {
        {"txt\r\n;\r\n,\r\n", {"txt", ";", ","}},
        {"csv\r\n\r\n.\r\n", {"csv", "", "."}},          // empty separator
        {"csv\r\n ; \r\n.\r\n", {"csv", " ; ", "."}},    // blanks kept
        {"a\r\nb\r\nc\r\nd\r\ne\r\n", {"a", "b", "c"}},  // five lines: three used
        {"a\rb\rc", {"a", "b", "c"}},                    // lone CR, no final end
        {"a\nb\nc\n", {"a", "b", "c"}},                  // lone LF
        {"txt\r\n", {"txt", ",", "."}},                  // fewer lines: defaults
        {"\r\n\r\n\r\n", {"", "", ""}},                  // empty values stay empty
        {"", {"csv", ",", "."}},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        WriteFile(dir.File("vcfg.txt"), c.bytes);
        const Configuration read = LoadConfiguration(dir.Path().string());
        EXPECT_EQ(read.FileExtension, c.expected.FileExtension) << c.bytes;
        EXPECT_EQ(read.FieldSeparator, c.expected.FieldSeparator) << c.bytes;
        EXPECT_EQ(read.DecimalSeparator, c.expected.DecimalSeparator) << c.bytes;
        EXPECT_EQ(ReadFile(dir.File("vcfg.txt")), c.bytes);
    }
}

TEST(ConfigurationTest, UnreadableOrUncreatableFileLeavesTheDefaults) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.File("vcfg.txt"));  // exists, cannot be read
    std::filesystem::create_directory(dir.File("fifo"));
    std::filesystem::create_directory(dir.File("zero"));
    Configuration c = LoadConfiguration(dir.Path().string());
    EXPECT_EQ(c.FileExtension, "csv");
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("vcfg.txt")));

    // Neither a FIFO (no waiting for a writer) nor a device is read, nor replaced.
    ASSERT_EQ(::mkfifo(dir.File("fifo/vcfg.txt").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.File("zero/vcfg.txt"));
    for (const char* folder : {"fifo", "zero"}) {
        c = LoadConfiguration(dir.File(folder));
        EXPECT_EQ(c.DecimalSeparator, ".") << folder;
    }
    EXPECT_EQ(std::filesystem::status(dir.File("fifo/vcfg.txt")).type(),
              std::filesystem::file_type::fifo);

    c = LoadConfiguration(dir.File("no/such/dir"));
    EXPECT_EQ(c.FieldSeparator, ",");
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
}

TEST(ConfigurationTest, FileBesideAReadOnlyProgramIsReadBeforeThePerUserOne) {
    test::TempDir program;
    test::TempDir user;
    const std::string placed = "txt\r\n;\r\n,\r\n";
    WriteFile(program.File("vcfg.txt"), placed);
    Configuration c = LoadProgramConfiguration(program.Path().string(), user.Path().string());
    EXPECT_EQ(c.FileExtension, "txt");
    EXPECT_EQ(c.DecimalSeparator, ",");
    EXPECT_FALSE(std::filesystem::exists(user.File("vcfg.txt")));
    EXPECT_EQ(ReadFile(program.File("vcfg.txt")), placed);

    std::filesystem::remove(program.File("vcfg.txt"));
    c = LoadProgramConfiguration(program.Path().string(), user.Path().string());
    EXPECT_EQ(c.FileExtension, "csv");
    EXPECT_EQ(ReadFile(user.File("vcfg.txt")), "csv\r\n,\r\n.\r\n");
    EXPECT_FALSE(std::filesystem::exists(program.File("vcfg.txt")));
}

}  // namespace
}  // namespace rheo
