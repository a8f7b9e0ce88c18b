// The auxiliary tests run in a QApplication (offscreen unless set) on a desktop of their own:
// home, data and configuration folders in a temporary folder (support/TestDesktop.h).
// As "--hold-instance DIR" it is a copy holding the instance lock in DIR instead: it prints
// "held" and runs until killed, or ends with 1 when another copy holds the lock.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <QApplication>
#include <QProcess>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/qt/QtSingleInstance.h"
#include "support/Fakes.h"
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

// Without XDG_RUNTIME_DIR and with the fallback runtime folder made by another account, the
// lock lies in a folder of the user's own, never in the shared temporary folder.
TEST(QtSingleInstance, TheLockLiesInAFolderOfTheUsersOwn) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving a folder to another account needs root";
    }
    TempDir temporary;
    const std::string runtime =
        temporary.File(std::string("runtime-") + ::getpwuid(::geteuid())->pw_name);
    std::filesystem::create_directory(runtime);
    ASSERT_EQ(::chown(runtime.c_str(), 4242, 4242), 0);
    const std::string saved = ::getenv("XDG_RUNTIME_DIR") ? ::getenv("XDG_RUNTIME_DIR") : "";
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("TMPDIR", temporary.Path().c_str(), 1);
    const std::string path = QtSingleInstance().LockFilePath().toStdString();
    const std::string home = ::getenv("HOME");
    EXPECT_EQ(path.rfind(home + "/", 0), 0u) << path;
    struct stat folder {};
    ASSERT_EQ(::stat(std::filesystem::path(path).parent_path().c_str(), &folder), 0);
    EXPECT_EQ(folder.st_uid, ::geteuid());
    EXPECT_EQ(folder.st_mode & 077, 0u);
    ::unsetenv("TMPDIR");
    if (!saved.empty()) {
        ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    }
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
