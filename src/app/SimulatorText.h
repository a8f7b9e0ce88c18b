#pragma once
#include <array>
#include <optional>
#include <string_view>

#include "vocabulary/Text.h"

namespace rheo {

// The speeds the instrument simulator offers, in revolutions per minute, as the list shows them.
inline constexpr std::array<std::string_view, 19> kSimulatorSpeeds = {
    "0.3", "0.5", "0.6", "1",  "1.5", "2",  "2.5", "3",   "4",  "5",
    "6",   "10",  "12",  "20", "30",  "50", "60",  "100", "200"};

// One fake measurement as the instrument prints it: three lines, each ended by a single
// carriage return. Only the time of day and the speed vary; the speed text is used unchanged.
Text SimulatorText(const Text& timeOfDay, const Text& speed);

// The speed written with "." as the decimal point, whatever the user's locale; nothing when the
// text is not a positive number.
std::optional<double> ParseSpeed(std::string_view text);

// The time of one spindle revolution at the speed, in whole milliseconds (ties to even).
int SimulatorPeriodMs(double rpm);

}  // namespace rheo
