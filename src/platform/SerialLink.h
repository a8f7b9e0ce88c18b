#pragma once
#include <functional>
#include <string_view>

#include "vocabulary/Text.h"

namespace rheo {

// Kinds of the serial link's notification. Only CharactersReceived feeds reception; LinkLost
// reports that the device behind an open link went away (adapter pulled, other end closed).
enum class LinkEvent : int {
    CharactersReceived = 2,
    LinkLost = 1000,
};

// The instrument's serial line: 9600 baud, no parity, 8 data bits, 1 stop bit.
class SerialLink {
  public:
    using Notification = std::function<void(LinkEvent)>;

    virtual ~SerialLink() = default;
    virtual void SetPortNumber(int port) = 0;
    virtual int PortNumber() const = 0;  // SelectedPort: the number last given, even if it failed
    virtual bool Open() = 0;
    virtual bool Close() = 0;
    virtual bool IsOpen() const = 0;
    // Whether the device of the port number is there at all, checked cheaply before an
    // opening is tried again after a loss. Where that cannot be told, it is taken as there.
    virtual bool DevicePresent() const { return true; }
    // Whether the port's name still leads to the device that is open, checked about once a
    // second: a name turned to another device meanwhile makes the port lost. Where names
    // cannot be turned, it is taken as so.
    virtual bool NameLeadsToOpenDevice() const { return true; }
    // All characters waiting in the input queue, one byte per character; empty when none wait.
    virtual Text ReadAll() = 0;
    virtual bool Write(std::string_view text) = 0;
    // Raised on the user-interface thread.
    virtual void SetNotification(Notification notification) = 0;
};

}  // namespace rheo
