// rheotrack-logger: logs one viscometer's readings from its serial line with no window, on the
// window program's own engine, link and files, so that what it writes is byte for byte what
// the window writes for the same characters and configuration.
//
// The one place where the logger is put together, as main.cpp is for the window program.
#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <string>

#include "Logger.h"
#include "LoggerOptions.h"
#include "StderrReport.h"
#include "StopSignals.h"
#include "app/ConfigurationFile.h"
#include "app/PortMap.h"
#include "platform/Clock.h"
#include "platform/ProgramLocation.h"
#include "platform/RegularFile.h"
#include "platform/posix/FileRegistry.h"
#include "platform/qt/QtSerialLink.h"
#include "recording/EventLog.h"

int main(int argc, char** argv) {
    using namespace rheo::logger;
    std::string error;
    bool help = false;
    const auto options = ParseLoggerOptions(argc, argv, error, help);
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

    LoggerOptions effective = *options;
    if (effective.instrument.empty()) {
        effective.instrument = std::filesystem::path(device).filename().string();
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
        // The service's state folder, which systemd names; else the per-user data folder.
        const QString state = qEnvironmentVariable("STATE_DIRECTORY").section(':', 0, 0);
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
    if (const auto failed = logger.Start(device, logFile)) {
        return *failed;
    }
    portMap.StartReporting(report);
    QCoreApplication::exec();
    return status;
}
