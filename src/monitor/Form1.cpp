#include "monitor/Form1.h"

#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include "platform/win32/Win32DesktopShell.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32SingleInstance.h"
#else
#include "platform/posix/FileRegistry.h"
#include "platform/posix/PosixDesktopShell.h"
#include "platform/qt/QtSingleInstance.h"
#endif

#include "app/SettingsStore.h"
#include "auxiliary/Splash.h"

namespace rheo {
namespace {

#if defined(_WIN32)
using DesktopRegistry = Win32Registry;
using DesktopShellOfPlatform = Win32DesktopShell;
using DesktopSingleInstance = Win32SingleInstance;  // a named mutex of the logon session
#else
using DesktopRegistry = FileRegistry;
using DesktopShellOfPlatform = PosixDesktopShell;
using DesktopSingleInstance = QtSingleInstance;
#endif

#if !defined(_WIN32)
// The administrator's port map file, then the machine-wide store.
std::vector<PortMap::Source> PortMapSources(Registry& portMapFile, Registry& store) {
    return {{portMapFile, FileRegistry::PortMapFile()}, {store, FileRegistry::DefaultFile()}};
}
#endif

template <typename Interface, typename Real>
std::unique_ptr<Interface> OwnUnlessGiven(Interface* given) {
    return given != nullptr ? nullptr : std::make_unique<Real>();
}

}  // namespace

Form1::Form1(Form1Services services, QObject* parent)
    : QObject(parent),
      services_(std::move(services)),
      ownRegistry_(OwnUnlessGiven<Registry, DesktopRegistry>(services_.registry)),
      registry_(services_.registry != nullptr ? *services_.registry : *ownRegistry_),
#if !defined(_WIN32)
      ownPortMapFile_(services_.portMap != nullptr
                          ? nullptr
                          : std::make_unique<FileRegistry>(FileRegistry::PortMapFile())),
      ownPortMap_(services_.portMap != nullptr
                      ? nullptr
                      : std::make_unique<PortMap>(PortMapSources(*ownPortMapFile_, registry_))),
      portMap_(services_.portMap != nullptr ? services_.portMap : ownPortMap_.get()),
#endif
      ownShell_(OwnUnlessGiven<DesktopShell, DesktopShellOfPlatform>(services_.shell)),
      shell_(services_.shell != nullptr ? *services_.shell : *ownShell_),
      ownInstance_(OwnUnlessGiven<SingleInstance, DesktopSingleInstance>(services_.instance)),
      instance_(services_.instance != nullptr ? *services_.instance : *ownInstance_),
      eventLog_(std::nullopt, clock_),
#if defined(_WIN32)
      MSComm1_(new Win32SerialLink()),
#else
      MSComm1_(new QtSerialLink(portMap_->Devices(), this)),
#endif
      monitor_(std::make_unique<FormMonitor>(*this)),
      boxes_(services_.boxes != nullptr ? *services_.boxes : ownBoxes_),
      engine_(configuration_, clock_, eventLog_, sessionFile_, *monitor_, boxes_),
      sessions_(configuration_, engine_.Session(), sessionFile_, engine_.Output(),
                services_.dialog != nullptr ? *services_.dialog : monitor_->DialogFile(), boxes_,
                *monitor_),
      ports_(*MSComm1_, *monitor_, PortStore(registry_), boxes_, eventLog_),
      reception_(*MSComm1_,
                 [this](std::string_view characters) { return engine_.Feed(characters); }),
      Timer1_(new QTimer(this)) {
    setObjectName("Form1");
#if !defined(_WIN32)
    MSComm1_->setObjectName("MSComm1");
#endif
    ownBoxes_.SetParent(monitor_.get());

    MSComm1_->SetNotification([this](LinkEvent kind) { OnLinkEvent(kind); });

    // The receive timer runs from the creation of the host, through every modal window: the
    // nested event loops of dialogs and message boxes keep it firing.
    Timer1_->setObjectName("Timer1");
    Timer1_->setInterval(kReceiveIntervalMs);
    Timer1_->setTimerType(Qt::CoarseTimer);
    // The same tick paces the attempts to open a lost port again.
    connect(Timer1_, &QTimer::timeout, this, [this] {
        reception_.Tick();
        ports_.Tick();
    });
    Timer1_->start();
}

Form1::~Form1() {
    Timer1_->stop();
    MSComm1_->SetNotification({});
#if defined(_WIN32)
    delete MSComm1_;  // not a QObject: not deleted with this one
#endif
}

bool Form1::Start() {
    StartupParts parts{instance_,         boxes_,   *this, registry_, ports_, configuration_,
                       programDirectory_, eventLog_};
    if (!RunStartup(parts)) {
        return false;
    }
    if (portMap_ != nullptr) {
        portMap_->StartReporting(eventLog_);  // the event log has its file now
    }
    // The about window's web link opens its page through the same desktop as the log viewer.
    Splash::SetWebLink(&shell_, nullptr, programDirectory_);
    return true;
}

void Form1::ShowSplash() {
    if (services_.splash) {
        Splash::ShowModal(SplashMode::Startup, nullptr);
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

void Form1::Quit() {
    sessions_.CloseForQuit();
    EndProgram();
}

void Form1::EndProgram() {
    // Stop every source of further events first, so that nothing runs between here and the
    // end of the process even when a replacement of the ending returns.
    Timer1_->stop();
    MSComm1_->SetNotification({});
    if (services_.endProgram) {
        services_.endProgram();
        return;
    }
    // At once: no question, no log line, no further event of any window. Every row is already
    // on the disk; the operating system closes the session file and releases the port.
    std::fflush(nullptr);
    std::_Exit(EXIT_SUCCESS);
}

}  // namespace rheo
