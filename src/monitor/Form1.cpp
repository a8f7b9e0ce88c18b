#include "monitor/Form1.h"

#include <QSysInfo>
#include <cstdio>
#include <cstdlib>

#include "app/SettingsStore.h"
#include "auxiliary/Splash.h"
#include "monitor/TrendWindow.h"
#include "platform/ProgramLocation.h"
#include "vocabulary/Windows1252.h"

namespace rheo {

void EndProcessNow() {
    std::fflush(nullptr);
    std::_Exit(EXIT_SUCCESS);
}

Form1::Form1(Form1Services services, QObject* parent)
    : QObject(parent),
      services_(std::move(services)),
      eventLog_(std::nullopt, clock_),
      monitor_(std::make_unique<FormMonitor>(history_, *this)),
      engine_(configuration_, clock_, observedLog_, sessionFile_, *monitor_, services_.boxes,
              history_),
      sessions_(configuration_, engine_.Output(), services_.dialog, services_.boxes),
      ports_(services_.link, *monitor_, PortStore(services_.registry), services_.boxes,
             observedLog_),
      reception_(services_.link,
                 [this](std::string_view characters) { return engine_.Feed(characters); }),
      Timer1_(new QTimer(this)) {
    setObjectName("Form1");
    services_.link.SetNotification([this](LinkEvent kind) { OnLinkEvent(kind); });
    engine_.Output().AddObserver(trend_);
    if (!TrendWindowAvailable()) {
        // Built without the plotting library: no trend window to open.
        monitor_->Toolbar1()->Item(MonitorToolbar::kTrendButton - 1)->setVisible(false);
        monitor_->Toolbar1()->Item(MonitorToolbar::kTrendButton)->setVisible(false);
        monitor_->MArch()->MArchTrend->setVisible(false);
    }

    // The receive timer runs from the creation of the host, through every modal window: the
    // nested event loops of dialogs and message boxes keep it firing.
    Timer1_->setObjectName("Timer1");
    Timer1_->setInterval(kReceiveIntervalMs);
    Timer1_->setTimerType(Qt::CoarseTimer);
    // The same tick paces the attempts to open a lost port again.
    connect(Timer1_, &QTimer::timeout, this, [this] {
        reception_.Tick();
        ports_.Tick();
        TellPortState();
    });
    Timer1_->start();
}

Form1::~Form1() {
    trendWindow_.reset();
    Timer1_->stop();
    services_.link.SetNotification({});
}

bool Form1::Start() {
    StartupParts parts{services_.instance, services_.boxes,   *this,    services_.registry, ports_,
                       configuration_,     programDirectory_, eventLog_};
    if (!RunStartup(parts)) {
        return false;
    }
    // The about window's web link opens its page through the same desktop as the log viewer.
    Splash::SetWebLink(&services_.shell, nullptr, programDirectory_);
    StartPublishing();
    return true;
}

void Form1::StartPublishing() {
    // The publisher reports from its network thread: the entry is written on this one.
    const auto report = [this](const std::string& line) {
        QMetaObject::invokeMethod(
            this, [this, line] { ReportPublishing(line); }, Qt::QueuedConnection);
    };
    const std::string file = FindPublishingFile(ExecutableDirectory(), programDirectory_);
    if (file.empty()) {
        return;  // no publishing, no network
    }
    std::string error;
    const auto options = ReadPublishingFile(file, error);
    if (options) {
        // Without an instrument key the topics name the computer.
        const std::string instrument = options->instrument.empty()
                                           ? QSysInfo::machineHostName().toStdString()
                                           : options->instrument;
        publishing_ = ProgramPublishing::Start(*options, instrument, programDirectory_,
                                               configuration_, report, error);
    }
    if (!publishing_) {
        ReportPublishing(error);
        return;
    }
    engine_.Output().AddObserver(publishing_->Observer());
    observedLog_.AddObserver(publishing_->Observer());
}

void Form1::ReportPublishing(const std::string& line) {
    std::fprintf(stderr, "rheotrackpanel: %s\n", line.c_str());
    observedLog_.LogEvent(EventKind::Publishing, Utf8ToWindows1252(line));
}

void Form1::TellPortState() {
    if (publishing_ && ports_.State() != toldPortState_) {
        toldPortState_ = ports_.State();
        publishing_->SetPortState(LinkStateName(*toldPortState_));
    }
}

void Form1::ShowSplash() {
    if (services_.showSplash) {
        services_.showSplash();
    }
}

void Form1::ShowMonitor() {
    monitor_->ShowCentred();
}

void Form1::Abrir_Puerto(std::uint8_t puerto) {
    ports_.Abrir_Puerto(puerto);
}

void Form1::OnLinkEvent(LinkEvent kind) {
    if (kind == LinkEvent::LinkLost) {
        ports_.LinkLost();
    } else {
        reception_.OnReceive(kind);
    }
}

void Form1::ShowTrend() {
    if (!trendWindow_) {
        trendWindow_ = MakeTrendWindow(trend_, configuration_, *monitor_);
    }
    if (trendWindow_) {
        trendWindow_->show();
        trendWindow_->raise();
        trendWindow_->activateWindow();
    }
}

void Form1::Quit() {
    sessions_.CloseForQuit();
    EndProgram();
}

void Form1::EndProgram() {
    // Stop every source of further events first, so that nothing runs between here and the
    // end of the process even when a replacement of the ending returns.
    Timer1_->stop();
    services_.link.SetNotification({});
    services_.endProgram();
}

}  // namespace rheo
