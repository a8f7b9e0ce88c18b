#pragma once
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "vocabulary/EventLogger.h"

namespace rheo::logger {

// What the logger tells on standard error, one line per event, for a terminal, journald or a
// log file alike: "rheotrack-logger: <instrument>: <text>", no colours, control characters as
// "?". Event-log entries go on to the event log and are told in the log's own words unless
// quiet; message boxes, which the window would show its operator, are told as errors always
// and answered as that operator would (OK).
class StderrReport : public MessageBoxes, public EventLogger {
  public:
    StderrReport(EventLogger& log, const Clock& clock, bool quiet)
        : log_(log), clock_(clock), quiet_(quiet) {}

    void SetInstrument(std::string instrument) { instrument_ = std::move(instrument); }
    // While held, message boxes are answered but not told (the caller tells the fault itself).
    void HoldBoxes(bool hold) { holdBoxes_ = hold; }

    MessageAnswer Show(const Text& text, const Text& title, MessageIcon icon,
                       MessageButtons buttons) override;
    void LogEvent(EventKind kind, const Text& text) override;

    // A line that is told unless quiet, and one that is always told.
    void Tell(std::string_view text);
    void Error(std::string_view text);

  private:
    void Line(std::string_view prefix, std::string_view text);

    EventLogger& log_;
    const Clock& clock_;
    bool quiet_;
    bool holdBoxes_ = false;
    std::string instrument_;
};

}  // namespace rheo::logger
