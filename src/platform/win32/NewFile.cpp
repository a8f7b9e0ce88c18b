#include "platform/NewFile.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/win32/WidePath.h"

namespace rheo {

bool WriteNewFile(const std::string& path, std::string_view bytes) {
    const std::wstring name = WidePath(path);
    DeleteFileW(name.c_str());  // a symbolic link is deleted itself, not its target
    // CREATE_NEW fails on anything still there, a link included; the new file is opened as
    // itself, never through a reparse point.
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                 nullptr) != FALSE &&
                       written == bytes.size();
    const bool closed = CloseHandle(file) != FALSE;
    if (!whole || !closed) {
        DeleteFileW(name.c_str());
        return false;
    }
    return true;
}

}  // namespace rheo
