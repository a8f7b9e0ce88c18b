#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace rheo {

// A reading's value as a number for the trend only: the digits the instrument sent as an
// integer with the count of decimals after the separator, so that nothing is rounded. The files
// and the list keep the text.
struct PlotValue {
    std::int32_t mantissa = 0;
    std::uint8_t decimals = 0;

    double Value() const;
    bool operator==(const PlotValue&) const = default;
};

// The most decimals a value may have; a value with more is no number for the trend.
inline constexpr std::uint8_t kMaxPlotDecimals = 7;

// The number in `text`: digits with at most one decimal separator, which may be the configured
// one or a point. Nothing for an empty text, an error word ("Lw", "Hih", "---", "LOW", "HIGH",
// "ERROR", "Out of Range"), any other character, or more digits than the trend holds.
std::optional<PlotValue> ParsePlotValue(std::string_view text, std::string_view decimalSeparator);

// The number of a field whose error field may be set: nothing while the error field holds
// anything, since the value beside an error is a stand-in (empty or "0"), never a measurement.
std::optional<PlotValue> ParseMeasuredValue(std::string_view text, std::string_view errorText,
                                            std::string_view decimalSeparator);

}  // namespace rheo
