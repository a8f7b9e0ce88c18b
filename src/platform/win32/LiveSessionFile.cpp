#include "platform/LiveSessionFile.h"

#include "platform/WholeWrite.h"
#include "platform/win32/DiskFile.h"

namespace rheo {
namespace {

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

bool LiveSessionFile::Open(const std::string& path, bool truncate) {
    Close();
    // Every write goes to the current end of the file. Only a file on disk is taken, and it is
    // emptied (for a new session) only once it is known to be one.
    const HANDLE file = OpenDiskFileForAppending(path);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DiskFileIdentity identity;
    if (!IdentityOf(file, identity) || (truncate && !CutFile(file, path, 0))) {
        CloseHandle(file);
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    path_ = path;
    identity_ = {identity.volume, identity.index};
    return true;
}

bool LiveSessionFile::Reopen() {
    // Never created: a name that leads nowhere now gets no new, headerless file.
    const HANDLE file = OpenDiskFileForAppending(path_, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DiskFileIdentity identity;
    if (!IdentityOf(file, identity) || Identity{identity.volume, identity.index} != identity_) {
        CloseHandle(file);
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool LiveSessionFile::NameMayBeTakenAgain() const {
    const HANDLE file = CreateFileW(WidePath(path_).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    DiskFileIdentity identity;
    const bool same = GetFileType(file) == FILE_TYPE_DISK && IdentityOf(file, identity) &&
                      Identity{identity.volume, identity.index} == identity_;
    CloseHandle(file);
    return same;
}

bool LiveSessionFile::WriteLine(std::string_view bytes) {
    return IsOpen() && WriteWholeOrTakeBack(handle_, path_, bytes);
}

bool LiveSessionFile::CommitRow() {
    if (!IsOpen()) {
        return false;
    }
    const HANDLE file = AsHandle(handle_);
    // ERROR_INVALID_FUNCTION: a file system that has nothing to flush.
    bool ok = FlushFileBuffers(file) || GetLastError() == ERROR_INVALID_FUNCTION;
    ok = CloseHandle(file) && ok;
    handle_ = kNoHandle;
    return ok && Reopen();
}

void LiveSessionFile::Close() {
    if (IsOpen()) {
        CloseHandle(AsHandle(handle_));
        handle_ = kNoHandle;
    }
}

}  // namespace rheo
