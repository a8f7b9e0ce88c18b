#pragma once
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/Configuration.h"
#include "app/Engine.h"
#include "app/Startup.h"
#include "link/PortSelection.h"
#include "link/Reception.h"
#include "monitor/FormMonitor.h"
#include "monitor/MonitorHost.h"
#include "platform/Clock.h"
#include "platform/DesktopShell.h"
#include "platform/LiveSessionFile.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "platform/qt/QtMessageBoxes.h"
#if defined(_WIN32)
#include "platform/win32/Win32SerialLink.h"
#else
#include "platform/qt/QtSerialLink.h"
#endif
#include "recording/EventLog.h"
#include "recording/SessionCommands.h"

namespace rheo {

// The serial link of this desktop: COM ports through the Windows API on Windows (there is no Qt
// Serial Port in the Windows build), QSerialPort elsewhere.
#if defined(_WIN32)
using DesktopSerialLink = Win32SerialLink;
#else
using DesktopSerialLink = QtSerialLink;
#endif

// The platform services the host works with. Each one left empty is the real one of this
// desktop; the tests put scripted answers behind the dialog interfaces and keep the settings
// store and the instance lock in directories of their own.
struct Form1Services {
    MessageBoxes* boxes = nullptr;       // QtMessageBoxes over the monitor window
    FileDialog* dialog = nullptr;        // the monitor window's DialogFile
    Registry* registry = nullptr;        // the machine-wide settings store
    DesktopShell* shell = nullptr;       // the desktop's document handling
    SingleInstance* instance = nullptr;  // the lock of the user's session
    bool splash = true;                  // start-up shows the splash window
    std::function<void()> endProgram;    // ends the process at once when empty
};

// The program's hidden host. It is never shown; it owns the serial link MSComm1, the receive
// timer Timer1 (100 ms, running from creation), the engine with its session, the port
// selection and the monitor window, and it runs the start-up sequence.
class Form1 : public QObject, public StartupScreens, public MonitorHost {
    Q_OBJECT
  public:
    static constexpr int kReceiveIntervalMs = 100;

    explicit Form1(Form1Services services = {}, QObject* parent = nullptr);
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
    const ReadingHistory& History() const override { return engine_.Output().History(); }
    SessionCommands& Sessions() override { return sessions_; }
    void Abrir_Puerto(std::uint8_t puerto) override;
    DesktopShell& Shell() override { return shell_; }
    const std::string& ProgramDirectory() const override { return programDirectory_; }
    SerialLink& Link() override { return *MSComm1_; }
    const Clock& Time() const override { return clock_; }
    void Quit() override;
    void EndProgram() override;

    FormMonitor& Monitor() { return *monitor_; }
    rheo::Engine& Engine() { return engine_; }
    PortSelection& Ports() { return ports_; }
    DesktopSerialLink& MSComm1() { return *MSComm1_; }
    QTimer& Timer1() { return *Timer1_; }

  private:
    void OnLinkEvent(LinkEvent kind);

    Form1Services services_;
    std::unique_ptr<Registry> ownRegistry_;
    Registry& registry_;
    std::unique_ptr<DesktopShell> ownShell_;
    DesktopShell& shell_;
    std::unique_ptr<SingleInstance> ownInstance_;
    SingleInstance& instance_;

    Configuration configuration_;
    SystemClock clock_{configuration_};  // keeps its texts clear of the field separator
    EventLog eventLog_;
    LiveSessionFile sessionFile_;
    std::string programDirectory_;

    DesktopSerialLink* MSComm1_ = nullptr;
    std::unique_ptr<FormMonitor> monitor_;
    QtMessageBoxes ownBoxes_;
    MessageBoxes& boxes_;

    rheo::Engine engine_;
    SessionCommands sessions_;
    PortSelection ports_;
    Reception reception_;
    QTimer* Timer1_ = nullptr;
};

}  // namespace rheo
