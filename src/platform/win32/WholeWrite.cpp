#include "platform/WholeWrite.h"

#include <algorithm>

#include "platform/win32/DiskFile.h"

namespace rheo {

bool WriteWholeOrTakeBack(std::intptr_t handle, const std::string& path, std::string_view bytes) {
    const HANDLE file = reinterpret_cast<HANDLE>(handle);
    LARGE_INTEGER before;
    if (!GetFileSizeEx(file, &before)) {
        return false;
    }
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            CutFile(file, path, before.QuadPart);
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace rheo
