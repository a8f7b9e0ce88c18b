// The auxiliary-window tests run inside a QApplication (offscreen unless a platform is set).
// Started as "--hold-instance DIR MARKER" the program instead takes the instance lock in DIR,
// creates MARKER and waits to be killed; as "--try-instance DIR" it takes the lock and ends
// with 0, or ends with 1 when another copy holds it: the copies of the program, as real
// processes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/qt/QtSingleInstance.h"

namespace {

int InstanceCopy(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    rheo::QtSingleInstance instance(QString::fromLocal8Bit(argv[2]));
    if (!instance.Acquire()) {
        return 1;
    }
    if (argc == 4) {
        std::ofstream(argv[3]) << ::getpid() << "\n";
        for (;;) {
            ::pause();
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if ((mode == "--hold-instance" && argc == 4) || (mode == "--try-instance" && argc == 3)) {
        return InstanceCopy(argc, argv);
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
