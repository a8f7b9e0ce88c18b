#pragma once
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <functional>
#include <string>

#include "platform/SerialLink.h"

namespace rheo {

// The instrument's serial line on QSerialPort: 9600 baud, no parity, 8 data bits, 1 stop bit,
// no flow control, DTR and RTS raised so the instrument may send at any time, and the device
// held exclusively while open.
//
// Port N is "COM<N>" on Windows. Elsewhere it is the device named by the text value "Port<N>"
// under the settings key (for example "/dev/ttyUSB0" or a /dev/serial/by-id/... name), which the
// link is given as a function of N, or /dev/ttyS<N-1> when that value is absent. A name that an
// account other than root and the user could point elsewhere is not opened.
//
// The notification reports CharactersReceived whenever characters arrive, and LinkLost once
// when the device behind the open link goes away (adapter pulled, other end of a
// pseudo-terminal closed). QSerialPort tells that by its errors: a ResourceError, or a read or
// write error on a device that has hung up. The link is closed by then, so nothing keeps
// waking the program for a dead device.
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
    // On Windows every COM name is worth an opening; elsewhere the device must exist and be a
    // character device (a symbolic link is followed).
    bool DevicePresent() const override;
    bool NameLeadsToOpenDevice() const override;
    Text ReadAll() override;
    bool Write(std::string_view text) override;
    void SetNotification(Notification notification) override;

    // The device the port number stands for; empty for a number below 1.
    QString DeviceName(int port) const;

  private:
    void OnReadyRead();
    void OnError(QSerialPort::SerialPortError error);
    bool HungUp() const;
    void FinishLosing(quint64 opening);

    MappedDevices mappedDevices_;
    QSerialPort port_;
    int portNumber_ = 0;
    std::string openName_;  // the name the open device was opened by
    Notification notification_;
    quint64 opening_ = 0;  // counts openings, so a late loss never closes a newer opening
    bool losing_ = false;
};

}  // namespace rheo
