#pragma once
#include <cstdint>
#include <string>

namespace rheo {

class Clock;
class DesktopShell;
class SerialLink;
class SessionCommands;

// What the monitor window's commands reach beyond it: the session operations, the port
// selection of the host, the desktop, and the end of the program.
class MonitorHost {
  public:
    virtual ~MonitorHost() = default;

    virtual SessionCommands& Sessions() = 0;
    virtual void Abrir_Puerto(std::uint8_t puerto) = 0;
    virtual DesktopShell& Shell() = 0;
    virtual const std::string& ProgramDirectory() const = 0;
    // The serial link and the clock, for the developer's debug window.
    virtual SerialLink& Link() = 0;
    virtual const Clock& Time() const = 0;

    // The trend window, shown or raised.
    virtual void ShowTrend() = 0;

    // Quit: close the session file, then end the program at once.
    virtual void Quit() = 0;
    // The window was closed: end the program at once.
    virtual void EndProgram() = 0;
};

}  // namespace rheo
