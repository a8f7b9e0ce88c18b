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

    // The decimals of a value that is no number do not matter: they stay the segment's.
    std::array<std::uint8_t, kTrendSeriesCount> decimals{};
    if (!segments_.empty()) {
        decimals = segments_.back().decimals;
    }
    std::uint8_t flags = 0;
    for (std::size_t s = 0; s < kTrendSeriesCount; ++s) {
        if (values[s]) {
            flags |= static_cast<std::uint8_t>(kValid << s);
            decimals[s] = values[s]->decimals;
        }
    }
    if (segments_.empty() || segments_.back().temperatureUnit != recorded.temperatureUnit ||
        segments_.back().viscosityUnit != recorded.viscosityUnit ||
        segments_.back().decimals != decimals) {
        segments_.push_back({Size(), recorded.temperatureUnit, recorded.viscosityUnit, decimals});
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

std::size_t TrendStore::SegmentOf(std::size_t i) const {
    const auto after = std::upper_bound(
        segments_.begin(), segments_.end(), i,
        [](std::size_t index, const TrendSegment& segment) { return index < segment.first; });
    return static_cast<std::size_t>(after - segments_.begin()) - 1;
}

std::optional<PlotValue> TrendStore::Value(TrendSeries series, std::size_t i) const {
    // Nearly always the newest segment; else found by halving.
    return ValueIn(segments_[segments_.back().first <= i ? segments_.size() - 1 : SegmentOf(i)],
                   series, i);
}

std::optional<PlotValue> TrendStore::ValueIn(const TrendSegment& segment, TrendSeries series,
                                             std::size_t i) const {
    const std::size_t s = Index(series);
    if ((flags_[i] & (kValid << s)) == 0) {
        return std::nullopt;
    }
    const std::uint8_t decimals = segment.decimals[s];
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
    SummariseInto(summary, first, last, limits, CurrentUnit(TrendSeries::Temperature),
                  CurrentUnit(TrendSeries::Viscosity));
    return summary;
}

void TrendStore::SummariseInto(TrendSummary& summary, std::size_t first, std::size_t last,
                               const TrendLimits& limits, const Text& shownTemperature,
                               const Text& shownViscosity) const {
    last = std::min(last, Size());
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
                const auto value = ValueIn(segment, static_cast<TrendSeries>(s), i);
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
}

std::size_t TrendStore::BytesHeld() const {
    return sizeof(*this) + time_.BytesHeld() + viscosity_.BytesHeld() + temperature_.BytesHeld() +
           torque_.BytesHeld() + flags_.BytesHeld() + segments_.capacity() * sizeof(TrendSegment);
}

}  // namespace rheo
