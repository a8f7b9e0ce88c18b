// rheotrack-replay as a user runs it. Files in and out, error words and configurations: the
// golden capture (tests/data). Here: the failures, each said once, and standard input and output.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "TestSupport.h"

namespace rheo {
namespace {

TEST(ReplayToolTest, FailuresAreSaidOnceAndStandardInputGoesToStandardOutput) {
    test::TempDir dir;
    const std::string in = dir.File("in.bin"), out = dir.File("out"), err = dir.File("err");
    test::WriteFile(in, test::Message());
    test::WriteFile(dir.File("vcfg.txt"), "txt\r\n;\r\n,\r\n");
    const std::pair<std::string, const char*> cases[] = {
        {"--bogus", "unknown option --bogus"},
        {"--output", "--output needs a value"},
        {dir.File("missing.bin"), "cannot read"},
        {"--config " + dir.File("missing.txt") + " " + in, "cannot read the configuration"},
        {"--output /dev/full " + in, "cannot write"},
        {"--log /dev/full --output " + dir.File("out.csv") + " " + in,
         "cannot write the event log /dev/full\n"},
        {"--config " + dir.File("vcfg.txt") + " < " + in, nullptr},
    };
    for (const auto& [arguments, error] : cases) {
        const std::string command =
            std::string(RHEO_REPLAY_TOOL) + " " + arguments + " >" + out + " 2>" + err;
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && (WEXITSTATUS(status) == 0) == (error == nullptr))
            << arguments;
        // Said once; nothing said (rfind of "" is the end) when nothing failed.
        const std::string said = test::ReadFile(err), expected = error ? error : "";
        EXPECT_NE(said.find(expected), std::string::npos) << said;
        EXPECT_EQ(said.find(expected), said.rfind(expected)) << said;
    }
    EXPECT_TRUE(test::ReadFile(out).ends_with(";14:05:33;LCP;100;27,5;;00001250;;10,2\r\n"));
}

}  // namespace
}  // namespace rheo
