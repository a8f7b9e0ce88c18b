// The auxiliary tests run in a QApplication (offscreen unless set) on a desktop of their own:
// home, data and configuration folders in a temporary folder (support/TestDesktop.h).
// As "--hold-instance DIR" it is a copy holding the instance lock in DIR instead: it prints
// "held" and runs until killed, or ends with 1 when another copy holds the lock.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>
#include <utime.h>

#include <QApplication>
#include <QProcess>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "core/TestSupport.h"
#include "platform/qt/QtSingleInstance.h"
#include "support/TestDesktop.h"

namespace rheo::test {
namespace {

TEST(QtSingleInstance, OneCopyAtATimeAndTheLockOfAKilledCopyIsTakenOver) {
    TempDir dir;
    const QString lockDir = QString::fromStdString(dir.Path().string());
    const std::string lock = dir.File("rheotrackpanel.lock");
    const QString self = QCoreApplication::applicationFilePath();
    QProcess first;
    first.start(self, {"--hold-instance", lockDir});
    ASSERT_TRUE(first.waitForReadyRead(5000));  // "held"
    // However long the first copy has been running, its lock is not stale.
    const utimbuf dayOld{::time(nullptr) - 86400, ::time(nullptr) - 86400};
    EXPECT_EQ(::utime(lock.c_str(), &dayOld), 0);
    EXPECT_FALSE(QtSingleInstance(lockDir).Acquire());

    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    first.waitForFinished();
    ASSERT_TRUE(std::filesystem::exists(lock));  // left behind
    QtSingleInstance next(lockDir);
    EXPECT_TRUE(next.Acquire());
    EXPECT_EQ(QProcess::execute("timeout", {"10", self, "--hold-instance", lockDir}), 1);
}

}  // namespace
}  // namespace rheo::test

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--hold-instance") {
        QCoreApplication application(argc, argv);
        rheo::QtSingleInstance instance(QString::fromLocal8Bit(argv[2]));
        if (!instance.Acquire()) {
            return 1;
        }
        std::puts("held");
        std::fflush(stdout);
        return ::pause();  // runs until killed
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const rheo::test::TestDesktop desktop;
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
