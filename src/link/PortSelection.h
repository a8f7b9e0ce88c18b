#pragma once
#include <cstdint>
#include <functional>

#include "platform/Dialogs.h"
#include "platform/MonitorView.h"
#include "platform/SerialLink.h"

namespace rheo {

// Switches the serial link to a port (Abrir_Puerto), keeps the toolbar's port marks, stores
// the port for the next start, and reports a port that cannot be opened.
class PortSelection {
  public:
    // storePort keeps the port for the next start.
    PortSelection(SerialLink& link, MonitorView& view, std::function<void(int port)> storePort,
                  MessageBoxes& boxes)
        : link_(link), view_(view), storePort_(std::move(storePort)), boxes_(boxes) {}

    void Abrir_Puerto(std::uint8_t puerto);

    // The device behind the open link went away: close it and show the marks as after a failed
    // opening, without a message. The stored port is not changed.
    void LinkLost();

    const PortMarks& Marks() const { return marks_; }

  private:
    void FailurePath(std::uint8_t puerto);

    SerialLink& link_;
    MonitorView& view_;
    std::function<void(int port)> storePort_;
    MessageBoxes& boxes_;
    PortMarks marks_;
};

}  // namespace rheo
