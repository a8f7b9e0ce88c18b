#pragma once
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "platform/Text.h"

namespace rheo {

enum class EventKind : int {
    ProcessStart = 0,
    ProcessEnd = 1,
    ViscosityFault = 2,
    TemperatureSensorFault = 3,
    TemperatureOverflow = 4,
    TemperatureUnderflow = 5,
    PortLost = 6,  // the device behind the open port went away; the text is the port number
    PortBack = 7,  // the lost port opened again by itself; the text is the port number
};

inline constexpr const char* kEventLogFileName = "vlog.txt";

class EventLogger {
  public:
    virtual ~EventLogger() = default;
    virtual void LogEvent(EventKind kind, const Text& text) = 0;
};

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
