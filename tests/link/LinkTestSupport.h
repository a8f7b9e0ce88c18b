#pragma once
// Pieces of the link tests: pseudo-terminal pairs made by socat, waiting in the event loop,
// a store in a temporary system configuration directory, and the process's CPU time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/Engine.h"
#include "app/SettingsStore.h"
#include "core/TestSupport.h"
#include "link/PortSelection.h"
#include "link/Reception.h"
#include "platform/LiveSessionFile.h"
#include "platform/posix/FileRegistry.h"
#include "platform/qt/QtSerialLink.h"

extern char** environ;

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
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        Wait(5);
    }
    return true;
}

// User plus system CPU time of this process, in seconds.
inline double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Starts a program with this process's environment, its output thrown away.
inline pid_t Spawn(const std::vector<std::string>& arguments, bool quiet = true) {
    std::vector<char*> argv;
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

inline void Stop(pid_t& pid) {
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
}

// A serial line made of two pseudo-terminals joined by socat: Device() is the program's end,
// and what is sent at the instrument's end arrives there byte for byte.
class PtyPair {
  public:
    PtyPair(const std::filesystem::path& directory, const std::string& name)
        : device_((directory / (name + "-device")).string()),
          instrument_((directory / (name + "-instrument")).string()) {
        pid_ = Spawn(
            {"socat", "pty,raw,echo=0,link=" + instrument_, "pty,raw,echo=0,link=" + device_});
        QElapsedTimer clock;
        clock.start();
        while (pid_ > 0 && clock.elapsed() < 5000 &&
               !(std::filesystem::exists(device_) && std::filesystem::exists(instrument_))) {
            ::usleep(10000);
        }
        instrumentFd_ = ::open(instrument_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~PtyPair() { Kill(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ready() const { return pid_ > 0 && instrumentFd_ >= 0; }
    const std::string& Device() const { return device_; }

    bool Send(std::string_view bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(instrumentFd_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // What the program wrote, as read at the instrument's end.
    std::string Receive(std::size_t count, int timeoutMs = 2000) {
        std::string received;
        QElapsedTimer clock;
        clock.start();
        while (received.size() < count && clock.elapsed() < timeoutMs) {
            pollfd watch{instrumentFd_, POLLIN, 0};
            char buffer[512];
            if (::poll(&watch, 1, 10) > 0) {
                const ssize_t n = ::read(instrumentFd_, buffer, sizeof buffer);
                if (n > 0) {
                    received.append(buffer, static_cast<std::size_t>(n));
                }
            }
            QCoreApplication::processEvents();
        }
        return received;
    }

    // The other end goes away, as when the instrument's adapter is pulled.
    void Kill() {
        Stop(pid_);
        if (instrumentFd_ >= 0) {
            ::close(instrumentFd_);
            instrumentFd_ = -1;
        }
    }

  private:
    std::string device_;
    std::string instrument_;
    pid_t pid_ = -1;
    int instrumentFd_ = -1;
};

// Points the machine-wide store at <directory>/rheotrackpanel/settings for this process and
// the processes it starts.
class ScopedConfigDirs {
  public:
    explicit ScopedConfigDirs(const std::string& directory) {
        if (const char* old = std::getenv("XDG_CONFIG_DIRS")) {
            old_ = old;
            hadOld_ = true;
        }
        ::setenv("XDG_CONFIG_DIRS", directory.c_str(), 1);
    }
    ~ScopedConfigDirs() {
        if (hadOld_) {
            ::setenv("XDG_CONFIG_DIRS", old_.c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_DIRS");
        }
    }

  private:
    std::string old_;
    bool hadOld_ = false;
};

// The host window's side of the link, wired as the program wires it: the link's notification
// feeds reception or reports the lost device to port selection, and a 100 ms timer ticks
// reception into the engine.
struct Station {
    Station(Registry& store, const std::string& logFile)
        : log(logFile, clock),
          engine(configuration, clock, log, file, view, boxes),
          link(store),
          reception(link, engine),
          selection(link, view, store, boxes) {
        link.SetNotification([this](LinkEvent kind) {
            if (kind == LinkEvent::LinkLost) {
                ++losses;
                selection.LinkLost();
            } else {
                reception.OnReceive(kind);
            }
        });
        QObject::connect(&timer, &QTimer::timeout, [this] { reception.Tick(); });
    }
    std::vector<Reading> Readings() const {
        const auto& history = engine.output().History();
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
        EXPECT_TRUE(pairs_.back()->Ready()) << "socat pseudo-terminal pair";
        MapPort(number, pairs_.back()->Device());
        return *pairs_.back();
    }
    // Text values as a registry editor stores them: with their terminating zero.
    void SetText(const std::string& name, const std::string& text) {
        RegKey key = 0;
        ASSERT_EQ(store_.CreateKey(kHkeyLocalMachine, kSettingsKeyPath, key), 0);
        const std::string data = text + '\0';
        ASSERT_EQ(
            store_.SetValue(key, name, kRegSz, reinterpret_cast<const std::uint8_t*>(data.data()),
                            static_cast<std::uint32_t>(data.size())),
            0);
        store_.CloseKey(key);
    }
    void MapPort(int number, const std::string& device) {
        SetText("Port" + std::to_string(number), device);
    }
    std::string StoreText() const { return ReadFile(store_.File()); }

    TempDir dir_;
    ScopedConfigDirs dirs_{dir_.Path().string()};
    FileRegistry store_;
    std::vector<std::unique_ptr<PtyPair>> pairs_;
};

// This test program started again to hold port <number> open, as another program would.
// Returns its pid once it holds the port, or -1.
pid_t HoldPortInOtherProcess(int number);

}  // namespace rheo::test
