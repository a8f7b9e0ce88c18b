#pragma once
#include "vocabulary/Text.h"

namespace rheo {

// The process events of the event log; the numbers are the kinds the log's readers know.
enum class EventKind : int {
    ProcessStart = 0,
    ProcessEnd = 1,
    ViscosityFault = 2,
    TemperatureSensorFault = 3,
    TemperatureOverflow = 4,
    TemperatureUnderflow = 5,
    PortLost = 6,        // the device behind the open port went away; the text is the port number
    PortBack = 7,        // the lost port opened again by itself; the text is the port number
    PortMapIgnored = 8,  // a mapping of ports to devices that others could change; the file
    Publishing = 9,      // publishing to the broker: a problem, in one line
};

// Where the decoder and the reading output report process events.
class EventLogger {
  public:
    virtual ~EventLogger() = default;
    virtual void LogEvent(EventKind kind, const Text& text) = 0;
};

}  // namespace rheo
