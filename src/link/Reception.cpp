#include "link/Reception.h"

namespace rheo {

void Reception::OnReceive(LinkEvent kind) {
    if (kind != LinkEvent::CharactersReceived || !receiveBuffer_.empty()) {
        return;  // while the buffer holds text, new characters wait in the port
    }
    receiveBuffer_ = link_.ReadAll();
}

void Reception::Tick() {
    // The port notifies only when new characters arrive: what arrived while the buffer was full
    // is taken now, so the end of a message never waits for a later tick or message.
    if (receiveBuffer_.empty() && link_.IsOpen()) {
        receiveBuffer_ = link_.ReadAll();
    }
    // The buffer is always fed before anything newer is taken from the port. While it is being
    // fed the notification leaves the port alone (the buffer is not empty), even inside a
    // message box's event loop, so the order of the characters holds.
    while (!receiveBuffer_.empty()) {
        if (!feed_(receiveBuffer_)) {
            return;  // kept whole for a later tick
        }
        receiveBuffer_.clear();
        if (!link_.IsOpen()) {
            return;
        }
        receiveBuffer_ = link_.ReadAll();
    }
}

}  // namespace rheo
