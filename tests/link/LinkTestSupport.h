#pragma once
// Pieces of the link tests: pseudo-terminal pairs made by socat, waiting in the event loop, the
// host window's side of the link, and a store in a temporary system configuration directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/Engine.h"
#include "app/SettingsStore.h"
#include "core/TestSupport.h"
#include "link/PortSelection.h"
#include "link/Reception.h"
#include "platform/LiveSessionFile.h"
#include "platform/posix/FileRegistry.h"
#include "platform/qt/QtSerialLink.h"

namespace rheo {

inline void PrintTo(const PortMarks& marks, std::ostream* out) {
    *out << '"' << marks.buttonCaption << '"';
    for (const auto& entry : marks.entries) {
        *out << " [" << entry.text << (entry.enabled ? "" : ", disabled") << ']';
    }
}

}  // namespace rheo

namespace rheo::test {

// Runs the event loop for a while, sleeping in it when there is nothing to do.
inline void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    for (int waited = 0; !done(); waited += 5) {
        if (waited > timeoutMs) {
            return false;
        }
        Wait(5);
    }
    return true;
}

// A serial line made of two pseudo-terminals joined by socat: what is sent at the instrument's
// end arrives at the program's end byte for byte.
class PtyPair {
  public:
    PtyPair(const std::filesystem::path& directory, const std::string& name)
        : device((directory / (name + "-device")).string()) {
        const std::string instrument = (directory / (name + "-instrument")).string();
        socat.start("socat", {QString::fromStdString("pty,raw,echo=0,link=" + instrument),
                              QString::fromStdString("pty,raw,echo=0,link=" + device)});
        WaitUntil(
            [&] { return std::filesystem::exists(device) && std::filesystem::exists(instrument); });
        fd = ::open(instrument.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~PtyPair() { Kill(); }

    // Far less than a pseudo-terminal holds: written whole at once.
    bool Send(std::string_view bytes) const {
        return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // What the program has written so far, as read at the instrument's end.
    std::string Receive() const {
        char buffer[512];
        pollfd watch{fd, POLLIN, 0};
        const ssize_t n = ::poll(&watch, 1, 0) > 0 ? ::read(fd, buffer, sizeof buffer) : 0;
        return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    // The other end goes away, as when the instrument's adapter is pulled.
    void Kill() {
        socat.terminate();
        socat.waitForFinished();
        ::close(std::exchange(fd, -1));  // a second time closes nothing
    }

    const std::string device;  // the program's end
    QProcess socat;
    int fd = -1;  // the instrument's end
};

// A message box of the program: its title, no icon, an OK button.
inline void ExpectBox(const ShownMessage& box, const std::string& text) {
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.title, "RHEOTRACKPANEL");
    EXPECT_EQ(box.icon, MessageIcon::None);
    EXPECT_EQ(box.buttons, MessageButtons::Ok);
}

// The host window's side of the link, wired as the program wires it: the link's notification
// feeds reception or reports the lost device to port selection, and a 100 ms timer ticks
// reception into the engine and paces the attempts to open a lost port again.
struct Station {
    Station(Registry& store, const std::string& logFile)
        : log(logFile, clock),
          engine(configuration, clock, log, file, view, boxes),
          link(MappedDevices(store)),
          reception(link, [this](std::string_view text) { return engine.Feed(text); }),
          selection(link, view, PortStore(store), boxes, log) {
        link.SetNotification([this](LinkEvent kind) {
            if (kind == LinkEvent::LinkLost) {
                ++losses;
                selection.LinkLost();
            } else {
                reception.OnReceive(kind);
            }
        });
        QObject::connect(&timer, &QTimer::timeout, [this] {
            reception.Tick();
            selection.Tick();
        });
    }
    std::vector<Reading> Readings() const {
        const auto& history = engine.Output().History();
        return {history.ReadingSlots.begin(), history.ReadingSlots.begin() + history.HistoryIndex};
    }

    Configuration configuration;
    FixedClock clock{"06/12/2026", "17:00:00"};
    EventLog log;
    LiveSessionFile file;
    RecordingView view;
    ScriptedBoxes boxes;
    Engine engine;
    QtSerialLink link;
    Reception reception;
    PortSelection selection;
    QTimer timer;
    int losses = 0;
};

// A temporary system configuration directory with its store, and pseudo-terminal pairs whose
// program ends are mapped to port numbers there ("Port<N>"), as an operator maps real devices.
class LinkTest : public ::testing::Test {
  protected:
    PtyPair& Pair(int number) {
        pairs_.push_back(std::make_unique<PtyPair>(dir_.Path(), "port" + std::to_string(number)));
        EXPECT_GE(pairs_.back()->fd, 0) << "socat pseudo-terminal pair";
        MapPort(number, pairs_.back()->device);
        return *pairs_.back();
    }
    void Put(const std::string& name, std::uint32_t type, const std::string& data) {
        RegKey key = 0;
        ASSERT_EQ(store_.CreateKey(kHkeyLocalMachine, kSettingsKeyPath, key), 0);
        EXPECT_EQ(
            store_.SetValue(key, name, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                            static_cast<std::uint32_t>(data.size())),
            0);
        store_.CloseKey(key);
    }
    // Text as a registry editor stores it: with its terminating zero.
    void SetText(const std::string& name, const std::string& text) {
        Put(name, kRegSz, text + '\0');
    }
    SettingValue Read(const std::string& name = kPortValueName) {
        return ReadSetting(store_, kHkeyLocalMachine, kSettingsKeyPath, name);
    }
    void MapPort(int number, const std::string& device) {
        SetText("Port" + std::to_string(number), device);
    }
    std::string StoreText() const { return ReadFile(store_.File()); }
    // The readings the engine makes of a stream fed to it directly.
    std::vector<Reading> Decoded(const std::string& stream) {
        Station reference(store_, dir_.File("reference.txt"));
        reference.engine.Feed(stream);
        return reference.Readings();
    }

    TempDir dir_;
    // The machine-wide store is <dir_>/rheotrackpanel/settings, for the processes started too.
    bool configDirsSet_ = ::setenv("XDG_CONFIG_DIRS", dir_.Path().c_str(), 1) == 0;
    FileRegistry store_;
    std::vector<std::unique_ptr<PtyPair>> pairs_;
};

}  // namespace rheo::test
