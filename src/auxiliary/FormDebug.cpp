#include "auxiliary/FormDebug.h"

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "app/SimulatorText.h"
#include "platform/qt/QtText.h"

namespace rheo {

FormDebug::FormDebug(SerialLink& link, const Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), link_(link), clock_(clock) {
    setObjectName(QStringLiteral("FormDebug"));
    setWindowTitle(QString::fromUtf8("Simulaci\u00F3n de Viscos\u00EDmetro"));
    resize(312, 213);

    auto* label1 = new QLabel(QStringLiteral("Velocidad Giro [RPM]"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setGeometry(72, 32, 105, 17);

    Combo1_ = new QComboBox(this);
    Combo1_->setObjectName(QStringLiteral("Combo1"));
    Combo1_->setEditable(false);
    for (std::string_view speed : kSimulatorSpeeds) {
        Combo1_->addItem(QString::fromLatin1(speed.data(), static_cast<qsizetype>(speed.size())));
    }
    Combo1_->setCurrentIndex(-1);
    Combo1_->setGeometry(184, 24, 73, 21);

    Command1_ = new QPushButton(QStringLiteral("Start"), this);
    Command1_->setObjectName(QStringLiteral("Command1"));
    Command1_->setGeometry(200, 72, 65, 25);
    connect(Command1_, &QPushButton::clicked, this, &FormDebug::Start);

    Command2_ = new QPushButton(QStringLiteral("Stop"), this);
    Command2_->setObjectName(QStringLiteral("Command2"));
    Command2_->setGeometry(200, 104, 65, 25);
    connect(Command2_, &QPushButton::clicked, this, &FormDebug::Stop);

    setTabOrder(Combo1_, Command1_);
    setTabOrder(Command1_, Command2_);

    // A precise timer: a coarse one may be late by a twentieth of the period, ten seconds at
    // the slowest speed. An int of milliseconds holds every period from 300 ms to 200 s.
    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setTimerType(Qt::PreciseTimer);
    connect(Timer1_, &QTimer::timeout, this, &FormDebug::Tick);
}

FormDebug* FormDebug::ShowWindow(SerialLink& link, const Clock& clock, QWidget* parent) {
    static QPointer<FormDebug> open;
    if (open == nullptr) {
        open = new FormDebug(link, clock, parent);
        open->setAttribute(Qt::WA_DeleteOnClose);
    }
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}

void FormDebug::Start() {
    if (Combo1_->currentIndex() < 0) {
        return;  // no speed chosen yet: there is no period to run at
    }
    const std::optional<double> speed = ParseSpeed(FromQString(Combo1_->currentText()));
    if (!speed) {
        return;
    }
    Timer1_->start(SimulatorPeriodMs(*speed));  // restarts the countdown when running
}

void FormDebug::Stop() {
    Timer1_->stop();
}

// Without an open port there is nowhere to write: the text is skipped and the simulator keeps
// running, so it resumes by itself once a port is opened.
void FormDebug::Tick() {
    if (!link_.IsOpen()) {
        return;
    }
    link_.Write(SimulatorText(clock_.TimeText(), FromQString(Combo1_->currentText())));
}

}  // namespace rheo
