#pragma once
#include <optional>

#include "vocabulary/Text.h"

namespace rheo {

// Today's date and the time of day as the user writes them (short date format, time with
// seconds). The engine never formats dates itself.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual Text DateText() const = 0;
    virtual Text TimeText() const = 0;
};

// Fixed texts, for reproducible output (the replay tool's --date/--time, tests).
class FixedClock : public Clock {
  public:
    FixedClock(Text date, Text time) : date_(std::move(date)), time_(std::move(time)) {}
    Text DateText() const override { return date_; }
    Text TimeText() const override { return time_; }
    void Set(Text date, Text time) {
        date_ = std::move(date);
        time_ = std::move(time);
    }

  private:
    Text date_;
    Text time_;
};

// The user's clock: implemented once per operating system and shared by the program and the tools.
class SystemClock : public Clock {
  public:
    Text DateText() const override;
    Text TimeText() const override;
};

// A clock whose date and time each fall back to the system clock unless fixed.
class OverridableClock : public Clock {
  public:
    OverridableClock(std::optional<Text> date, std::optional<Text> time)
        : date_(std::move(date)), time_(std::move(time)) {}
    Text DateText() const override { return date_ ? *date_ : system_.DateText(); }
    Text TimeText() const override { return time_ ? *time_ : system_.TimeText(); }

  private:
    SystemClock system_;
    std::optional<Text> date_;
    std::optional<Text> time_;
};

}  // namespace rheo
