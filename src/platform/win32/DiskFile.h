#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "platform/win32/WidePath.h"

namespace rheo {

// A handle that only appends (FILE_APPEND_DATA) to a file on disk; FILE_READ_ATTRIBUTES too, so
// that its size and identity can be read. Other programs may read and write the file meanwhile.
// OPEN_ALWAYS creates a missing file; OPEN_EXISTING does not.
inline HANDLE OpenDiskFileForAppending(const std::string& path, DWORD disposition = OPEN_ALWAYS) {
    const HANDLE file = CreateFileW(
        WidePath(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE && GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);  // a pipe, a console or a device such as NUL or COM1
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

// The file's identity: its volume's serial number and its index on that volume.
struct DiskFileIdentity {
    DWORD volume = 0;
    ULONGLONG index = 0;
    bool operator==(const DiskFileIdentity&) const = default;
};

inline bool IdentityOf(HANDLE file, DiskFileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) {
        return false;
    }
    identity.volume = info.dwVolumeSerialNumber;
    identity.index = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

// Cuts the file behind the handle to the given size. The appending handle cannot, so the file
// is opened again by its name; it is cut only when the name still leads to that same file.
inline bool CutFile(HANDLE same, const std::string& path, LONGLONG size) {
    DiskFileIdentity wanted, found;
    if (!IdentityOf(same, wanted)) {
        return false;
    }
    const HANDLE file =
        CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER at;
    at.QuadPart = size;
    const bool cut = IdentityOf(file, found) && found == wanted &&
                     SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return cut;
}

}  // namespace rheo
