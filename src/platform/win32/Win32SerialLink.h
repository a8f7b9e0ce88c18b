#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/SerialLink.h"

namespace rheo {

// The instrument's serial line on a Windows COM port: port N is "\\.\COMN", opened for this
// program alone, 9600 baud, no parity, 8 data bits, 1 stop bit, no flow control, DTR and RTS
// raised so the instrument may send at any time, 1024-byte receive and 512-byte transmit
// buffers.
//
// A reader thread waits on the port (overlapped reads that end as soon as one byte is there)
// and keeps what it gets, at most kPieceBytes: while that much waits, it reads no more and the
// rest stays in the driver, so a device that floods the line (a virtual COM port ignores the
// baud rate) costs bounded memory. It tells the thread that created the link of each arrival
// through a hidden message-only window; there, in that thread's message loop (the GUI's event
// loop), the waiting bytes become the piece that ReadAll hands over, and the notification is
// raised. So, as Qt's serial port on Unix, a piece is taken from the reader only in the event
// loop: polls in a row without the loop turning give one piece and then nothing, and the
// window keeps answering under a flood. When the device goes away (adapter pulled, driver gone)
// the link closes itself and reports LinkLost once.
class Win32SerialLink : public SerialLink {
  public:
    // The most one ReadAll hands over, and the most the reader keeps beside it: what the Linux
    // link takes from the device at one read notification.
    static constexpr std::size_t kPieceBytes = 32768;

    Win32SerialLink();
    ~Win32SerialLink() override;
    Win32SerialLink(const Win32SerialLink&) = delete;
    Win32SerialLink& operator=(const Win32SerialLink&) = delete;

    void SetPortNumber(int port) override { portNumber_ = port; }
    int PortNumber() const override { return portNumber_; }
    bool Open() override;
    bool Close() override;
    bool IsOpen() const override { return port_ != nullptr; }
    // The piece handed over since the last ReadAll (at most kPieceBytes), in arrival order.
    // What the reader has taken from the port is kept across a loss of the device, so no byte
    // that arrived is ever dropped by the link.
    Text ReadAll() override;
    bool Write(std::string_view text) override;
    void SetNotification(Notification notification) override;

    // "\\.\COM<port>"; empty for a number below 1.
    static std::string DeviceName(int port);

    // Called by the message-only window on the creating thread.
    void OnMessage(unsigned message, std::uintptr_t opening);

  private:
    void ReaderLoop(void* port, void* stop, std::uintptr_t opening);
    void Post(unsigned message, std::uintptr_t opening);
    void PostArrival(std::uintptr_t opening);
    // Makes what the reader keeps the piece, when the last piece has been taken; true when a
    // piece waits for ReadAll.
    bool HandOver();

    int portNumber_ = 0;
    Notification notification_;
    void* window_ = nullptr;  // HWND of the message-only window
    void* port_ = nullptr;    // HANDLE of the open port
    void* stop_ = nullptr;    // HANDLE of the event that ends the reader
    void* room_ = nullptr;    // HANDLE of the event set when the reader may keep more
    std::thread reader_;
    std::uintptr_t opening_ = 0;  // counts openings, so a late message never acts on a newer one

    Text piece_;  // handed over, waiting for ReadAll (creating thread only)

    std::mutex mutex_;
    Text received_;                           // kept by the reader, guarded by mutex_
    std::atomic<bool> arrivalPosted_{false};  // one arrival message in the queue at a time
};

// Sets an open COM port (a HANDLE) to the instrument's line: 9600 baud, 8 data bits, no parity,
// 1 stop bit, no flow control, DTR and RTS on, reads that end at the first byte. The instrument
// simulator sets its port the same way.
bool ConfigureInstrumentLine(void* port);

}  // namespace rheo
