#include "platform/LiveSessionFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/WholeWrite.h"

namespace rheo {
namespace {

constexpr int kAppending = O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

}  // namespace

bool LiveSessionFile::Open(const std::string& path, bool truncate) {
    Close();
    // Only a regular file: a FIFO, a device or a link to one is a file that cannot be opened.
    // It is looked at before the open, which must not wait for a FIFO's reader either, and
    // again after it; it is emptied only once it is known to be a regular file.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return false;
    }
    const int fd = ::open(path.c_str(), kAppending | O_CREAT, 0666);
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
    identity_ = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    return true;
}

bool LiveSessionFile::Reopen() {
    // Never created: a name that leads nowhere now gets no new, headerless file. Looked at
    // before the open (nothing else is opened, a FIFO or a device put there included) and
    // again after it, which is what counts.
    struct stat info {};
    const auto same = [&] {
        return S_ISREG(info.st_mode) &&
               Identity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)} == identity_;
    };
    if (::stat(path_.c_str(), &info) != 0 || !same()) {
        return false;
    }
    const int fd = ::open(path_.c_str(), kAppending);
    if (fd < 0) {
        return false;
    }
    if (::fstat(fd, &info) != 0 || !same()) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
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
    return ok && Reopen();
}

bool LiveSessionFile::NameMayBeTakenAgain() const {
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    return S_ISREG(info.st_mode) && Identity{static_cast<std::uint64_t>(info.st_dev),
                                             static_cast<std::uint64_t>(info.st_ino)} == identity_;
}

void LiveSessionFile::Close() {
    if (IsOpen()) {
        ::close(static_cast<int>(handle_));
        handle_ = kNoHandle;
    }
}

}  // namespace rheo
