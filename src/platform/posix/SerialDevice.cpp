#include "platform/SerialDevice.h"

#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>

namespace rheo {

bool IsCharacterDevice(const std::string& name) {
    struct stat info {};
    return !name.empty() && ::stat(name.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

bool LockDevice(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

bool DeviceHungUp(int fd) {
    if (fd < 0) {
        return true;
    }
    pollfd watch{fd, POLLIN, 0};
    if (::poll(&watch, 1, 0) > 0 && (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        return true;
    }
    termios settings{};
    return ::tcgetattr(fd, &settings) != 0;  // a hung-up terminal refuses every request
}

bool NameLeadsTo(const std::string& name, int fd) {
    struct stat named {};
    struct stat open {};
    return ::stat(name.c_str(), &named) == 0 && ::fstat(fd, &open) == 0 && S_ISCHR(named.st_mode) &&
           named.st_rdev == open.st_rdev;
}

}  // namespace rheo
