#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/WholeWrite.h"

namespace rheo {
namespace {

// A descriptor of a regular file, or -1.
int OpenRegular(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes) {
    const int fd = OpenRegular(path, O_RDONLY);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string bytes(maxBytes, '\0');
    std::size_t size = 0;
    for (ssize_t n = 1; n != 0 && size < maxBytes;) {
        n = ::read(fd, bytes.data() + size, maxBytes - size);
        if (n < 0 && errno != EINTR) {
            ::close(fd);
            return std::nullopt;
        }
        size += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    ::close(fd);
    bytes.resize(size);
    return bytes;
}

bool AppendToRegularFile(const std::string& path, std::string_view bytes) {
    const int fd = OpenRegular(path, O_WRONLY | O_CREAT | O_APPEND);
    if (fd < 0) {
        return false;
    }
    const bool written = WriteWholeOrTakeBack(fd, path, bytes);
    return ::close(fd) == 0 && written;
}

}  // namespace rheo
