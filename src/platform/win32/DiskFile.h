#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace rheo {

// A handle that only appends (FILE_APPEND_DATA) to a file on disk; FILE_READ_ATTRIBUTES too, so
// that its size can be read. Other programs may read and write the file meanwhile.
inline HANDLE OpenDiskFileForAppending(const std::string& path) {
    const HANDLE file = CreateFileA(
        path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE && GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);  // a pipe, a console or a device such as NUL or COM1
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

// Cuts the file to the given size through a handle of its own: the appending one cannot.
inline bool CutFile(const std::string& path, LONGLONG size) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER at;
    at.QuadPart = size;
    const bool cut = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return cut;
}

}  // namespace rheo
