#pragma once
// One engine as the tools wire it: no window, no event log file, and the session file type
// under measurement.
#include "app/ConfigurationFile.h"
#include "app/Engine.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/MonitorView.h"
#include "recording/EventLog.h"

namespace rheo::bench {

// A failed session file would show a box; nobody is there to answer it, so it counts them.
class CountingBoxes : public MessageBoxes {
  public:
    MessageAnswer Show(const Text&, const Text&, MessageIcon, MessageButtons) override {
        ++shown;
        return MessageAnswer::Ok;
    }
    int shown = 0;
};

// Fixed date and time texts: the engine's own work without the platform's date formatting.
class ConstantClock : public FixedClock {
  public:
    ConstantClock() : FixedClock("05/12/2026", "14:05:40") {}
};

template <typename FileType, typename ClockType = ConstantClock>
struct EngineRig {
    Configuration configuration;
    ClockType clock;
    EventLog log{std::nullopt, clock};
    FileType file;
    NoMonitorView view;
    CountingBoxes boxes;
    ReadingHistory history;
    Engine engine{configuration, clock, log, file, view, boxes, history};

    // A new session file, as the "new session" command starts it.
    bool OpenNewSession(const std::string& path) {
        return engine.StartSession(path, SessionStart::New, true);
    }
};

}  // namespace rheo::bench
