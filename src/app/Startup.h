#pragma once
#include <string>

#include "app/ConfigurationFile.h"
#include "link/PortSelection.h"
#include "platform/Dialogs.h"
#include "platform/Registry.h"
#include "platform/SingleInstance.h"
#include "recording/EventLog.h"

namespace rheo {

inline constexpr const char* kAlreadyOpen = "RHEOTRACKPANEL is already open.";

// The windows start-up shows, implemented by the GUI.
class StartupScreens {
  public:
    virtual ~StartupScreens() = default;
    virtual void ShowSplash() = 0;   // modal; returns when the splash has closed itself
    virtual void ShowMonitor() = 0;  // modeless; the program is then driven by events
};

// The program directory: the executable's own when the program may write there, otherwise
// the per-user data directory (created when missing).
std::string ChooseProgramDirectory();

// Creates an empty vlog.txt in the working directory when none is there; never touches one
// that exists.
void EnsureEventLogInWorkingDirectory();

struct StartupParts {
    SingleInstance& instance;
    MessageBoxes& boxes;
    StartupScreens& screens;
    Registry& registry;
    PortSelection& ports;
    Configuration& configuration;
    std::string& programDirectory;
    EventLog& eventLog;
};

// The start-up sequence: one copy only, splash, stored port, program directory, configuration,
// event log, main window. Returns false when another copy runs (this copy must then end).
bool RunStartup(StartupParts parts);

}  // namespace rheo
