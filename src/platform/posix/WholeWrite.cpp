#include "platform/WholeWrite.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace rheo {

bool WriteWholeOrTakeBack(std::intptr_t file, const std::string& /*path*/, std::string_view bytes) {
    const int fd = static_cast<int>(file);
    struct stat before {};
    if (::fstat(fd, &before) != 0) {
        return false;
    }
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            const int error = errno;
            [[maybe_unused]] const int cut = ::ftruncate(fd, before.st_size);
            errno = error;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace rheo
