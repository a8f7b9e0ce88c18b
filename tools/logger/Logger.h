#pragma once
#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>

#include "LoggerOptions.h"
#include "StderrReport.h"
#include "app/DailySession.h"
#include "app/Engine.h"
#include "link/PortSelection.h"
#include "link/Reception.h"
#include "platform/LiveSessionFile.h"
#include "platform/MonitorView.h"
#include "publishing/ProgramPublishing.h"
#include "recording/ObservedEventLog.h"
#include "recording/ReadingHistory.h"
#include "vocabulary/RecordingObserver.h"

namespace rheo::logger {

// The logger without its window: the window program's receive tick (100 ms), port selection
// and reconnection, engine and live session file, driven by the command line instead of an
// operator. Where the window's operator would start a new session after a file that could no
// longer be written, the logger tries the same file again, appending, once a second.
class Logger : public QObject, private RecordingObserver {
  public:
    static constexpr int kStatusIntervalMs = 10 * 60 * 1000;

    Logger(const LoggerOptions& options, const Configuration& configuration, SerialLink& link,
           const Clock& clock, StderrReport& report, QObject* parent = nullptr);
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // Publishes every reading and event-log entry from now on, through the outbox `outbox`.
    // False with `error` when the options are refused or the outbox cannot be opened.
    bool StartPublishing(const std::string& outbox, std::string& error);

    // Opens the port (or, with --wait, waits for it), makes sure the event log exists and
    // starts the session. The exit status when that fails, nothing when the logger runs.
    std::optional<int> Start(const std::string& device, const std::string& logFile);
    // The clean end: what has arrived is decoded and the session file closed. The exit status.
    int Stop();

    // One status line: readings so far, the port's state, the session file.
    void TellStatus();

    rheo::Engine& Engine() { return engine_; }

  private:
    void Tick();
    void KeepSession();
    bool StartSession();
    void ReadingRecorded(const RecordedReading&) override { ++readings_; }
    void ReportPublishing(const std::string& line);
    void TellPortState();

    const LoggerOptions& options_;
    SerialLink& link_;
    StderrReport& report_;
    const Configuration& configuration_;
    ObservedEventLog observedLog_{report_};  // what the engine and the ports log to
    // Before the engine: it outlives the reading output that tells it of readings.
    std::unique_ptr<ProgramPublishing> publishing_;
    std::optional<LinkState> toldPortState_;  // the state the status topic has
    LiveSessionFile file_;
    NoMonitorView view_;
    ReadingHistory history_;
    rheo::Engine engine_;
    PortSelection ports_;
    Reception reception_;
    std::optional<DailySession> daily_;
    QTimer receiveTimer_;
    QTimer statusTimer_;
    std::string device_;
    unsigned long long readings_ = 0;
    int ticksToRetry_ = 0;
    bool sessionLost_ = false;      // the session's file could not be written at some time
    bool toldOfOtherFile_ = false;  // told once that the name leads to another file now
};

}  // namespace rheo::logger
