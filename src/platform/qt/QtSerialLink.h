#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QString>
#include <functional>
#include <string>

#include "platform/SerialLink.h"

class QSocketNotifier;

namespace rheo {

// The instrument's serial line on QSerialPort: 9600 baud, no parity, 8 data bits, 1 stop bit,
// no flow control, DTR and RTS raised so the instrument may send at any time, and the device
// held exclusively while open.
//
// Port N is "COM<N>" on Windows. Elsewhere it is the device named by the text value "Port<N>"
// under the settings key (for example "/dev/ttyUSB0" or a /dev/serial/by-id/... name), which the
// link is given as a function of N, or /dev/ttyS<N-1> when that value is absent.
//
// The notification reports CharactersReceived whenever characters arrive, and LinkLost once
// when the device behind the open link goes away (adapter pulled, other end of a
// pseudo-terminal closed); the link is closed by then, so the event loop does not spin on a
// dead device.
class QtSerialLink : public QObject, public SerialLink {
    Q_OBJECT
  public:
    // The device named for port N, or "" when none is (not used on Windows).
    using MappedDevices = std::function<std::string(int port)>;

    explicit QtSerialLink(MappedDevices mappedDevices, QObject* parent = nullptr);
    ~QtSerialLink() override;
    QtSerialLink(const QtSerialLink&) = delete;
    QtSerialLink& operator=(const QtSerialLink&) = delete;

    void SetPortNumber(int port) override;
    int PortNumber() const override { return portNumber_; }
    bool Open() override;
    bool Close() override;
    bool IsOpen() const override;
    Text ReadAll() override;
    bool Write(std::string_view text) override;
    void SetNotification(Notification notification) override;

    // The device the port number stands for; empty for a number below 1.
    QString DeviceName(int port) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnReadyRead();
    void OnError(QSerialPort::SerialPortError error);
    bool DeviceHungUp() const;
    // Stops all activity on the dead device now; closes and notifies from the event loop.
    void LoseLink();
    void FinishLosing(quint64 opening);
    void SilenceNotifiers();

    MappedDevices mappedDevices_;
    QSerialPort port_;
    int portNumber_ = 0;
    Notification notification_;
    quint64 opening_ = 0;  // counts openings, so a late loss never closes a newer opening
    bool losing_ = false;
    QPointer<QSocketNotifier> readNotifier_;
    QElapsedTimer window_;  // one-second window for counting errors and idle wake-ups
    int errorsInWindow_ = 0;
    int idleWakeUpsInWindow_ = 0;
};

}  // namespace rheo
