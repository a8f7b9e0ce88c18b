#include "link/Reception.h"

namespace rheo {

void Reception::OnReceive(LinkEvent kind) {
    if (kind != LinkEvent::CharactersReceived || !receiveBuffer_.empty()) {
        return;  // while the buffer holds text, new characters wait in the port
    }
    receiveBuffer_ = link_.ReadAll();
}

void Reception::Tick() {
    // A message box opened from inside the previous tick still waits for the user: this tick
    // must not run the decoder (the box's own event loop keeps the timer firing).
    if (engine_.Busy()) {
        return;
    }
    if (!receiveBuffer_.empty()) {
        const std::size_t length = receiveBuffer_.size();
        for (std::size_t i = 0; i < length; ++i) {
            engine_.decoder().DecodeCharacter(receiveBuffer_[i]);
        }
        receiveBuffer_.clear();
    }
    // The port notifies only when new characters arrive: take what arrived while the buffer
    // was full now, so the end of a message never waits for the instrument's next message.
    if (link_.IsOpen()) {
        receiveBuffer_ = link_.ReadAll();
    }
}

}  // namespace rheo
