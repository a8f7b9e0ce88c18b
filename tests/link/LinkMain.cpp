// The link tests run inside a Qt event loop. Started as "--hold-port N MARKER", the program
// instead opens port N through the settings store of XDG_CONFIG_DIRS, creates MARKER, and holds
// the port until it is killed: another program that has the port.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <filesystem>
#include <fstream>
#include <string>

#include "LinkTestSupport.h"
#include "platform/posix/FileRegistry.h"
#include "platform/qt/QtSerialLink.h"

namespace rheo::test {

pid_t HoldPortInOtherProcess(int number) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string marker =
        std::filesystem::temp_directory_path() /
        ("rheo-hold-" + std::to_string(::getpid()) + "-" + std::to_string(number));
    std::filesystem::remove(marker);
    pid_t pid = Spawn({self, "--hold-port", std::to_string(number), marker}, false);
    const bool held = WaitUntil([&] {
        int status = 0;
        return std::filesystem::exists(marker) || ::waitpid(pid, &status, WNOHANG) == pid;
    });
    if (!held || !std::filesystem::exists(marker)) {
        Stop(pid);
        return -1;
    }
    std::filesystem::remove(marker);
    return pid;
}

}  // namespace rheo::test

namespace {

int HoldPort(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    rheo::FileRegistry registry;
    rheo::QtSerialLink link(registry);
    link.SetPortNumber(std::stoi(argv[2]));
    if (!link.Open()) {
        return 3;
    }
    std::ofstream(argv[3]) << "held\n";
    for (;;) {
        ::pause();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--hold-port") {
        return HoldPort(argc, argv);
    }
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
