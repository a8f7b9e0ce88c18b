#pragma once
#include <cstdint>
#include <string>

namespace rheo {

// The five registry operations the settings store needs, in the shape of the ANSI advapi32 calls.
// Status codes are the system's (0 is success).
using RegKey = std::uintptr_t;
inline constexpr RegKey kHkeyLocalMachine = 0x80000002u;
inline constexpr std::uint32_t kKeyAccess = 0x3F;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorMoreData = 234;

class Registry {
  public:
    virtual ~Registry() = default;
    virtual long OpenKey(RegKey root, const std::string& path, std::uint32_t access,
                         RegKey& key) = 0;
    virtual long CreateKey(RegKey root, const std::string& path, RegKey& key) = 0;
    virtual long SetValue(RegKey key, const std::string& name, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t length) = 0;
    // data may be null to ask only for the type and the length.
    virtual long QueryValue(RegKey key, const std::string& name, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* length) = 0;
    virtual long CloseKey(RegKey key) = 0;
};

}  // namespace rheo
