#include "ComPortName.h"

#include <charconv>
#include <system_error>

namespace rheo::logger {

int ComPortNumber(std::string_view device) {
    if (device.starts_with("\\\\.\\")) {
        device.remove_prefix(4);
    }
    if (device.size() < 4 || (device[0] | 0x20) != 'c' || (device[1] | 0x20) != 'o' ||
        (device[2] | 0x20) != 'm' || device[3] == '0') {
        return 0;
    }
    device.remove_prefix(3);
    int number = 0;
    const char* end = device.data() + device.size();
    const auto [last, fault] = std::from_chars(device.data(), end, number);
    return fault == std::errc() && last == end && number >= 1 && number <= 255 ? number : 0;
}

}  // namespace rheo::logger
