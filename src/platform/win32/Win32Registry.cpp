#include "platform/win32/Win32Registry.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace rheo {
namespace {

// The predefined roots are sign-extended 32-bit values in a 64-bit process
// (HKEY_LOCAL_MACHINE is 0xFFFFFFFF80000002 there). A root given by its 32-bit value
// (0x80000002) is widened the same way, so that both spellings name the same root.
HKEY ToHkey(RegKey key) {
    if (key >= 0x80000000u && key <= 0x800000FFu) {
        const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(key));
        return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(value));
    }
    return reinterpret_cast<HKEY>(key);
}

RegKey FromHkey(HKEY key) {
    return reinterpret_cast<RegKey>(key);
}

}  // namespace

long Win32Registry::OpenKey(RegKey root, const std::string& path, std::uint32_t access,
                            RegKey& key) {
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(ToHkey(root), path.c_str(), 0, access, &opened);
    key = status == ERROR_SUCCESS ? FromHkey(opened) : 0;
    return status;
}

long Win32Registry::CreateKey(RegKey root, const std::string& path, RegKey& key) {
    HKEY created = nullptr;
    const LONG status = RegCreateKeyA(ToHkey(root), path.c_str(), &created);
    key = status == ERROR_SUCCESS ? FromHkey(created) : 0;
    return status;
}

long Win32Registry::SetValue(RegKey key, const std::string& name, std::uint32_t type,
                             const std::uint8_t* data, std::uint32_t length) {
    return RegSetValueExA(ToHkey(key), name.c_str(), 0, type, data, length);
}

long Win32Registry::QueryValue(RegKey key, const std::string& name, std::uint32_t* type,
                               std::uint8_t* data, std::uint32_t* length) {
    DWORD valueType = 0;
    DWORD valueLength = length != nullptr ? *length : 0;
    const LONG status = RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType, data,
                                         length != nullptr ? &valueLength : nullptr);
    if (type != nullptr) {
        *type = valueType;
    }
    if (length != nullptr) {
        *length = valueLength;
    }
    return status;
}

long Win32Registry::CloseKey(RegKey key) {
    return RegCloseKey(ToHkey(key));
}

}  // namespace rheo
