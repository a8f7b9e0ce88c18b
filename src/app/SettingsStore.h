#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <variant>

#include "platform/Registry.h"

namespace rheo {

// A value read from or written to the store: nothing, text, or a 32-bit number.
using SettingValue = std::variant<std::monostate, std::string, std::int32_t>;

inline constexpr const char* kSettingsKeyPath = "Software\\Kavrel\\Quelmar";
inline constexpr const char* kPortValueName = "Puerto";

// The four store routines: two on a key path, two on a key that is already open.
void WriteSetting(Registry& registry, RegKey root, const std::string& path, const std::string& name,
                  const SettingValue& value, std::uint32_t type);
long SetSettingValue(Registry& registry, RegKey key, const std::string& name, std::uint32_t type,
                     const SettingValue& value);
SettingValue ReadSetting(Registry& registry, RegKey root, const std::string& path,
                         const std::string& name);
long QuerySettingValue(Registry& registry, RegKey key, const std::string& name,
                       SettingValue& value);

// Stores the port as the 32-bit "Puerto", creating the key when missing. Silent on failure.
void StorePort(Registry& registry, int port);

// The stored port as start-up uses it: 0 when absent, empty or 0 (open nothing); the number
// for 1 to 255; 0 as well for text that is not a number or a number outside 0 to 255, since
// such a value names no port.
int StoredPort(Registry& registry);

// What the port selection is given instead of the store: StorePort on this store.
std::function<void(int port)> PortStore(Registry& registry);

}  // namespace rheo
