#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>

namespace rheo {

// The statistics of one series of values, gathered one value at a time (Welford's method, so
// that a long series of nearly equal values keeps its spread): count, extremes, mean, sample
// standard deviation (n - 1) and coefficient of variation. It also keeps the most decimals a
// value had, with which the figures are shown.
class Statistics {
  public:
    void Add(double value, std::uint8_t decimals);

    std::size_t Count() const { return count_; }
    double Min() const { return min_; }
    double Max() const { return max_; }
    double Mean() const { return mean_; }
    std::uint8_t Decimals() const { return decimals_; }
    // Nothing below two values.
    std::optional<double> StandardDeviation() const;
    // SD / mean x 100; nothing below two values or with a mean of zero.
    std::optional<double> VariationPercent() const;

  private:
    std::size_t count_ = 0;
    double min_ = 0.0;
    double max_ = 0.0;
    double mean_ = 0.0;
    double squares_ = 0.0;  // sum of squared differences from the mean
    std::uint8_t decimals_ = 0;
};

}  // namespace rheo
