#include "app/SimulatorText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace rheo {

Text SimulatorText(const Text& timeOfDay, const Text& speed) {
    Text text;
    text.reserve(timeOfDay.size() + speed.size() + 64);
    text += timeOfDay;
    text += "   sp: LCP    rpm: ";
    text += speed;
    text += "   T: 27.5C\r";
    text += "cP: 00000000\r";
    text += " %: 10.2\r";
    return text;
}

std::optional<double> ParseSpeed(std::string_view text) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || last != end || !std::isfinite(value) ||
        value <= 0.0) {
        return std::nullopt;
    }
    return value;
}

int SimulatorPeriodMs(double rpm) {
    // nearbyint rounds in the current rounding mode, which is to nearest with ties to even.
    const double period = std::nearbyint(60000.0 / rpm);
    if (!(period < static_cast<double>(std::numeric_limits<int>::max()))) {
        return std::numeric_limits<int>::max();  // a speed too slow to time: the longest period
    }
    return period < 1.0 ? 1 : static_cast<int>(period);
}

}  // namespace rheo
