#include "platform/posix/FileRegistry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace rheo {
namespace {

constexpr long kErrorWriteFault = 29;
constexpr long kErrorReadFault = 30;
constexpr long kErrorInvalidParameter = 87;

long Status(int error, long otherwise) {
    return (error == EACCES || error == EPERM || error == EROFS) ? kErrorAccessDenied : otherwise;
}

// Closes the descriptor when it goes.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

std::string Folder(const std::string& file) {
    const auto slash = file.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
}

// Replaces the file whole: a temporary file beside it, flushed, renamed over it. A regular file
// takes a write whole unless the device is full, so a short write is a failure.
long Replace(const std::string& file, const std::string& content) {
    std::string temporary = file + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return Status(errno, kErrorWriteFault);
    }
    bool ok = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()) &&
              ::fchmod(fd, 0664) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temporary.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return Status(error, kErrorWriteFault);
    }
    return 0;
}

}  // namespace

FileRegistry::FileRegistry() : FileRegistry(DefaultFile()) {}

FileRegistry::FileRegistry(std::string file) : file_(std::move(file)) {}

std::string FileRegistry::PortMapFile() {
    const std::string store = DefaultFile();
    return store.substr(0, store.size() - std::string_view("/settings").size()) + "-ports";
}

std::string FileRegistry::DefaultFile() {
    std::string directory = "/etc/xdg";
    if (const char* dirs = std::getenv("XDG_CONFIG_DIRS"); dirs != nullptr) {
        const std::string list = dirs;
        for (std::size_t start = 0; start < list.size();) {
            const std::size_t end = std::min(list.find(':', start), list.size());
            if (list[start] == '/') {  // relative entries are not valid and are skipped
                directory = list.substr(start, end - start);
                break;
            }
            start = end + 1;
        }
    }
    while (directory.size() > 1 && directory.back() == '/') {
        directory.pop_back();
    }
    return directory + "/rheotrackpanel/settings";
}

// A missing file, or one that is not a plain regular file of at most kMaxFileSize, is an
// empty store. Opening neither follows a link nor waits for a writer of a FIFO.
long FileRegistry::Load(SettingsText& text) const {
    text = {};
    const Descriptor file{::open(file_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) {
        const bool absent = errno == ENOENT || errno == ENOTDIR || errno == ELOOP;
        return absent ? 0 : Status(errno, kErrorReadFault);
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) {
        return kErrorReadFault;
    }
    // A file with a second name may be another's; one that was just replaced (no name left) is
    // the store as it stood when it was opened.
    if (!S_ISREG(info.st_mode) || info.st_nlink > 1 ||
        static_cast<std::size_t>(info.st_size) > kMaxFileSize) {
        return 0;
    }
    // One byte more than the limit tells a file that grew past it meanwhile: that counts as none.
    const auto buffer = std::make_unique_for_overwrite<char[]>(kMaxFileSize + 1);
    std::size_t size = 0;
    for (ssize_t n = 1; n != 0 && size <= kMaxFileSize;) {
        n = ::read(file.fd, buffer.get() + size, kMaxFileSize + 1 - size);
        if (n < 0 && errno != EINTR) {
            return Status(errno, kErrorReadFault);
        }
        size += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    if (size <= kMaxFileSize) {
        text = SettingsText::Parse(std::string_view(buffer.get(), size));
    }
    return 0;
}

template <typename Change>
long FileRegistry::Update(Change change) {
    const std::string folder = Folder(file_);
    ::mkdir(folder.c_str(), 0755);  // the store's own folder, on the first write
    const Descriptor lock{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (lock.fd < 0) {
        return Status(errno, kErrorWriteFault);
    }
    while (::flock(lock.fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            return kErrorWriteFault;
        }
    }
    SettingsText text;
    long status = Load(text);
    status = status != 0 ? status : change(text);
    status = status != 0 ? status : Replace(file_, text.Format());
    if (status == 0) {
        ::fsync(lock.fd);  // the rename itself made durable; the content already is
    }
    return status;  // the lock goes with its descriptor
}

long FileRegistry::OpenKey(RegKey root, const std::string& path, std::uint32_t /*access*/,
                           RegKey& key) {
    key = 0;
    if (root != kHkeyLocalMachine) {
        return kErrorInvalidHandle;
    }
    SettingsText text;
    if (const long status = Load(text); status != 0) {
        return status;
    }
    if (!text.HasKey(path)) {
        return kErrorFileNotFound;
    }
    handles_[key = nextHandle_++] = path;
    return 0;
}

long FileRegistry::CreateKey(RegKey root, const std::string& path, RegKey& key) {
    // The file is only rewritten when the key is new.
    if (OpenKey(root, path, kKeyAccess, key) == 0 || root != kHkeyLocalMachine) {
        return key != 0 ? 0 : kErrorInvalidHandle;
    }
    const long status =
        Update([&](SettingsText& text) { return text.AddKey(path) ? 0 : kErrorInvalidParameter; });
    return status != 0 ? status : OpenKey(root, path, kKeyAccess, key);
}

long FileRegistry::SetValue(RegKey key, const std::string& name, std::uint32_t type,
                            const std::uint8_t* data, std::uint32_t length) {
    const auto handle = handles_.find(key);
    if (handle == handles_.end()) {
        return kErrorInvalidHandle;
    }
    if ((data == nullptr && length > 0) || (type != kRegSz && type != kRegDword)) {
        return kErrorInvalidParameter;
    }
    SettingsText::Value value{type, length == 0
                                        ? std::string()
                                        : std::string(reinterpret_cast<const char*>(data), length)};
    if (type == kRegSz && !value.data.empty() && value.data.back() == '\0') {
        value.data.pop_back();  // the file keeps text without its terminating zero
    }
    // Refused: a number of another length, or a key removed by another process meanwhile.
    return Update([&](SettingsText& text) {
        return text.Set(handle->second, name, value) ? 0 : kErrorInvalidParameter;
    });
}

long FileRegistry::QueryValue(RegKey key, const std::string& name, std::uint32_t* type,
                              std::uint8_t* data, std::uint32_t* length) {
    const auto handle = handles_.find(key);
    if (handle == handles_.end()) {
        return kErrorInvalidHandle;
    }
    if (data != nullptr && length == nullptr) {
        return kErrorInvalidParameter;
    }
    SettingsText text;
    if (const long status = Load(text); status != 0) {
        return status;
    }
    const SettingsText::Value* value = text.Find(handle->second, name);
    if (value == nullptr) {
        return kErrorFileNotFound;
    }
    // Text is handed out with its terminating zero, as the registry's editors store it.
    const std::string bytes = value->type == kRegSz ? value->data + '\0' : value->data;
    const auto size = static_cast<std::uint32_t>(bytes.size());
    const bool fits = data == nullptr || *length >= size;
    if (fits && data != nullptr) {
        std::memcpy(data, bytes.data(), size);
    }
    if (type != nullptr) {
        *type = value->type;
    }
    if (length != nullptr) {
        *length = size;
    }
    return fits ? 0 : kErrorMoreData;
}

long FileRegistry::CloseKey(RegKey key) {
    return handles_.erase(key) == 1 ? 0 : kErrorInvalidHandle;
}

}  // namespace rheo
