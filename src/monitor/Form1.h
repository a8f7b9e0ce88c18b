#pragma once
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/ConfigurationFile.h"
#include "app/Engine.h"
#include "app/Startup.h"
#include "link/PortSelection.h"
#include "link/Reception.h"
#include "monitor/FormMonitor.h"
#include "monitor/MonitorHost.h"
#include "platform/Clock.h"
#include "platform/DesktopShell.h"
#include "platform/Dialogs.h"
#include "platform/LiveSessionFile.h"
#include "platform/Registry.h"
#include "platform/SerialLink.h"
#include "platform/SingleInstance.h"
#include "publishing/ProgramPublishing.h"
#include "recording/EventLog.h"
#include "recording/ObservedEventLog.h"
#include "recording/ReadingHistory.h"
#include "recording/SessionCommands.h"
#include "trend/TrendStore.h"

namespace rheo {

// The program's real ending: at once, with no question, no log line and no further event of any
// window. Every row is already on the disk; the system closes the session file and the port.
[[noreturn]] void EndProcessNow();

// The platform services the host works with, built once where the program is put together
// (main.cpp) or by a test, and outliving the host.
struct Form1Services {
    Registry& registry;                // the machine-wide settings store
    SerialLink& link;                  // the serial link MSComm1
    DesktopShell& shell;               // the desktop's document handling
    SingleInstance& instance;          // the lock of the user's session
    MessageBoxes& boxes;               // over the monitor window
    FileDialog& dialog;                // the session commands' DialogFile
    std::function<void()> showSplash;  // start-up's splash window; nothing when empty
    std::function<void()> endProgram;  // ends the process at once
};

// The program's hidden host. It is never shown; it holds the receive timer Timer1 (100 ms,
// running from creation), the engine with its session, the port selection and the monitor
// window, and it runs the start-up sequence.
class Form1 : public QObject, public StartupScreens, public MonitorHost {
    Q_OBJECT
  public:
    static constexpr int kReceiveIntervalMs = 100;

    explicit Form1(Form1Services services, QObject* parent = nullptr);
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // The start-up sequence: one copy only, splash, stored port, program directory,
    // configuration, event log, monitor window. False when another copy runs: this one must
    // then end.
    bool Start();

    // StartupScreens
    void ShowSplash() override;
    void ShowMonitor() override;

    // MonitorHost
    SessionCommands& Sessions() override { return sessions_; }
    void Abrir_Puerto(std::uint8_t puerto) override;
    DesktopShell& Shell() override { return services_.shell; }
    const std::string& ProgramDirectory() const override { return programDirectory_; }
    SerialLink& Link() override { return services_.link; }
    const Clock& Time() const override { return clock_; }
    void ShowTrend() override;
    void Quit() override;
    void EndProgram() override;

    FormMonitor& Monitor() { return *monitor_; }
    rheo::Engine& Engine() { return engine_; }
    PortSelection& Ports() { return ports_; }
    EventLog& Log() { return eventLog_; }
    QTimer& Timer1() { return *Timer1_; }
    TrendStore& Trend() { return trend_; }
    // The trend window once it has been opened, else null.
    QWidget* TrendWindow() const { return trendWindow_.get(); }

  private:
    void OnLinkEvent(LinkEvent kind);
    // Publishing to a broker when a publishing file lies beside vcfg.txt; its problems go to
    // the event log and standard error.
    void StartPublishing();
    void ReportPublishing(const std::string& line);
    void TellPortState();

    Form1Services services_;
    Configuration configuration_;
    SystemClock clock_{configuration_};  // keeps its texts clear of the field separator
    EventLog eventLog_;
    ObservedEventLog observedLog_{eventLog_};  // what the engine and the ports log to
    LiveSessionFile sessionFile_;
    std::string programDirectory_;
    ReadingHistory history_;
    // The readings since the latest of start, New/Open and the trend's Clear, held beside the
    // engine so that the trend window shows them whenever it is opened.
    TrendStore trend_{configuration_};

    std::unique_ptr<FormMonitor> monitor_;
    rheo::Engine engine_;
    SessionCommands sessions_;
    PortSelection ports_;
    Reception reception_;
    QTimer* Timer1_ = nullptr;
    std::unique_ptr<QWidget> trendWindow_;
    std::unique_ptr<ProgramPublishing> publishing_;  // when a publishing file is there
    std::optional<LinkState> toldPortState_;         // the state the status topic has
};

}  // namespace rheo
