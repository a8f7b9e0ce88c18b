#include "trend/Statistics.h"

#include <algorithm>
#include <cmath>

namespace rheo {

void Statistics::Add(double value, std::uint8_t decimals) {
    if (count_ == 0) {
        min_ = max_ = value;
    } else {
        min_ = std::min(min_, value);
        max_ = std::max(max_, value);
    }
    ++count_;
    const double delta = value - mean_;
    mean_ += delta / static_cast<double>(count_);
    squares_ += delta * (value - mean_);
    decimals_ = std::max(decimals_, decimals);
}

std::optional<double> Statistics::StandardDeviation() const {
    if (count_ < 2) {
        return std::nullopt;
    }
    return std::sqrt(std::max(0.0, squares_) / static_cast<double>(count_ - 1));
}

std::optional<double> Statistics::VariationPercent() const {
    const auto sd = StandardDeviation();
    if (!sd || mean_ == 0.0) {
        return std::nullopt;
    }
    return *sd / std::fabs(mean_) * 100.0;
}

}  // namespace rheo
