#include "platform/RegularFile.h"

#include <algorithm>

#include "platform/WholeWrite.h"
#include "platform/win32/DiskFile.h"

namespace rheo {

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes) {
    const HANDLE file =
        CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::string bytes(maxBytes, '\0');
    std::size_t size = 0;
    bool ok = GetFileType(file) == FILE_TYPE_DISK;  // not a pipe, a console or a device
    for (DWORD n = 1; ok && n != 0 && size < maxBytes;) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(maxBytes - size, 1u << 30));
        ok = ReadFile(file, bytes.data() + size, chunk, &n, nullptr);
        size += n;
    }
    CloseHandle(file);
    if (!ok) {
        return std::nullopt;
    }
    bytes.resize(size);
    return bytes;
}

bool AppendToRegularFile(const std::string& path, std::string_view bytes) {
    const HANDLE file = OpenDiskFileForAppending(path);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool written = WriteWholeOrTakeBack(reinterpret_cast<std::intptr_t>(file), path, bytes);
    return CloseHandle(file) && written;
}

}  // namespace rheo
