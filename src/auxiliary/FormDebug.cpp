#include "auxiliary/FormDebug.h"

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "app/SimulatorText.h"
#include "platform/qt/Windows1252.h"

namespace rheo {

FormDebug::FormDebug(SerialLink& link, const Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), link_(link), clock_(clock) {
    setObjectName(QStringLiteral("FormDebug"));
    setWindowTitle(QString::fromUtf8("Simulaci\u00F3n de Viscos\u00EDmetro"));
    resize(312, 213);

    auto* label1 = new QLabel(QStringLiteral("Velocidad Giro [RPM]"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setGeometry(72, 32, 105, 17);

    combo1_ = new QComboBox(this);
    combo1_->setObjectName(QStringLiteral("Combo1"));
    combo1_->setEditable(false);
    for (std::string_view speed : kSimulatorSpeeds) {
        combo1_->addItem(QString::fromLatin1(speed.data(), static_cast<qsizetype>(speed.size())));
    }
    combo1_->setCurrentIndex(-1);
    combo1_->setGeometry(184, 24, 73, 21);

    command1_ = new QPushButton(QStringLiteral("Start"), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setGeometry(200, 72, 65, 25);
    connect(command1_, &QPushButton::clicked, this, &FormDebug::Start);

    command2_ = new QPushButton(QStringLiteral("Stop"), this);
    command2_->setObjectName(QStringLiteral("Command2"));
    command2_->setGeometry(200, 104, 65, 25);
    connect(command2_, &QPushButton::clicked, this, &FormDebug::Stop);

    setTabOrder(combo1_, command1_);
    setTabOrder(command1_, command2_);

    // A precise timer: a coarse one may be late by a twentieth of the period, ten seconds at
    // the slowest speed. An int of milliseconds holds every period from 300 ms to 200 s.
    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setTimerType(Qt::PreciseTimer);
    connect(timer1_, &QTimer::timeout, this, &FormDebug::Tick);
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
    if (combo1_->currentIndex() < 0) {
        return;  // no speed chosen yet: there is no period to run at
    }
    const std::optional<double> speed = ParseSpeed(ToWindows1252(combo1_->currentText()));
    if (!speed) {
        return;
    }
    timer1_->start(SimulatorPeriodMs(*speed));  // restarts the countdown when running
}

void FormDebug::Stop() {
    timer1_->stop();
}

// Without an open port there is nowhere to write: the text is skipped and the simulator keeps
// running, so it resumes by itself once a port is opened.
void FormDebug::Tick() {
    if (!link_.IsOpen()) {
        return;
    }
    link_.Write(SimulatorText(clock_.TimeText(), ToWindows1252(combo1_->currentText())));
}

}  // namespace rheo
