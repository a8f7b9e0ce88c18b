#include "platform/qt/QtSerialLink.h"

#include <QMetaObject>
#include <string>

#ifdef Q_OS_UNIX
#include "platform/PathTrust.h"
#include "platform/SerialDevice.h"
#endif

namespace rheo {

QtSerialLink::QtSerialLink(MappedDevices mappedDevices, QObject* parent)
    : QObject(parent), mappedDevices_(std::move(mappedDevices)) {
    port_.setBaudRate(QSerialPort::Baud9600);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    // No limit: QSerialPort then always takes everything the device holds and loses nothing.
    port_.setReadBufferSize(0);
    connect(&port_, &QSerialPort::readyRead, this, &QtSerialLink::OnReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialLink::OnError);
}

QtSerialLink::~QtSerialLink() {
    notification_ = nullptr;
    disconnect(&port_, nullptr, this, nullptr);
    Close();
}

void QtSerialLink::SetPortNumber(int port) {
    portNumber_ = port;
}

QString QtSerialLink::DeviceName(int port) const {
    if (port < 1) {
        return {};
    }
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    if (const std::string device = mappedDevices_ ? mappedDevices_(port) : ""; !device.empty()) {
        return QString::fromLocal8Bit(device.data(), static_cast<qsizetype>(device.size()));
    }
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

bool QtSerialLink::DevicePresent() const {
#ifdef Q_OS_UNIX
    return IsCharacterDevice(DeviceName(portNumber_).toLocal8Bit().toStdString());
#else
    return portNumber_ >= 1;
#endif
}

bool QtSerialLink::Open() {
    if (port_.isOpen()) {
        return true;
    }
    const QString device = DeviceName(portNumber_);
    if (device.isEmpty()) {
        return false;
    }
#ifdef Q_OS_UNIX
    // A name that another account could point elsewhere (a link or a folder on its way that
    // others may change) could hand this session someone else's device: it is not opened.
    if (!PlaceOthersCanChange(device.toLocal8Bit().toStdString(), false).empty()) {
        return false;
    }
#endif
    port_.setPortName(device);
    // QSerialPort takes the device's lock file and sets TIOCEXCL (Windows opens ports
    // exclusively anyway); it refuses a device that is not a terminal.
    if (!port_.open(QIODevice::ReadWrite)) {
        port_.clearError();
        return false;
    }
#ifdef Q_OS_UNIX
    // TIOCEXCL does not stop a process with administrator rights, and programs that do not use
    // lock files lock the device itself: hold that lock too, and yield to anyone who has it.
    if (!LockDevice(static_cast<int>(port_.handle()))) {
        port_.close();
        port_.clearError();
        return false;
    }
#endif
    ++opening_;
    losing_ = false;
    openName_ = device.toLocal8Bit().toStdString();
    // The instrument may send at any time. Pseudo-terminals have no modem lines; there these
    // calls fail harmlessly.
    port_.setDataTerminalReady(true);
    port_.setRequestToSend(true);
    port_.clearError();
    return true;
}

bool QtSerialLink::Close() {
    losing_ = false;
    if (port_.isOpen()) {
        port_.close();
    }
    port_.clearError();
    return true;
}

bool QtSerialLink::IsOpen() const {
    return port_.isOpen();
}

bool QtSerialLink::NameLeadsToOpenDevice() const {
#ifdef Q_OS_UNIX
    return !port_.isOpen() || NameLeadsTo(openName_, static_cast<int>(port_.handle()));
#else
    return true;
#endif
}

Text QtSerialLink::ReadAll() {
    if (!port_.isOpen()) {
        return {};
    }
    // Reading also starts QSerialPort listening again after a passing resource error.
    const QByteArray bytes = port_.readAll();
    return Text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool QtSerialLink::Write(std::string_view text) {
    if (!port_.isOpen() || losing_) {
        return false;
    }
    const auto size = static_cast<qint64>(text.size());
    if (port_.write(text.data(), size) != size) {
        return false;
    }
    port_.flush();  // start sending now rather than at the next turn of the event loop
    return true;
}

void QtSerialLink::SetNotification(Notification notification) {
    notification_ = std::move(notification);
}

void QtSerialLink::OnReadyRead() {
    if (notification_ && !losing_) {
        notification_(LinkEvent::CharactersReceived);
    }
}

void QtSerialLink::OnError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || !port_.isOpen() || losing_) {
        return;  // errors of a failed opening are the opener's business
    }
    bool lost = false;
    switch (error) {
        case QSerialPort::ResourceError:  // the device is gone (Windows), or a read found none
            lost = true;
#ifdef Q_OS_UNIX
            // Unix also reports a read that would have waited this way; QSerialPort then
            // stops listening until the next read, which the receive tick makes.
            lost = HungUp();
#endif
            break;
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
        case QSerialPort::PermissionError:
            lost = HungUp();
            break;
        default:
            break;
    }
    if (!lost) {
        port_.clearError();
        return;
    }
    losing_ = true;
    // Close from the event loop, after QSerialPort has finished the read that failed.
    const quint64 opening = opening_;
    QMetaObject::invokeMethod(
        this, [this, opening] { FinishLosing(opening); }, Qt::QueuedConnection);
}

bool QtSerialLink::HungUp() const {
#ifdef Q_OS_UNIX
    return DeviceHungUp(static_cast<int>(port_.handle()));
#else
    return true;  // Windows reports a vanished device only by these errors
#endif
}

void QtSerialLink::FinishLosing(quint64 opening) {
    if (!losing_ || opening != opening_) {
        return;  // closed or reopened meanwhile
    }
    losing_ = false;
    port_.close();
    port_.clearError();
    if (notification_) {
        notification_(LinkEvent::LinkLost);
    }
}

}  // namespace rheo
