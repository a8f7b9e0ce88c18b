#include "recording/EventLog.h"

#include <cstdio>

#include "platform/RegularFile.h"

namespace rheo {
namespace {

const char* KindText(EventKind kind) {
    switch (kind) {
        case EventKind::ProcessStart:
            return "Start of process";
        case EventKind::ProcessEnd:
            return "End of process::";
        case EventKind::ViscosityFault:
            return "Viscosity Error::";
        case EventKind::TemperatureSensorFault:
            return "Temperature sensor Err::";
        case EventKind::TemperatureOverflow:
            return "Temperature overflow::";
        case EventKind::TemperatureUnderflow:
            return "Temperature underflow::";
        case EventKind::PortLost:
            return "Port lost::";
        case EventKind::PortBack:
            return "Port back::";
        case EventKind::PortMapIgnored:
            return "Port map ignored::";
        case EventKind::Publishing:
            return "Publishing::";
    }
    return "";
}

}  // namespace

Text EventLine(EventKind kind, const Text& text, const Clock& clock) {
    Text line = clock.DateText();
    line += ' ';
    line += clock.TimeText();
    line += ' ';
    line += KindText(kind);
    if (kind != EventKind::ProcessStart) {
        line += text;
    }
    return line;
}

void EventLog::LogEvent(EventKind kind, const Text& text) {
    if (!file_) {
        return;
    }
    Text line = EventLine(kind, text, clock_);
    line += kCrLf;
    // Opened, appended and closed for every line: no handle is held between events. Only a
    // regular file takes the line, whole or not at all.
    if (!AppendToRegularFile(*file_, line)) {
        std::fprintf(stderr, "rheotrackpanel: cannot write the event log %s\n", file_->c_str());
    }
}

}  // namespace rheo
