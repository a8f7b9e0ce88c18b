#pragma once
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "trend/ChunkedColumn.h"
#include "trend/PlotValue.h"
#include "trend/Statistics.h"
#include "vocabulary/Configuration.h"
#include "vocabulary/RecordingObserver.h"

namespace rheo {

// The three curves of the trend.
enum class TrendSeries : std::uint8_t { Viscosity = 0, Temperature = 1, Torque = 2 };
inline constexpr std::size_t kTrendSeriesCount = 3;

// Torque below or above this range (percent) makes a rotational viscometer's reading inaccurate.
inline constexpr double kLowestAccurateTorque = 10.0;
inline constexpr double kHighestAccurateTorque = 100.0;

// A run of readings measured in the same units whose values have the same decimals; a change
// of either unit, or of the decimals a series is sent with, starts the next one.
struct TrendSegment {
    std::size_t first = 0;                   // index of its first reading
    Text temperatureUnit;                    // "C", "F" or empty
    Text viscosityUnit;                      // "cP", "mPas" or empty
    std::array<std::uint8_t, 3> decimals{};  // of viscosity, temperature, torque
};

// The operator's viscosity limits; each optional.
struct TrendLimits {
    std::optional<double> low;
    std::optional<double> high;
    bool operator==(const TrendLimits&) const = default;
};

// What the statistics table shows for a stretch of readings.
struct TrendSummary {
    // Of the readings with a value in the unit now shown (the newest reading's).
    std::array<Statistics, kTrendSeriesCount> series;
    // Readings with a value in another unit, left out of `series`, and that unit.
    std::array<std::size_t, kTrendSeriesCount> leftOut{};
    std::array<Text, kTrendSeriesCount> leftOutUnit;
    std::size_t outsideLimits = 0;       // viscosities (in the unit shown) outside the limits
    std::size_t outsideTorqueRange = 0;  // readings whose torque is outside 10-100 %
};

// Every reading recorded since the latest of program start, a new or opened session and Clear,
// held compactly for the trend whether or not its window is open (13 bytes a reading): the time
// of recording in hundredths of a second from the first reading, the three values as the
// instrument's digits (their decimals are the segment's), and which of them are numbers (a value
// with an error, an empty one or an error word is a gap).
class TrendStore : public RecordingObserver {
  public:
    explicit TrendStore(const Configuration& configuration) : configuration_(configuration) {}

    void ReadingRecorded(const RecordedReading& recorded) override;
    // A new or opened session starts the trend anew.
    void SessionStarted(std::string_view path) override;
    // Forgets every reading; the units already announced stay as they are.
    void Clear();

    std::size_t Size() const { return time_.Size(); }
    // Changes at every Clear, so that a window drawing the readings knows to start over.
    std::uint64_t Generation() const { return generation_; }

    // The time of recording in seconds since 1970 (as the plots' time axis counts).
    double TimeSeconds(std::size_t i) const;
    std::optional<PlotValue> Value(TrendSeries series, std::size_t i) const;
    bool OutsideTorqueRange(std::size_t i) const;
    const std::vector<TrendSegment>& Segments() const { return segments_; }
    // The unit of a series in the newest reading ("" for the torque and before any unit).
    Text CurrentUnit(TrendSeries series) const;
    // The first reading recorded at or after `seconds` (readings are in order of recording).
    std::size_t FirstAtOrAfter(double seconds) const;

    // The statistics of readings first to last - 1.
    TrendSummary Summarise(std::size_t first, std::size_t last, const TrendLimits& limits) const;
    // Adds readings first to last - 1 to `summary`, counting as shown the units given (as
    // CurrentUnit gives them), so that a summary of all the readings grows with them.
    void SummariseInto(TrendSummary& summary, std::size_t first, std::size_t last,
                       const TrendLimits& limits, const Text& shownTemperature,
                       const Text& shownViscosity) const;

    // Memory the readings take, for the benchmarks.
    std::size_t BytesHeld() const;

  private:
    static constexpr std::uint8_t kValid = 1;  // a bit per series
    std::size_t SegmentOf(std::size_t i) const;
    std::optional<PlotValue> ValueIn(const TrendSegment& segment, TrendSeries series,
                                     std::size_t i) const;

    const Configuration& configuration_;
    std::uint64_t generation_ = 0;
    std::int64_t originMs_ = 0;         // the first reading's time, in ms since 1970
    ChunkedColumn<std::int32_t> time_;  // hundredths of a second after originMs_
    ChunkedColumn<std::int32_t> viscosity_;
    ChunkedColumn<std::int16_t> temperature_;
    ChunkedColumn<std::int16_t> torque_;
    ChunkedColumn<std::uint8_t> flags_;  // bits 0-2: the series' value is a number
    std::vector<TrendSegment> segments_;
};

}  // namespace rheo
