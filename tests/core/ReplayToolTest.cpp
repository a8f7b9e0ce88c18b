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

TEST_F(ReplayToolTest, WorkedExampleGivesTheHeaderAndRowWithTheDefaultsAndAConfiguration) {
    WriteFile(dir.File("in.bin"), Message());
    ASSERT_EQ(RunReplay(fixed + "--output " + dir.File("out.csv") + " --log " +
                        dir.File("vlog.txt") + " " + dir.File("in.bin")),
              0);
    EXPECT_EQ(ReadFile(dir.File("out.csv")),
              "Date,Hour,Spindle,RPM,Temp [\xBA"
              "C],Error T,Viscosity [cP],Error V,%\r\n"
              "05/12/2026,14:05:33,LCP,100,27.5,,00001250,,10.2\r\n");
    EXPECT_EQ(ReadFile(dir.File("vlog.txt")), "05/12/2026 14:05:40 Start of process\r\n");

    WriteFile(dir.File("vcfg.txt"), "txt\r\n;\r\n,\r\n");
    ASSERT_EQ(RunReplay(fixed + "--config " + dir.File("vcfg.txt") + " < " + dir.File("in.bin") +
                        " > " + dir.File("out.txt")),
              0);
    const std::string out = ReadFile(dir.File("out.txt"));
    EXPECT_TRUE(out.ends_with("05/12/2026;14:05:33;LCP;100;27,5;;00001250;;10,2\r\n")) << out;
}

TEST_F(ReplayToolTest, ErrorWordsReachTheLogWithTheirRawText) {
    WriteFile(dir.File("in.bin"),
              "noise" + Message("10:00:00", "100", "Hih", "cP: Out of Range", "--"));
    ASSERT_EQ(RunReplay(fixed + "--output " + dir.File("out.csv") + " --log " +
                        dir.File("vlog.txt") + " " + dir.File("in.bin")),
              0);
    EXPECT_EQ(ReadFile(dir.File("vlog.txt")),
              "05/12/2026 14:05:40 Temperature overflow::noise10:00:00   sp: LCP    rpm: 100   "
              "T: Hih\r\n"
              "05/12/2026 14:05:40 Viscosity Error::noise10:00:00   sp: LCP    rpm: 100   T: "
              "Hih\rcP: Out of Range\r\n"
              "05/12/2026 14:05:40 Start of process\r\n");
    EXPECT_TRUE(ReadFile(dir.File("out.csv"))
                    .ends_with("05/12/2026,10:00:00,LCP,100,,HIGH,0,Out of Range,0.0\r\n"));
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
