#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Dialogs.h"
#include "platform/MonitorView.h"
#include "platform/SerialLink.h"
#include "vocabulary/EventLogger.h"

namespace rheo {

// Where the link stands: no port open (none chosen yet, or the last choice failed), a port
// open, or the open port's device gone away and waited for.
enum class LinkState { Closed, Open, Lost };

// How the status topic names a link state: "closed", "open" or "lost".
inline const char* LinkStateName(LinkState state) {
    switch (state) {
        case LinkState::Open:
            return "open";
        case LinkState::Lost:
            return "lost";
        case LinkState::Closed:
            break;
    }
    return "closed";
}

// Switches the serial link to a port (Abrir_Puerto), keeps the toolbar's port marks, stores
// the port for the next start, and reports a port that cannot be opened.
//
// When the device behind the open port goes away, the port is lost: the marks say so, the
// event log gets "Port lost::<N>", and every tenth receive tick (about once a second) the same
// port is tried again, quietly, if its device is there. When it opens, the marks are those of
// the open port again and the log gets "Port back::<N>"; reception goes on as before and the
// stored port is left as it is. Choosing a port ends the waiting, whether it opens or not.
// While the port is open, every kTicksPerAttempt-th tick checks that its name still leads to
// the device that is open; when it does not, the port is lost as if the device had gone.
class PortSelection {
  public:
    static constexpr int kTicksPerAttempt = 10;

    // storePort keeps the port for the next start.
    PortSelection(SerialLink& link, MonitorView& view, std::function<void(int port)> storePort,
                  MessageBoxes& boxes, EventLogger& log)
        : link_(link), view_(view), storePort_(std::move(storePort)), boxes_(boxes), log_(log) {}

    void Abrir_Puerto(std::uint8_t puerto);

    // The device behind the open link went away: close the link and wait for the device.
    void LinkLost();

    // One receive tick: every kTicksPerAttempt-th checks the open port's name, or tries the
    // lost port again.
    void Tick();

    // Waits for the port's device as for a lost port, from the next tick on, without a
    // "Port lost::" entry (a logger started before its device is there); the opening is logged
    // "Port back::" like every return.
    void Await(std::uint8_t puerto);

    // How the event log names a port: its number unless told otherwise (a logger given a
    // device rather than a port number names the device).
    void SetPortNames(std::function<std::string(int port)> names) { names_ = std::move(names); }

    LinkState State() const { return state_; }
    const PortMarks& Marks() const { return marks_; }

  private:
    void FailurePath(std::uint8_t puerto);
    std::string PortName() const;

    SerialLink& link_;
    MonitorView& view_;
    std::function<void(int port)> storePort_;
    MessageBoxes& boxes_;
    EventLogger& log_;
    std::function<std::string(int port)> names_;
    PortMarks marks_;
    LinkState state_ = LinkState::Closed;
    int ticksToAttempt_ = 0;
};

}  // namespace rheo
