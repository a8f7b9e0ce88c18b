#pragma once
#include "app/Engine.h"
#include "platform/SerialLink.h"

namespace rheo {

// Moves received characters from the serial link into the decoder: the link's notification
// fills ReceiveBuffer when it is empty, and the 100 ms receive tick feeds it to the decoder.
class Reception {
  public:
    Reception(SerialLink& link, Engine& engine) : link_(link), engine_(engine) {}

    void OnReceive(LinkEvent kind);
    void Tick();

    const Text& ReceiveBuffer() const { return receiveBuffer_; }
    void Clear() { receiveBuffer_.clear(); }

  private:
    SerialLink& link_;
    Engine& engine_;
    Text receiveBuffer_;
};

}  // namespace rheo
