// rheotrack-replay as a user runs it: captured bytes in, session file and event log out.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "TestSupport.h"

namespace rheo {
namespace {

using test::Message;
using test::ReadFile;
using test::WriteFile;

int RunReplay(const std::string& arguments, std::string* errors = nullptr,
              const std::string& errorFile = "") {
    std::string command = std::string(RHEO_REPLAY_TOOL) + " " + arguments;
    if (!errorFile.empty()) {
        command += " 2>" + errorFile;
    }
    const int status = std::system(command.c_str());
    if (errors != nullptr && !errorFile.empty()) {
        *errors = ReadFile(errorFile);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ReplayToolTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::string fixed = "--date 05/12/2026 --time 14:05:40 ";
};

// Files in and out, error words and configurations: the golden capture (tests/data). Here: the
// capture on standard input and the session on standard output.
TEST_F(ReplayToolTest, ReadsStandardInputAndWritesStandardOutputWithAConfiguration) {
    WriteFile(dir.File("in.bin"), Message());
    WriteFile(dir.File("vcfg.txt"), "txt\r\n;\r\n,\r\n");
    ASSERT_EQ(RunReplay(fixed + "--config " + dir.File("vcfg.txt") + " < " + dir.File("in.bin") +
                        " > " + dir.File("out.txt")),
              0);
    const std::string out = ReadFile(dir.File("out.txt"));
    EXPECT_TRUE(out.ends_with("05/12/2026;14:05:33;LCP;100;27,5;;00001250;;10,2\r\n")) << out;
}

TEST_F(ReplayToolTest, BadOptionsUnreadableInputAndUnwritableOutputFailClearly) {
    std::string errors;
    EXPECT_NE(RunReplay("--bogus", &errors, dir.File("err")), 0);
    EXPECT_NE(errors.find("unknown option"), std::string::npos);
    EXPECT_NE(RunReplay("--output", &errors, dir.File("err")), 0);
    EXPECT_NE(RunReplay(dir.File("missing.bin"), &errors, dir.File("err")), 0);
    EXPECT_NE(errors.find("cannot read"), std::string::npos);
    WriteFile(dir.File("in.bin"), Message());
    EXPECT_NE(RunReplay("--output " + dir.File("no/dir/out.csv") + " " + dir.File("in.bin"),
                        &errors, dir.File("err")),
              0);
    EXPECT_NE(errors.find("cannot write"), std::string::npos);
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_NE(RunReplay("--output /dev/full " + dir.File("in.bin"), &errors, dir.File("err")),
                  0);
        EXPECT_NE(errors.find("cannot write"), std::string::npos);
        // A log that cannot be written is a failed run too, reported once.
        EXPECT_NE(
            RunReplay("--log /dev/full --output " + dir.File("out.csv") + " " + dir.File("in.bin"),
                      &errors, dir.File("err")),
            0);
        EXPECT_EQ(errors, "rheotrack-replay: cannot write the event log /dev/full\n");
    }
    EXPECT_NE(RunReplay("--config " + dir.File("missing.txt") + " " + dir.File("in.bin"), &errors,
                        dir.File("err")),
              0);
}

}  // namespace
}  // namespace rheo
