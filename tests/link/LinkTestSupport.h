#pragma once
// Pieces of the link tests: socat pseudo-terminal pairs, the host window's side of the link,
// and a store in a temporary system configuration directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QtCore/qtestsupport_core.h>
#include <QProcess>
#include <QTimer>
#include <memory>

#include <sys/stat.h>

#include "app/Engine.h"
#include "app/PortMap.h"
#include "app/SettingsStore.h"
#include "link/PortSelection.h"
#include "link/Reception.h"
#include "platform/LiveSessionFile.h"
#include "platform/posix/FileRegistry.h"
#include "platform/qt/QtSerialLink.h"
#include "support/Fakes.h"

namespace rheo::test {

// Two pseudo-terminals joined by socat: `fd` is the instrument's end, `device` the program's.
struct PtyPair {
    PtyPair(const std::filesystem::path& directory, const std::string& name)
        : device((directory / (name + "-device")).string()) {
        const std::string instrument = (directory / (name + "-instrument")).string();
        socat.start("socat", {QString::fromStdString("pty,raw,echo=0,link=" + instrument),
                              QString::fromStdString("pty,raw,echo=0,link=" + device)});
        (void)QTest::qWaitFor(
            [&] { return std::filesystem::exists(device) && std::filesystem::exists(instrument); });
        fd = ::open(instrument.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~PtyPair() {  // the adapter pulled
        socat.terminate();
        socat.waitForFinished();
        ::close(fd);
    }
    bool Send(std::string_view bytes) const {  // far less than a pseudo-terminal holds
        return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    std::string Receive() const {
        char buffer[512];
        pollfd watch{fd, POLLIN, 0};
        const ssize_t n = ::poll(&watch, 1, 0) > 0 ? ::read(fd, buffer, sizeof buffer) : 0;
        return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    }

    const std::string device;
    QProcess socat;
    int fd = -1;
};

// The host window's side of the link, wired as the program wires it: the notification feeds
// reception or reports the lost device, and a 100 ms timer ticks both.
struct Station {
    Station(Registry& store, PortMap& portMap, const std::string& logFile)
        : log(logFile, clock),
          engine(configuration, clock, log, file, view, boxes, history),
          link(portMap.Devices()),
          reception(link, [this](std::string_view text) { return engine.Feed(text); }),
          selection(link, view, PortStore(store), boxes, log) {
        link.SetNotification([this](LinkEvent kind) {
            kind == LinkEvent::LinkLost ? selection.LinkLost() : reception.OnReceive(kind);
        });
        QObject::connect(&timer, &QTimer::timeout, [this] {
            reception.Tick();
            selection.Tick();
        });
    }

    Configuration configuration;
    FixedClock clock{"06/12/2026", "17:00:00"};
    EventLog log;
    LiveSessionFile file;
    RecordingView view;
    ScriptedBoxes boxes;
    ReadingHistory history;
    Engine engine;
    QtSerialLink link;
    Reception reception;
    PortSelection selection;
    QTimer timer;
};

// A store in a temporary system configuration directory (for started processes too), and
// pseudo-terminal pairs mapped there to port numbers ("Port<N>").
class LinkTest : public ::testing::Test {
  protected:
    PtyPair& Pair(int number) {
        pairs_.push_back(std::make_unique<PtyPair>(dir_.Path(), "port" + std::to_string(number)));
        EXPECT_GE(pairs_.back()->fd, 0) << "socat pseudo-terminal pair";
        MapPort(number, pairs_.back()->device);
        return *pairs_.back();
    }
    // The administrator's mapping: the port map file, which only its owner may write.
    void MapPort(int number, const std::string& device) {
        Put(portMapFile_, "Port" + std::to_string(number), kRegSz, device + '\0');
        ::chmod(portMapFile_.File().c_str(), 0644);
    }
    static void Put(FileRegistry& store, const std::string& name, std::uint32_t type,
                    const std::string& data) {
        RegKey key = 0;
        ASSERT_EQ(store.CreateKey(kHkeyLocalMachine, kSettingsKeyPath, key), 0);
        EXPECT_EQ(
            store.SetValue(key, name, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                           static_cast<std::uint32_t>(data.size())),
            0);
        store.CloseKey(key);
    }
    SettingValue Read(const std::string& name = kPortValueName) {
        return ReadSetting(store_, kHkeyLocalMachine, kSettingsKeyPath, name);
    }
    std::string StoreText() const { return ReadFile(store_.File()); }

    TempDir dir_;
    bool configDirsSet_ = ::setenv("XDG_CONFIG_DIRS", dir_.Path().c_str(), 1) == 0;
    FileRegistry store_;
    FileRegistry portMapFile_{FileRegistry::PortMapFile()};
    PortMap portMap_{{{portMapFile_, portMapFile_.File()}, {store_, store_.File()}}};
    std::vector<std::unique_ptr<PtyPair>> pairs_;
};

}  // namespace rheo::test
