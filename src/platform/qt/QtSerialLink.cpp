#include "platform/qt/QtSerialLink.h"

#include <QEvent>
#include <QMetaObject>
#include <QSocketNotifier>
#include <string>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#endif

namespace rheo {

namespace {

// Within one second: more errors than this, or more wake-ups of the read notifier that bring
// no characters, mean a device that is gone whatever QSerialPort says about it. A working
// line at 9600 baud wakes the reader at most about 960 times a second, each time with data.
constexpr int kErrorLimit = 100;
constexpr int kIdleWakeUpLimit = 1000;
constexpr qint64 kWindowMs = 1000;

bool IsFatalKind(QSerialPort::SerialPortError error) {
    switch (error) {
        case QSerialPort::ResourceError:
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
        case QSerialPort::PermissionError:
            return true;
        default:
            return false;
    }
}

}  // namespace

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

bool QtSerialLink::Open() {
    if (port_.isOpen()) {
        return true;
    }
    const QString device = DeviceName(portNumber_);
    if (device.isEmpty()) {
        return false;
    }
    port_.setPortName(device);
    // QSerialPort takes the device's lock file and sets TIOCEXCL (Windows opens ports
    // exclusively anyway).
    if (!port_.open(QIODevice::ReadWrite)) {
        port_.clearError();
        return false;
    }
#ifdef Q_OS_UNIX
    // TIOCEXCL does not stop a process with administrator rights, and programs that do not use
    // lock files lock the device itself: hold that lock too, and yield to anyone who has it.
    if (::flock(static_cast<int>(port_.handle()), LOCK_EX | LOCK_NB) != 0) {
        port_.close();
        port_.clearError();
        return false;
    }
#endif
    ++opening_;
    losing_ = false;
    errorsInWindow_ = 0;
    idleWakeUpsInWindow_ = 0;
    window_.start();
    // The instrument may send at any time. Pseudo-terminals have no modem lines; there these
    // calls fail harmlessly.
    port_.setDataTerminalReady(true);
    port_.setRequestToSend(true);
    port_.clearError();

    // Watch QSerialPort's read notifier: on a hung-up device it fires without end.
    readNotifier_ = nullptr;
    const auto notifiers = port_.findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly);
    for (QSocketNotifier* notifier : notifiers) {
        if (notifier->type() == QSocketNotifier::Read) {
            readNotifier_ = notifier;
            notifier->installEventFilter(this);
        }
    }
    return true;
}

bool QtSerialLink::Close() {
    losing_ = false;
    if (port_.isOpen()) {
        port_.close();
    }
    port_.clearError();
    readNotifier_ = nullptr;
    return true;
}

bool QtSerialLink::IsOpen() const {
    return port_.isOpen();
}

Text QtSerialLink::ReadAll() {
    if (!port_.isOpen()) {
        return {};
    }
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
    idleWakeUpsInWindow_ = 0;
    if (notification_ && !losing_) {
        notification_(LinkEvent::CharactersReceived);
    }
}

void QtSerialLink::OnError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || !port_.isOpen() || losing_) {
        return;  // errors of a failed opening are the opener's business
    }
    if (IsFatalKind(error)) {
        if (DeviceHungUp()) {
            LoseLink();
            return;
        }
        // A passing failure (QSerialPort takes EAGAIN for a lost resource and stops reading):
        // keep reading, and let the count below decide if it never ends.
        if (readNotifier_ && !readNotifier_->isEnabled()) {
            readNotifier_->setEnabled(true);
        }
    }
    if (!window_.isValid() || window_.elapsed() > kWindowMs) {
        window_.start();
        errorsInWindow_ = 0;
        idleWakeUpsInWindow_ = 0;
    }
    if (++errorsInWindow_ > kErrorLimit) {
        LoseLink();
    }
}

bool QtSerialLink::eventFilter(QObject* watched, QEvent* event) {
    if (watched != readNotifier_ || event->type() != QEvent::SockAct) {
        return QObject::eventFilter(watched, event);
    }
    if (losing_) {
        readNotifier_->setEnabled(false);
        return true;
    }
    if (DeviceHungUp()) {
        LoseLink();
        return true;  // QSerialPort would only read nothing, again and again
    }
    if (!window_.isValid() || window_.elapsed() > kWindowMs) {
        window_.start();
        errorsInWindow_ = 0;
        idleWakeUpsInWindow_ = 0;
    }
    if (++idleWakeUpsInWindow_ > kIdleWakeUpLimit) {  // reset by every arrival of characters
        LoseLink();
        return true;
    }
    return false;
}

bool QtSerialLink::DeviceHungUp() const {
#ifdef Q_OS_UNIX
    const int fd = static_cast<int>(port_.handle());
    if (fd < 0) {
        return true;
    }
    pollfd watch{fd, POLLIN, 0};
    if (::poll(&watch, 1, 0) > 0 && (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        return true;
    }
    termios settings{};
    return ::tcgetattr(fd, &settings) != 0;  // a hung-up terminal refuses every request
#else
    return true;  // Windows reports a vanished device only by these errors
#endif
}

void QtSerialLink::SilenceNotifiers() {
    const auto notifiers = port_.findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly);
    for (QSocketNotifier* notifier : notifiers) {
        notifier->setEnabled(false);
    }
}

void QtSerialLink::LoseLink() {
    if (losing_) {
        return;
    }
    losing_ = true;
    SilenceNotifiers();
    // Closing deletes QSerialPort's notifiers, and this may run inside one of them: close from
    // the event loop, which is the next thing it does.
    const quint64 opening = opening_;
    QMetaObject::invokeMethod(
        this, [this, opening] { FinishLosing(opening); }, Qt::QueuedConnection);
}

void QtSerialLink::FinishLosing(quint64 opening) {
    if (!losing_ || opening != opening_) {
        return;  // closed or reopened meanwhile
    }
    losing_ = false;
    port_.close();
    port_.clearError();
    readNotifier_ = nullptr;
    if (notification_) {
        notification_(LinkEvent::LinkLost);
    }
}

}  // namespace rheo
