// rheotrack-logger: logs one viscometer's readings from its serial line with no window, on the
// window program's own engine, link and files, so that what it writes is byte for byte what
// the window writes for the same characters and configuration.
//
// The one place where the logger is put together, as main.cpp is for the window program.
#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Logger.h"
#include "LoggerOptions.h"
#include "ProgramArguments.h"
#include "StderrReport.h"
#include "StopSignals.h"
#include "app/ConfigurationFile.h"
#include "app/PortMap.h"
#include "platform/Clock.h"
#include "platform/ProgramLocation.h"
#include "platform/RegularFile.h"
#include "recording/EventLog.h"

#if defined(_WIN32)
#include "ComPortName.h"
#include "WindowsService.h"
#include "platform/win32/Win32SerialLink.h"
#else
#include "platform/posix/FileRegistry.h"
#include "platform/qt/QtSerialLink.h"
#endif

int main(int argc, char** argv) {
    using namespace rheo::logger;
    std::string error;
    bool help = false;
    std::vector<std::string> texts = ProgramArguments(argc, argv);
    std::vector<char*> arguments;
    for (std::string& text : texts) {
        arguments.push_back(text.data());
    }
#if defined(_WIN32)
    // --install-service NAME [options], --remove-service NAME, and --service NAME [options] as
    // the Service Control Manager starts it: the name first, the logger's options after it.
    std::string serviceName;
    const std::string_view verb = texts.size() >= 2 ? std::string_view(texts[1]) : "";
    if (verb == "--install-service" || verb == "--remove-service" || verb == "--service") {
        if (texts.size() < 3 || texts[2].empty() || texts[2][0] == '-') {
            std::fprintf(stderr, "rheotrack-logger: %s needs a service name\n", texts[1].c_str());
            return 2;
        }
        if (verb == "--remove-service") {
            if (texts.size() > 3) {
                std::fprintf(stderr, "rheotrack-logger: --remove-service takes a name only\n");
                return 2;
            }
            return RemoveService(texts[2]);
        }
        serviceName = texts[2];
        arguments.erase(arguments.begin() + 1, arguments.begin() + 3);
    }
#endif
    const auto options =
        ParseLoggerOptions(static_cast<int>(arguments.size()), arguments.data(), error, help);
    if (help) {
        std::fputs(kLoggerUsage, stdout);
        return 0;
    }
    if (options && (error = CheckLoggerOptions(*options)).empty()) {
        // checked: nothing is created before this point
    } else {
        std::fprintf(stderr, "rheotrack-logger: %s\nTry rheotrack-logger --help.\n", error.c_str());
        return 2;
    }
#if defined(_WIN32)
    // Port N is COM<N>, as the window names it; a device is given by its COM name.
    const int comPort = options->device.empty() ? options->port : ComPortNumber(options->device);
    if (comPort < 1) {
        std::fprintf(stderr,
                     "rheotrack-logger: --device %s is not a COM port (COM7, \\\\.\\COM12)\n"
                     "Try rheotrack-logger --help.\n",
                     options->device.c_str());
        return 2;
    }
    if (verb == "--install-service") {
        return InstallService(serviceName, {arguments.begin() + 1, arguments.end()});
    }
#endif

    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rheotrack-logger"));

    rheo::Configuration configuration;
    if (options->config) {
        bool readable = false;
        configuration = rheo::ReadConfigurationFile(*options->config, &readable);
        if (!readable) {
            std::fprintf(stderr, "rheotrack-logger: cannot read the configuration file %s\n",
                         options->config->c_str());
            return 2;
        }
    }
    rheo::SystemClock clock(configuration);  // keeps its texts clear of the field separator

#if defined(_WIN32)
    rheo::Win32SerialLink link;
    const int port = comPort;
    const std::string device =
        options->device.empty() ? rheo::Win32SerialLink::DeviceName(port) : options->device;
#else
    // A port number is mapped to its device as the window maps it: the administrator's port map
    // file, then the machine-wide store. A device given by name is port 1 of a map of its own.
    rheo::FileRegistry registry;
    rheo::FileRegistry portMapFile(rheo::FileRegistry::PortMapFile());
    rheo::PortMap portMap({{portMapFile, portMapFile.File()}, {registry, registry.File()}});
    rheo::QtSerialLink link(options->device.empty()
                                ? portMap.Devices()
                                : rheo::QtSerialLink::MappedDevices(
                                      [device = options->device](int) { return device; }));
    link.setObjectName("MSComm1");
    const int port = options->device.empty() ? options->port : 1;
    const std::string device = link.DeviceName(port).toLocal8Bit().toStdString();
#endif

    LoggerOptions effective = *options;
    effective.port = port;
    if (effective.instrument.empty()) {
#if defined(_WIN32)
        effective.instrument = "COM" + std::to_string(port);
#else
        effective.instrument = std::filesystem::path(device).filename().string();
#endif
    }
    const std::string logFile = EventLogPath(effective);
    rheo::EventLog eventLog(logFile, clock);
    StderrReport report(eventLog, clock, effective.quiet);
    report.SetInstrument(effective.instrument);

    if (effective.publishing.instrument.empty()) {
        effective.publishing.instrument = effective.instrument;
    }

    Logger logger(effective, configuration, link, clock, report);
    if (effective.publishing.Enabled()) {
        // The service's state folder, which systemd names; else the per-user data folder
        // (%LOCALAPPDATA%\rheotrackpanel on Windows, where no systemd names one and ':' is in
        // every path).
#if defined(_WIN32)
        const QString state;
#else
        const QString state = qEnvironmentVariable("STATE_DIRECTORY").section(':', 0, 0);
#endif
        const std::string outbox = OutboxPath(
            effective, state.isEmpty() ? rheo::UserDataDirectory() : state.toStdString());
        if (!logger.StartPublishing(outbox, error)) {
            std::fprintf(stderr, "rheotrack-logger: %s\n", error.c_str());
            return 2;
        }
        report.Tell("publishing to " + effective.publishing.url + " through the outbox " + outbox);
    }
    int status = 0;
    bool stopped = false;
    StopSignals requests(
        [&] {
            if (!stopped) {
                stopped = true;
                status = logger.Stop();
                QCoreApplication::quit();
            }
        },
        [&] {
            // The log is opened for every entry, so the next one goes to a file of that name
            // again; it is made now, so that a rotated log is there at once.
            if (rheo::AppendToRegularFile(logFile, {})) {
                report.Tell("event log reopened: " + logFile);
            } else {
                report.Error("cannot write the event log " + logFile);
            }
        });
#if defined(_WIN32)
    std::optional<ServiceSession> service;
    if (!serviceName.empty()) {
        service.emplace(serviceName, [&requests] { requests.RequestStop(); });
    }
#endif
    if (const auto failed = logger.Start(device, logFile)) {
#if defined(_WIN32)
        if (service) {
            service->Stopped(*failed);
        }
#endif
        return *failed;
    }
#if defined(_WIN32)
    if (service) {
        service->Running();
    }
#endif
#if !defined(_WIN32)
    portMap.StartReporting(report);
#endif
    QCoreApplication::exec();
#if defined(_WIN32)
    if (service) {
        service->Stopped(status);
    }
#endif
    return status;
}
