#include "trend/StatisticsTable.h"

#include <cstdio>

namespace rheo {

namespace {

Text Number(double value, int decimals, std::string_view separator) {
    std::array<char, 64> buffer{};
    const int length = std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals, value);
    Text text(buffer.data(), static_cast<std::size_t>(length > 0 ? length : 0));
    if (const auto point = text.find('.'); point != Text::npos) {
        text.replace(point, 1, separator);
    }
    return text;
}

Text Optional(const std::optional<double>& value, int decimals, std::string_view separator) {
    return value ? Number(*value, decimals, separator) : Text{};
}

}  // namespace

StatisticsCells StatisticsTexts(const TrendSummary& summary, std::string_view decimalSeparator) {
    StatisticsCells cells;
    for (std::size_t s = 0; s < kTrendSeriesCount; ++s) {
        const Statistics& series = summary.series[s];
        auto& row = cells[s];
        row[0] = std::to_string(series.Count());
        if (series.Count() == 0) {
            continue;
        }
        const int decimals = series.Decimals();
        row[1] = Number(series.Min(), decimals, decimalSeparator);
        row[2] = Number(series.Max(), decimals, decimalSeparator);
        row[3] = Number(series.Mean(), decimals + 1, decimalSeparator);
        row[4] = Optional(series.StandardDeviation(), decimals + 1, decimalSeparator);
        row[5] = Optional(series.VariationPercent(), decimals + 1, decimalSeparator);
    }
    return cells;
}

Text StatisticsTsv(const StatisticsCells& cells) {
    Text text;
    for (const char* title : kStatisticsHeader) {
        text += '\t';
        text += title;
    }
    text += '\n';
    for (std::size_t s = 0; s < kTrendSeriesCount; ++s) {
        text += kStatisticsRows[s];
        for (const Text& cell : cells[s]) {
            text += '\t';
            text += cell;
        }
        text += '\n';
    }
    return text;
}

}  // namespace rheo
