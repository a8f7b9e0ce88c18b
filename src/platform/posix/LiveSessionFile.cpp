#include "platform/LiveSessionFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace rheo {

bool LiveSessionFile::Open(const std::string& path, bool truncate) {
    Close();
    const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (truncate ? O_TRUNC : 0);
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        return false;
    }
    handle_ = fd;
    path_ = path;
    return true;
}

bool LiveSessionFile::WriteLine(std::string_view bytes) {
    if (!IsOpen()) {
        return false;
    }
    const int fd = static_cast<int>(handle_);
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool LiveSessionFile::CommitRow() {
    if (!IsOpen()) {
        return false;
    }
    const int fd = static_cast<int>(handle_);
    bool ok = ::fsync(fd) == 0 || errno == EINVAL;  // EINVAL: a device that cannot be synced
    ok = (::close(fd) == 0) && ok;
    handle_ = kNoHandle;
    if (!ok) {
        return false;
    }
    return Open(path_, false);
}

void LiveSessionFile::Close() {
    if (IsOpen()) {
        ::close(static_cast<int>(handle_));
        handle_ = kNoHandle;
    }
}

}  // namespace rheo
