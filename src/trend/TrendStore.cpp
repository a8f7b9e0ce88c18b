#include "trend/TrendStore.h"

#include <algorithm>
#include <limits>

namespace rheo {

namespace {

constexpr std::size_t Index(TrendSeries series) {
    return static_cast<std::size_t>(series);
}

// A value as its column holds it: the mantissa when it fits the column, else no number.
template <typename T>
std::optional<PlotValue> Fitting(std::optional<PlotValue> value) {
    if (value && value->mantissa > std::numeric_limits<T>::max()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

void TrendStore::ReadingRecorded(const RecordedReading& recorded) {
    const Text& separator = configuration_.DecimalSeparator;
    const Reading& reading = recorded.reading;
    const std::array<std::optional<PlotValue>, kTrendSeriesCount> values = {
        ParseMeasuredValue(reading.Viscosity, reading.ViscosityError, separator),
        Fitting<std::int16_t>(
            ParseMeasuredValue(reading.Temperature, reading.TemperatureError, separator)),
        Fitting<std::int16_t>(ParsePlotValue(reading.Torque, separator))};

    const std::int64_t ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(recorded.recorded.time_since_epoch())
            .count();
    if (Size() == 0) {
        originMs_ = ms;
    }
    // Hundredths of a second keep 248 days either side of the first reading.
    const std::int64_t hundredths =
        std::clamp<std::int64_t>((ms - originMs_) / 10, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max());

    if (segments_.empty() || segments_.back().temperatureUnit != recorded.temperatureUnit ||
        segments_.back().viscosityUnit != recorded.viscosityUnit) {
        segments_.push_back({Size(), recorded.temperatureUnit, recorded.viscosityUnit});
    }

    std::uint16_t flags = 0;
    for (std::size_t s = 0; s < kTrendSeriesCount; ++s) {
        if (values[s]) {
            flags |= static_cast<std::uint16_t>(kValid << s);
            flags |= static_cast<std::uint16_t>(values[s]->decimals << (3 + 3 * s));
        }
    }
    time_.PushBack(static_cast<std::int32_t>(hundredths));
    viscosity_.PushBack(values[0] ? values[0]->mantissa : 0);
    temperature_.PushBack(static_cast<std::int16_t>(values[1] ? values[1]->mantissa : 0));
    torque_.PushBack(static_cast<std::int16_t>(values[2] ? values[2]->mantissa : 0));
    flags_.PushBack(flags);
}

void TrendStore::SessionStarted(std::string_view path) {
    static_cast<void>(path);
    Clear();
}

void TrendStore::Clear() {
    time_.Clear();
    viscosity_.Clear();
    temperature_.Clear();
    torque_.Clear();
    flags_.Clear();
    segments_.clear();
    ++generation_;
}

double TrendStore::TimeSeconds(std::size_t i) const {
    return static_cast<double>(originMs_) / 1000.0 + static_cast<double>(time_[i]) / 100.0;
}

std::optional<PlotValue> TrendStore::Value(TrendSeries series, std::size_t i) const {
    const std::size_t s = Index(series);
    const std::uint16_t flags = flags_[i];
    if ((flags & (kValid << s)) == 0) {
        return std::nullopt;
    }
    const auto decimals = static_cast<std::uint8_t>((flags >> (3 + 3 * s)) & 7);
    switch (series) {
        case TrendSeries::Viscosity:
            return PlotValue{viscosity_[i], decimals};
        case TrendSeries::Temperature:
            return PlotValue{temperature_[i], decimals};
        case TrendSeries::Torque:
            return PlotValue{torque_[i], decimals};
    }
    return std::nullopt;
}

bool TrendStore::OutsideTorqueRange(std::size_t i) const {
    const auto torque = Value(TrendSeries::Torque, i);
    return torque &&
           (torque->Value() < kLowestAccurateTorque || torque->Value() > kHighestAccurateTorque);
}

Text TrendStore::CurrentUnit(TrendSeries series) const {
    if (segments_.empty()) {
        return {};
    }
    switch (series) {
        case TrendSeries::Viscosity:
            return segments_.back().viscosityUnit;
        case TrendSeries::Temperature:
            return segments_.back().temperatureUnit;
        case TrendSeries::Torque:
            break;
    }
    return {};
}

std::size_t TrendStore::FirstAtOrAfter(double seconds) const {
    std::size_t low = 0;
    std::size_t high = Size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (TimeSeconds(middle) < seconds) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

TrendSummary TrendStore::Summarise(std::size_t first, std::size_t last,
                                   const TrendLimits& limits) const {
    TrendSummary summary;
    last = std::min(last, Size());
    const Text shownTemperature = CurrentUnit(TrendSeries::Temperature);
    const Text shownViscosity = CurrentUnit(TrendSeries::Viscosity);
    for (std::size_t k = 0; k < segments_.size() && first < last; ++k) {
        const std::size_t end = k + 1 < segments_.size() ? segments_[k + 1].first : Size();
        if (end <= first) {
            continue;
        }
        const TrendSegment& segment = segments_[k];
        const std::array<bool, kTrendSeriesCount> shown = {
            segment.viscosityUnit == shownViscosity, segment.temperatureUnit == shownTemperature,
            true};
        const std::array<const Text*, kTrendSeriesCount> units = {
            &segment.viscosityUnit, &segment.temperatureUnit, nullptr};
        const std::size_t stop = std::min(end, last);
        for (std::size_t i = first; i < stop; ++i) {
            for (std::size_t s = 0; s < kTrendSeriesCount; ++s) {
                const auto value = Value(static_cast<TrendSeries>(s), i);
                if (!value) {
                    continue;
                }
                if (!shown[s]) {
                    ++summary.leftOut[s];
                    summary.leftOutUnit[s] = *units[s];
                    continue;
                }
                const double number = value->Value();
                summary.series[s].Add(number, value->decimals);
                if (s == 0 && ((limits.low && number < *limits.low) ||
                               (limits.high && number > *limits.high))) {
                    ++summary.outsideLimits;
                }
            }
            if (OutsideTorqueRange(i)) {
                ++summary.outsideTorqueRange;
            }
        }
        first = stop;
    }
    return summary;
}

std::size_t TrendStore::BytesHeld() const {
    return sizeof(*this) + time_.BytesHeld() + viscosity_.BytesHeld() + temperature_.BytesHeld() +
           torque_.BytesHeld() + flags_.BytesHeld() + segments_.capacity() * sizeof(TrendSegment);
}

}  // namespace rheo
