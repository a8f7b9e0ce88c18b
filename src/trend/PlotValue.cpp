#include "trend/PlotValue.h"

#include <array>
#include <limits>

namespace rheo {

namespace {

constexpr std::array<double, kMaxPlotDecimals + 1> kPowers = {1.0,   10.0,  100.0, 1000.0,
                                                              1.0e4, 1.0e5, 1.0e6, 1.0e7};

}  // namespace

double PlotValue::Value() const {
    return static_cast<double>(mantissa) / kPowers[decimals];
}

std::optional<PlotValue> ParsePlotValue(std::string_view text, std::string_view decimalSeparator) {
    std::int64_t mantissa = 0;
    int decimals = 0;
    bool digits = false;
    bool separator = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            mantissa = mantissa * 10 + (c - '0');
            if (mantissa > std::numeric_limits<std::int32_t>::max()) {
                return std::nullopt;
            }
            digits = true;
            if (separator && ++decimals > kMaxPlotDecimals) {
                return std::nullopt;
            }
            ++i;
            continue;
        }
        std::size_t length = 0;
        if (!decimalSeparator.empty() && text.substr(i).starts_with(decimalSeparator)) {
            length = decimalSeparator.size();
        } else if (c == '.') {
            length = 1;
        }
        if (length == 0 || separator) {
            return std::nullopt;
        }
        separator = true;
        i += length;
    }
    if (!digits) {
        return std::nullopt;
    }
    return PlotValue{static_cast<std::int32_t>(mantissa), static_cast<std::uint8_t>(decimals)};
}

std::optional<PlotValue> ParseMeasuredValue(std::string_view text, std::string_view errorText,
                                            std::string_view decimalSeparator) {
    if (!errorText.empty()) {
        return std::nullopt;
    }
    return ParsePlotValue(text, decimalSeparator);
}

}  // namespace rheo
