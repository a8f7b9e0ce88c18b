#pragma once
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace rheo {

// Appends the bytes to the file behind fd (opened for appending). Bytes that cannot be written
// whole (a full disk, a pulled medium) are taken back by cutting the file to its size before
// them, so a file of lines never ends in a torn one that the next line would be glued to.
inline bool WriteWholeOrTakeBack(int fd, std::string_view bytes) {
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
