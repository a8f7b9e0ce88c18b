#pragma once
#include "platform/Registry.h"

namespace rheo {

// The registry of the running Windows system, through the ANSI advapi32 calls. A RegKey is an
// HKEY; the predefined roots may also be given by their 32-bit values (0x80000002 for
// HKEY_LOCAL_MACHINE), as the settings store passes them.
class Win32Registry : public Registry {
  public:
    long OpenKey(RegKey root, const std::string& path, std::uint32_t access, RegKey& key) override;
    long CreateKey(RegKey root, const std::string& path, RegKey& key) override;
    long SetValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t length) override;
    long QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* length) override;
    long CloseKey(RegKey key) override;
};

}  // namespace rheo
