#include "platform/LiveSessionFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/WholeWrite.h"

namespace rheo {

bool LiveSessionFile::Open(const std::string& path, bool truncate) {
    Close();
    // Only a regular file: a FIFO, a device or a link to one is a file that cannot be opened.
    // It is looked at before the open, which must not wait for a FIFO's reader either, and
    // again after it; it is emptied only once it is known to be a regular file.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return false;
    }
    const int flags = O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        return false;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        (truncate && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    path_ = path;
    return true;
}

bool LiveSessionFile::WriteLine(std::string_view bytes) {
    return IsOpen() && WriteWholeOrTakeBack(handle_, path_, bytes);
}

bool LiveSessionFile::CommitRow() {
    if (!IsOpen()) {
        return false;
    }
    const int fd = static_cast<int>(handle_);
    bool ok = ::fsync(fd) == 0 || errno == EINVAL;  // EINVAL: a file system that cannot sync
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
