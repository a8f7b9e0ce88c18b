// rheotrack-replay as a user runs it (files, error words, configurations: the golden capture in
// tests/data): failures, each said once; standard input to output, a message with an endless
// field dropped, and one with the configured separator in its hour.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "support/Fakes.h"

namespace rheo {
namespace {

class ReplayToolTest : public ::testing::Test {
  protected:
    ReplayToolTest() {
        test::WriteFile(in, test::Message("14:05:32", std::string(1 << 20, '1')) +
                                test::Message("14:05;32") + test::Message());
        test::WriteFile(dir.File("vcfg.txt"), "txt\r\n;\r\n,\r\n");
    }
    std::pair<int, std::string> Run(const std::string& arguments) {  // exit code, what was said
        const int status = std::system((RHEO_REPLAY_TOOL " " + arguments + " 2>" + err).c_str());
        return std::pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::ReadFile(err));
    }
    test::TempDir dir;
    const std::string in = dir.File("in.bin"), out = dir.File("out"), err = dir.File("err");
};

TEST_F(ReplayToolTest, FailuresAreSaidOnce) {
    EXPECT_EQ(Run("--output /dev/full " + in),
              std::pair(2, std::string("rheotrack-replay: cannot write /dev/full\n")));
    EXPECT_EQ(
        Run("--log /dev/full --output " + out + " " + in),
        std::pair(2, std::string("rheotrack-replay: cannot write the event log /dev/full\n")));
}

TEST_F(ReplayToolTest, StandardInputGoesToStandardOutput) {
    EXPECT_EQ(Run("--date 05/12/2026 --config " + dir.File("vcfg.txt") + " <" + in + " >" + out),
              std::pair(0, std::string()));
    const std::string rows = test::ReadFile(out);  // the header and the second message's row
    EXPECT_EQ(rows.substr(rows.find('\n') + 1),
              "05/12/2026;14:05:33;LCP;100;27,5;;00001250;;10,2\r\n");
}

}  // namespace
}  // namespace rheo
