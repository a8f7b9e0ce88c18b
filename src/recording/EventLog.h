#pragma once
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "vocabulary/EventLogger.h"
#include "vocabulary/Text.h"

namespace rheo {

inline constexpr const char* kEventLogFileName = "vlog.txt";

// The line for one event, without its CR LF: "<date> <time> <kind's text><text>".
Text EventLine(EventKind kind, const Text& text, const Clock& clock);

// Appends one line per event to the log file, opening and closing the file each time so that
// other programs may read it between events. Without a file the lines are discarded.
// A log that cannot be written costs one line on stderr and nothing else.
class EventLog : public EventLogger {
  public:
    EventLog(std::optional<std::string> file, const Clock& clock)
        : file_(std::move(file)), clock_(clock) {}
    void LogEvent(EventKind kind, const Text& text) override;
    const std::optional<std::string>& File() const { return file_; }
    void SetFile(std::optional<std::string> file) { file_ = std::move(file); }

  private:
    std::optional<std::string> file_;
    const Clock& clock_;
};

}  // namespace rheo
