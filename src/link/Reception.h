#pragma once
#include <functional>
#include <string_view>
#include <utility>

#include "platform/SerialLink.h"

namespace rheo {

// Moves received characters from the serial link into the decoder: the link's notification
// fills ReceiveBuffer when it is empty, and the 100 ms receive tick feeds it, and then whatever
// else waits in the port, so that every character received by a tick is decoded in that tick.
class Reception {
  public:
    // Takes characters in order; false when it takes none now (a message box opened from
    // inside the engine waits for the user), so that they are offered again at a later tick.
    using Feed = std::function<bool(std::string_view characters)>;

    Reception(SerialLink& link, Feed feed) : link_(link), feed_(std::move(feed)) {}

    void OnReceive(LinkEvent kind);
    void Tick();

    const Text& ReceiveBuffer() const { return receiveBuffer_; }
    void Clear() { receiveBuffer_.clear(); }

  private:
    SerialLink& link_;
    Feed feed_;
    Text receiveBuffer_;
};

}  // namespace rheo
