#include "Logger.h"

#include "platform/RegularFile.h"
#include "vocabulary/Windows1252.h"

namespace rheo::logger {

namespace {
constexpr int kReceiveIntervalMs = 100;  // the window's receive tick
}

Logger::Logger(const LoggerOptions& options, const Configuration& configuration, SerialLink& link,
               const Clock& clock, StderrReport& report, QObject* parent)
    : QObject(parent),
      options_(options),
      link_(link),
      report_(report),
      configuration_(configuration),
      engine_(configuration, clock, observedLog_, file_, view_, report, history_),
      // The window's operator stores the port; a logger never changes that choice.
      ports_(
          link, view_, [](int) {}, report, observedLog_),
      reception_(link, [this](std::string_view characters) { return engine_.Feed(characters); }) {
    engine_.Output().AddObserver(*this);
    if (options.mode == OutputMode::Daily) {
        daily_.emplace(engine_, clock, options.output, options.instrument,
                       configuration.FileExtension);
    }
    if (!options.device.empty()) {
        ports_.SetPortNames([this](int) { return device_; });
    }
    link_.SetNotification([this](LinkEvent kind) {
        if (kind == LinkEvent::LinkLost) {
            ports_.LinkLost();
        } else {
            reception_.OnReceive(kind);
        }
    });
    receiveTimer_.setInterval(kReceiveIntervalMs);
    receiveTimer_.setTimerType(Qt::CoarseTimer);
    connect(&receiveTimer_, &QTimer::timeout, this, [this] { Tick(); });
    statusTimer_.setInterval(kStatusIntervalMs);
    statusTimer_.setTimerType(Qt::VeryCoarseTimer);
    connect(&statusTimer_, &QTimer::timeout, this, [this] { TellStatus(); });
}

bool Logger::StartPublishing(const std::string& outbox, std::string& error) {
    PublishingOptions options = options_.publishing;
    options.outbox = outbox;
    // The publisher reports from its network thread: the entry is written on this one.
    const auto report = [this](const std::string& line) {
        QMetaObject::invokeMethod(
            this, [this, line] { ReportPublishing(line); }, Qt::QueuedConnection);
    };
    publishing_ =
        ProgramPublishing::Start(options, options.instrument, {}, configuration_, report, error);
    if (!publishing_) {
        return false;
    }
    engine_.Output().AddObserver(publishing_->Observer());
    observedLog_.AddObserver(publishing_->Observer());
    return true;
}

void Logger::ReportPublishing(const std::string& line) {
    observedLog_.LogEvent(EventKind::Publishing, Utf8ToWindows1252(line));
    if (options_.quiet) {
        report_.Error(line);  // a problem is told even when quiet, once
    }
}

void Logger::TellPortState() {
    if (!publishing_ || ports_.State() == toldPortState_) {
        return;
    }
    toldPortState_ = ports_.State();
    publishing_->SetPortState(LinkStateName(*toldPortState_));
}

std::optional<int> Logger::Start(const std::string& device, const std::string& logFile) {
    device_ = device;
    const auto port = static_cast<std::uint8_t>(options_.port >= 1 ? options_.port : 1);
    report_.HoldBoxes(true);  // the window's "Error opening port1" would not name the device
    ports_.Abrir_Puerto(port);
    report_.HoldBoxes(false);
    if (ports_.State() != LinkState::Open) {
        if (!options_.wait) {
            report_.Error("cannot open " + device +
                          ": not there, not a serial device, or held by another program "
                          "(--wait waits for it)");
            return 2;
        }
        ports_.Await(port);
        report_.Tell("waiting for " + device);
    }
    if (!AppendToRegularFile(logFile, {})) {
        report_.Error("cannot write the event log " + logFile);
        return 2;
    }
    if (!StartSession()) {
        report_.Error("cannot write the session file " + options_.output);
        return 2;
    }
    report_.Tell("logging " + device + " to " + engine_.Session().SessionFilePath);
    TellPortState();
    receiveTimer_.start();
    statusTimer_.start();
    return std::nullopt;
}

bool Logger::StartSession() {
    if (daily_) {
        return daily_->Start();
    }
    // After a failed file the same file is taken again as Open takes it: never emptied.
    const SessionStart how = options_.mode == OutputMode::New && !sessionLost_
                                 ? SessionStart::New
                                 : SessionStart::Append;
    return engine_.StartSession(options_.output, how, true);
}

void Logger::Tick() {
    if (daily_) {
        daily_->FollowDay();
    }
    reception_.Tick();
    ports_.Tick();
    KeepSession();
    TellPortState();
}

void Logger::KeepSession() {
    if (!engine_.Session().SessionFilePath.empty()) {
        return;
    }
    if (!sessionLost_) {
        sessionLost_ = true;
        ticksToRetry_ = PortSelection::kTicksPerAttempt;
    }
    if (--ticksToRetry_ > 0) {
        return;
    }
    ticksToRetry_ = PortSelection::kTicksPerAttempt;
    if (!file_.NameMayBeTakenAgain()) {
        if (!toldOfOtherFile_) {
            toldOfOtherFile_ = true;
            report_.Error("the session file's name now leads to another file; not written: " +
                          options_.output);
        }
        return;
    }
    toldOfOtherFile_ = false;
    if (StartSession()) {
        report_.Tell("writing again to " + engine_.Session().SessionFilePath);
    }
}

void Logger::TellStatus() {
    const char* state = "closed";
    switch (ports_.State()) {
        case LinkState::Open:
            state = "open";
            break;
        case LinkState::Lost:
            state = "lost, waiting for the device";
            break;
        case LinkState::Closed:
            break;
    }
    const std::string& file = engine_.Session().SessionFilePath;
    report_.Tell("status: " + std::to_string(readings_) + " readings, port " + device_ + " " +
                 state + ", session file " + (file.empty() ? "none (cannot be written)" : file));
}

int Logger::Stop() {
    receiveTimer_.stop();
    statusTimer_.stop();
    // Whole messages that have arrived become rows; one cut off by the end is dropped, as the
    // decoder drops any message it does not see whole.
    reception_.Tick();
    KeepSession();
    link_.SetNotification({});
    engine_.Output().CloseForQuit();
    link_.Close();
    report_.Tell(
        "stopped after " + std::to_string(readings_) + " readings" +
        (sessionLost_ ? "; rows were lost while the session file could not be written" : ""));
    return sessionLost_ ? 1 : 0;
}

}  // namespace rheo::logger
