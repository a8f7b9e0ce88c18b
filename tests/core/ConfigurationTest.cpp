// vcfg.txt: created once with the defaults, otherwise read as it stands.
#include "app/ConfigurationFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/Fakes.h"

namespace rheo::test {
namespace {

std::string Fields(const Configuration& c) {
    return c.FileExtension + "|" + c.FieldSeparator + "|" + c.DecimalSeparator;
}

TEST(ConfigurationTest, ExistingFilesAreReadUntrimmedAndNeverRewritten) {
    const std::pair<std::string, const char*> cases[] = {
        {"txt\r\n;\r\n,\r\n", "txt|;|,"},
        {"csv\r\n ; \r\n\r\n", "csv| ; |"},      // blanks kept, empty value stays
        {"a\r\nb\r\nc\r\nd\r\ne\r\n", "a|b|c"},  // five lines: three used
        {"a\rb\rc", "a|b|c"},                    // lone CR, no final end
        {"a\nb\nc\n", "a|b|c"},                  // lone LF
        {"txt\r\n", "txt|,|."},                  // fewer lines: defaults
        {"", "csv|,|."},
        {std::string("c\0sv\r\n,\r\n.\r\n", 12), "c|,|."},  // a value ends at a NUL
    };
    for (const auto& [bytes, fields] : cases) {
        TempDir dir;
        WriteFile(dir.File("vcfg.txt"), bytes);
        EXPECT_EQ(Fields(LoadConfiguration(dir.Path().string())), fields) << bytes;
        EXPECT_EQ(ReadFile(dir.File("vcfg.txt")), bytes);
    }
}

// A directory, a FIFO (no waiting for a writer) or a device in its place, or a missing folder:
// the defaults, and nothing read, replaced or created.
TEST(ConfigurationTest, UnreadableOrUncreatableFileLeavesTheDefaults) {
    TempDir dir;
    for (const char* folder : {"directory/vcfg.txt", "fifo", "zero"}) {
        std::filesystem::create_directories(dir.File(folder));
    }
    ASSERT_EQ(::mkfifo(dir.File("fifo/vcfg.txt").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.File("zero/vcfg.txt"));
    for (const char* folder : {"directory", "fifo", "zero", "no/such/dir"}) {
        EXPECT_EQ(Fields(LoadConfiguration(dir.File(folder))), "csv|,|.") << folder;
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("directory/vcfg.txt")));
    EXPECT_EQ(std::filesystem::status(dir.File("fifo/vcfg.txt")).type(),
              std::filesystem::file_type::fifo);
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
}

TEST(ConfigurationTest, FileBesideAReadOnlyProgramIsReadBeforeThePerUserOneMadeWithDefaults) {
    TempDir program, user;
    WriteFile(program.File("vcfg.txt"), "txt\r\n;\r\n,\r\n");
    EXPECT_EQ(Fields(LoadProgramConfiguration(program.Path().string(), user.Path().string())),
              "txt|;|,");
    EXPECT_FALSE(std::filesystem::exists(user.File("vcfg.txt")));

    std::filesystem::remove(program.File("vcfg.txt"));
    EXPECT_EQ(Fields(LoadProgramConfiguration(program.Path().string(), user.Path().string())),
              "csv|,|.");
    EXPECT_EQ(ReadFile(user.File("vcfg.txt")), "csv\r\n,\r\n.\r\n");
    EXPECT_FALSE(std::filesystem::exists(program.File("vcfg.txt")));
}

}  // namespace
}  // namespace rheo::test
