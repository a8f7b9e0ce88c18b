#pragma once
#include <vector>

#include "vocabulary/EventLogger.h"
#include "vocabulary/RecordingObserver.h"

namespace rheo {

// An event log that others hear too: every entry goes to the log it wraps, unchanged, and then
// to each observer (EventLogged), in the order they were added. Given to the engine in place of
// the log it wraps.
class ObservedEventLog : public EventLogger {
  public:
    explicit ObservedEventLog(EventLogger& log) : log_(log) {}
    void LogEvent(EventKind kind, const Text& text) override;
    void AddObserver(RecordingObserver& observer) { observers_.push_back(&observer); }

  private:
    EventLogger& log_;
    std::vector<RecordingObserver*> observers_;
};

}  // namespace rheo
