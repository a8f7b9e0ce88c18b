#pragma once
#include <array>
#include <string_view>

#include "trend/TrendStore.h"
#include "vocabulary/Text.h"

namespace rheo {

// The statistics table's texts: rows "Viscosity", "Temperature", "Torque", columns "n", "Min",
// "Max", "Mean", "SD", "CV %". Min and Max have the decimals the instrument sent, Mean, SD and
// CV one more; a figure that does not exist (no value, SD and CV of one value, CV of a zero mean)
// is an empty cell. Numbers carry the configured decimal separator.
inline constexpr std::size_t kStatisticsColumns = 6;
inline constexpr std::array<const char*, kStatisticsColumns> kStatisticsHeader = {
    "n", "Min", "Max", "Mean", "SD", "CV %"};
inline constexpr std::array<const char*, kTrendSeriesCount> kStatisticsRows = {
    "Viscosity", "Temperature", "Torque"};

using StatisticsCells = std::array<std::array<Text, kStatisticsColumns>, kTrendSeriesCount>;

StatisticsCells StatisticsTexts(const TrendSummary& summary, std::string_view decimalSeparator);

// The table as tab-separated text with its header row (its first cell empty), one line each,
// ready to paste into a spreadsheet.
Text StatisticsTsv(const StatisticsCells& cells);

}  // namespace rheo
