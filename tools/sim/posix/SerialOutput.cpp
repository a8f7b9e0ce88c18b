#include "SerialOutput.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace rheo::sim {

SerialOutput::~SerialOutput() {
    if (own_ && fd_ >= 0) {
        ::tcdrain(fd_);
        ::close(fd_);
    }
}

bool SerialOutput::Open(const std::string& device) {
    if (device.empty() || device == "-") {
        fd_ = STDOUT_FILENO;
        own_ = false;
        return true;
    }
    // Opened without waiting for the carrier; blocking writes are restored afterwards.
    fd_ = ::open(device.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = device + ": " + std::strerror(errno);
        return false;
    }
    own_ = true;
    if (::isatty(fd_)) {
        termios settings{};
        if (::tcgetattr(fd_, &settings) != 0) {
            error_ = device + ": " + std::strerror(errno);
            return false;
        }
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, B9600);
        ::cfsetospeed(&settings, B9600);
        settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
        settings.c_cflag |= CS8 | CLOCAL | CREAD;
        if (::tcsetattr(fd_, TCSANOW, &settings) != 0) {
            error_ = device + ": " + std::strerror(errno);
            return false;
        }
    }
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    }
    return true;
}

bool SerialOutput::Write(std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd_, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) {
                if (stop_ != nullptr && *stop_ != 0) {
                    return false;
                }
                continue;
            }
            brokenPipe_ = errno == EPIPE;
            error_ = std::strerror(errno);
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace rheo::sim
