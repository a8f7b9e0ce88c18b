#pragma once
#include <chrono>
#include <string_view>

#include "vocabulary/EventLogger.h"
#include "vocabulary/Reading.h"
#include "vocabulary/Text.h"

namespace rheo {

// One reading as the reading output recorded it: the texts of its session-file row, the units
// it was measured in and the computer's time of recording. The references are valid during the
// call only.
struct RecordedReading {
    const Reading& reading;       // the row's texts but its date
    const Text& date;             // the row's date text
    const Text& temperatureUnit;  // "C", "F", or empty before any unit was announced
    const Text& viscosityUnit;    // "cP", "mPas", or empty
    std::chrono::system_clock::time_point recorded;
};

// Told of every reading recorded, whether or not a session file is open, of every session
// started and, through an ObservedEventLog, of every event-log entry. Observers run inside the
// receive tick: they must only take note and return.
class RecordingObserver {
  public:
    virtual ~RecordingObserver() = default;
    virtual void ReadingRecorded(const RecordedReading& recorded) = 0;
    // A session started by New or Open (or the tools' equivalent) in `path`.
    virtual void SessionStarted(std::string_view path) { static_cast<void>(path); }
    // An entry given to the event log: its kind and the text after the kind's own text.
    virtual void EventLogged(EventKind kind, const Text& text) {
        static_cast<void>(kind);
        static_cast<void>(text);
    }
};

}  // namespace rheo
