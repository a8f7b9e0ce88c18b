#include "platform/NewFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace rheo {

bool WriteNewFile(const std::string& path, std::string_view bytes) {
    ::unlink(path.c_str());  // a link is removed itself; its target stays as it is
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;  // among others: something was planted again between the two calls
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    const bool closed = ::close(fd) == 0;
    if (done < bytes.size() || !closed) {
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

}  // namespace rheo
