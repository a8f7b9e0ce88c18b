#pragma once
#include <optional>
#include <string_view>

#include "vocabulary/Configuration.h"
#include "vocabulary/Text.h"

namespace rheo {

// Today's date and the time of day as the user writes them (short date format, time with
// seconds). The engine never formats dates itself. The local day is also given as
// "YYYY-MM-DD", for names of files that must sort by day whatever the user's format.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual Text DateText() const = 0;
    virtual Text TimeText() const = 0;
    virtual Text IsoDateText() const = 0;
};

// Fixed texts, for reproducible output (the replay tool's --date/--time, tests).
class FixedClock : public Clock {
  public:
    FixedClock(Text date, Text time, Text isoDate = "1970-01-01")
        : date_(std::move(date)), time_(std::move(time)), isoDate_(std::move(isoDate)) {}
    Text DateText() const override { return date_; }
    Text TimeText() const override { return time_; }
    Text IsoDateText() const override { return isoDate_; }
    void Set(Text date, Text time) {
        date_ = std::move(date);
        time_ = std::move(time);
    }
    void SetIsoDate(Text isoDate) { isoDate_ = std::move(isoDate); }

  private:
    Text date_;
    Text time_;
    Text isoDate_;
};

// The configuration of a clock that is given none: the default field separator.
inline const Configuration kDefaultClockConfiguration{};

// One moment as text: in the user's format (none when that format gave nothing, or a character
// outside Windows-1252), and in the ISO 8601 extended ("2026-12-07", "14:05:40") and basic
// ("20261207", "140540") forms.
struct ClockTexts {
    std::optional<Text> user;
    Text extended;
    Text basic;

    // Whether the text keeps a session-file row and an event-log line whole: no carriage return
    // or line feed, and none of the separator's characters, so that it can hold neither the
    // separator nor the start of one that the separator following it would complete.
    static bool KeepsRowWhole(std::string_view text, std::string_view separator) {
        return text.find_first_of("\r\n") == std::string_view::npos &&
               text.find_first_of(separator) == std::string_view::npos;
    }

    // The user's text where it keeps the row whole; otherwise the extended form, or the basic
    // one where the separator is "-" or ":".
    const Text& For(std::string_view separator) const {
        if (user && KeepsRowWhole(*user, separator)) {
            return *user;
        }
        return KeepsRowWhole(extended, separator) ? extended : basic;
    }
};

// The user's clock: implemented once per operating system and shared by the program and the tools.
// Its texts are the user's short date format and time format, except where such a text would
// break a row of the session file or a line of the event log: then the ISO forms (ClockTexts).
// The field separator is read from the configuration at every call, so the program's clock,
// made before vcfg.txt is read, keeps to the separator read from it.
class SystemClock : public Clock {
  public:
    explicit SystemClock(const Configuration& configuration = kDefaultClockConfiguration)
        : configuration_(configuration) {}
    Text DateText() const override;
    Text TimeText() const override;
    Text IsoDateText() const override;

  private:
    const Configuration& configuration_;
};

// A clock whose date and time each fall back to the system clock unless fixed. Fixed texts are
// used as given; the local day is always the system's.
class OverridableClock : public Clock {
  public:
    OverridableClock(std::optional<Text> date, std::optional<Text> time,
                     const Configuration& configuration = kDefaultClockConfiguration)
        : system_(configuration), date_(std::move(date)), time_(std::move(time)) {}
    Text DateText() const override { return date_ ? *date_ : system_.DateText(); }
    Text TimeText() const override { return time_ ? *time_ : system_.TimeText(); }
    Text IsoDateText() const override { return system_.IsoDateText(); }

  private:
    SystemClock system_;
    std::optional<Text> date_;
    std::optional<Text> time_;
};

}  // namespace rheo
