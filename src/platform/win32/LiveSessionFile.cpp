#include "platform/LiveSessionFile.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>

namespace rheo {
namespace {

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// Other programs may read (and even write) the file while the session holds it.
constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

}  // namespace

bool LiveSessionFile::Open(const std::string& path, bool truncate) {
    Close();
    if (truncate) {
        // Create or empty the file; the session then writes through an appending handle like
        // every reopened one.
        const HANDLE created = CreateFileA(path.c_str(), GENERIC_WRITE, kShare, nullptr,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE) {
            return false;
        }
        CloseHandle(created);
    }
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the current end of the file.
    const HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, kShare, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    path_ = path;
    return true;
}

bool LiveSessionFile::WriteLine(std::string_view bytes) {
    if (!IsOpen()) {
        return false;
    }
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(AsHandle(handle_), bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

bool LiveSessionFile::CommitRow() {
    if (!IsOpen()) {
        return false;
    }
    const HANDLE file = AsHandle(handle_);
    // ERROR_INVALID_FUNCTION: a device (such as NUL) that has nothing to flush.
    bool ok = FlushFileBuffers(file) || GetLastError() == ERROR_INVALID_FUNCTION;
    ok = CloseHandle(file) && ok;
    handle_ = kNoHandle;
    if (!ok) {
        return false;
    }
    return Open(path_, false);
}

void LiveSessionFile::Close() {
    if (IsOpen()) {
        CloseHandle(AsHandle(handle_));
        handle_ = kNoHandle;
    }
}

}  // namespace rheo
