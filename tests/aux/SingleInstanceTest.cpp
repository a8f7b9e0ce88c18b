// The instance lock between real processes: copies of this test program take it in a
// directory of their own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>

#include "AuxTestSupport.h"
#include "platform/qt/QtSingleInstance.h"

namespace rheo::test {
namespace {

std::string Self() {
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

// A copy that takes the lock and keeps running until killed; -1 when it did not get it.
pid_t HoldingCopy(const TempDir& lockDir, const TempDir& scratch) {
    const std::string marker = scratch.File("holding");
    std::filesystem::remove(marker);
    pid_t pid = Spawn({Self(), "--hold-instance", lockDir.Path().string(), marker});
    if (!WaitUntil([&] { return std::filesystem::exists(marker); })) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

int TryCopy(const TempDir& lockDir) {
    return WaitExit(Spawn({Self(), "--try-instance", lockDir.Path().string()}));
}

TEST(QtSingleInstance, ASecondCopyIsRefusedWhileTheFirstRuns) {
    TempDir lockDir;
    TempDir scratch;
    pid_t first = HoldingCopy(lockDir, scratch);
    ASSERT_GT(first, 0);
    EXPECT_EQ(TryCopy(lockDir), 1);
    EXPECT_EQ(TryCopy(lockDir), 1);
    // However long the first copy has been running, its lock is not stale.
    const std::string lock = lockDir.File("rheotrackpanel.lock");
    ASSERT_TRUE(std::filesystem::exists(lock));
    utimbuf dayOld{::time(nullptr) - 86400, ::time(nullptr) - 86400};
    ASSERT_EQ(::utime(lock.c_str(), &dayOld), 0);
    EXPECT_EQ(TryCopy(lockDir), 1);
    EXPECT_EQ(::waitpid(first, nullptr, WNOHANG), 0);  // and the first runs on undisturbed

    ::kill(first, SIGTERM);
    ::waitpid(first, nullptr, 0);
}

TEST(QtSingleInstance, TheLockOfAKilledCopyIsTakenOver) {
    TempDir lockDir;
    TempDir scratch;
    pid_t first = HoldingCopy(lockDir, scratch);
    ASSERT_GT(first, 0);
    ::kill(first, SIGKILL);
    ::waitpid(first, nullptr, 0);
    ASSERT_TRUE(std::filesystem::exists(lockDir.File("rheotrackpanel.lock")));  // left behind

    EXPECT_EQ(TryCopy(lockDir), 0);
    pid_t next = HoldingCopy(lockDir, scratch);
    EXPECT_GT(next, 0);
    if (next > 0) {
        EXPECT_EQ(TryCopy(lockDir), 1);
        ::kill(next, SIGKILL);
        ::waitpid(next, nullptr, 0);
    }
}

TEST(QtSingleInstance, TheLockIsHeldForTheLifeOfTheObject) {
    TempDir lockDir;
    {
        QtSingleInstance instance(QString::fromStdString(lockDir.Path().string()));
        EXPECT_TRUE(instance.Acquire());
        EXPECT_TRUE(instance.Acquire());  // asking again is harmless
        EXPECT_EQ(TryCopy(lockDir), 1);
    }
    EXPECT_EQ(TryCopy(lockDir), 0);
}

}  // namespace
}  // namespace rheo::test
