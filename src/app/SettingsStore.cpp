#include "app/SettingsStore.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

namespace rheo {

long SetSettingValue(Registry& registry, RegKey key, const std::string& name, std::uint32_t type,
                     const SettingValue& value) {
    if (type == kRegSz) {
        std::string text;
        if (const auto* s = std::get_if<std::string>(&value)) {
            text = *s;
        } else if (const auto* n = std::get_if<std::int32_t>(&value)) {
            text = std::to_string(*n);
        }
        // The data length is the number of characters: no terminating zero is written.
        return registry.SetValue(key, name, kRegSz,
                                 reinterpret_cast<const std::uint8_t*>(text.data()),
                                 static_cast<std::uint32_t>(text.size()));
    }
    if (type == kRegDword) {
        std::int32_t number = 0;
        if (const auto* n = std::get_if<std::int32_t>(&value)) {
            number = *n;
        } else if (const auto* s = std::get_if<std::string>(&value)) {
            std::from_chars(s->data(), s->data() + s->size(), number);
        }
        const auto bits = static_cast<std::uint32_t>(number);
        const std::uint8_t data[4] = {static_cast<std::uint8_t>(bits & 0xFF),
                                      static_cast<std::uint8_t>((bits >> 8) & 0xFF),
                                      static_cast<std::uint8_t>((bits >> 16) & 0xFF),
                                      static_cast<std::uint8_t>((bits >> 24) & 0xFF)};
        return registry.SetValue(key, name, kRegDword, data, 4);
    }
    return 0;  // other types are not handled: nothing is written
}

long QuerySettingValue(Registry& registry, RegKey key, const std::string& name,
                       SettingValue& value) {
    std::uint32_t type = 0;
    std::uint32_t length = 0;
    long status = registry.QueryValue(key, name, &type, nullptr, &length);
    if (status != 0) {
        return status;
    }
    if (type == kRegSz) {
        std::vector<std::uint8_t> buffer(length, 0);
        status = registry.QueryValue(key, name, &type, buffer.empty() ? nullptr : buffer.data(),
                                     &length);
        if (status == 0) {
            // The terminating zero that editors store is dropped. A text stored without one
            // (as SetSettingValue writes it) keeps its last character.
            std::size_t kept = std::min<std::size_t>(length, buffer.size());
            if (kept > 0 && buffer[kept - 1] == 0) {
                --kept;
            }
            value = std::string(reinterpret_cast<const char*>(buffer.data()), kept);
            if (kept == 0) {
                value = std::monostate{};
            }
        } else {
            value = std::monostate{};
        }
        return status;
    }
    if (type == kRegDword) {
        std::uint8_t data[4] = {0, 0, 0, 0};
        length = 4;
        status = registry.QueryValue(key, name, &type, data, &length);
        if (status == 0) {
            const std::uint32_t bits = data[0] | (data[1] << 8) | (data[2] << 16) |
                                       (static_cast<std::uint32_t>(data[3]) << 24);
            value = static_cast<std::int32_t>(bits);
        }
        return status;
    }
    return -1;
}

void WriteSetting(Registry& registry, RegKey root, const std::string& path, const std::string& name,
                  const SettingValue& value, std::uint32_t type) {
    RegKey key = 0;
    registry.OpenKey(root, path, kKeyAccess, key);  // a missing key leaves 0: the write fails
    SetSettingValue(registry, key, name, type, value);
    registry.CloseKey(key);
}

SettingValue ReadSetting(Registry& registry, RegKey root, const std::string& path,
                         const std::string& name) {
    RegKey key = 0;
    registry.OpenKey(root, path, kKeyAccess, key);
    SettingValue value;
    QuerySettingValue(registry, key, name, value);
    registry.CloseKey(key);
    return value;
}

void StorePort(Registry& registry, int port) {
    RegKey key = 0;
    if (registry.CreateKey(kHkeyLocalMachine, kSettingsKeyPath, key) == 0) {
        registry.CloseKey(key);
    }
    WriteSetting(registry, kHkeyLocalMachine, kSettingsKeyPath, kPortValueName,
                 static_cast<std::int32_t>(port), kRegDword);
}

int StoredPort(Registry& registry) {
    const SettingValue value =
        ReadSetting(registry, kHkeyLocalMachine, kSettingsKeyPath, kPortValueName);
    long number = 0;
    if (const auto* n = std::get_if<std::int32_t>(&value)) {
        number = *n;
    } else if (const auto* s = std::get_if<std::string>(&value)) {
        if (s->empty()) {
            return 0;
        }
        const char* end = s->data() + s->size();
        auto [last, error] = std::from_chars(s->data(), end, number);
        if (error != std::errc() || last != end) {
            return 0;  // not a number: no port
        }
    }
    return (number >= 1 && number <= 255) ? static_cast<int>(number) : 0;
}

std::function<void(int port)> PortStore(Registry& registry) {
    return [&registry](int port) { StorePort(registry, port); };
}

}  // namespace rheo
