#pragma once
// Pieces of the auxiliary-window tests: waiting in the event loop, environment variables set
// for one test, programs started as real processes, and a serial line made of two
// pseudo-terminals joined by socat.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/TestSupport.h"

extern char** environ;

namespace rheo::test {

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

// Sets (or, with nullopt, removes) environment variables until the end of the scope.
class ScopedEnvironment {
  public:
    explicit ScopedEnvironment(const std::map<std::string, std::optional<std::string>>& values) {
        for (const auto& [name, value] : values) {
            const char* old = std::getenv(name.c_str());
            old_[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
            Set(name, value);
        }
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value] : old_) {
            Set(name, value);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    static void Set(const std::string& name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
    std::map<std::string, std::optional<std::string>> old_;
};

// Starts a program with this process's environment; its output goes to outputFile, or is
// thrown away when that is empty.
inline pid_t Spawn(const std::vector<std::string>& arguments, const std::string& outputFile = {}) {
    std::vector<char*> argv;
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = outputFile.empty() ? "/dev/null" : outputFile;
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for a process to end; its exit status, or -1 when it did not end in time (it is then
// killed) or ended by a signal.
inline int WaitExit(pid_t pid, int timeoutMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (clock.elapsed() > timeoutMs) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        ::usleep(5000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// An executable shell script in the directory.
inline std::string WriteScript(const TempDir& directory, const std::string& name,
                               const std::string& body) {
    const std::string path = directory.File(name);
    WriteFile(path, "#!/bin/sh\n" + body);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

// A serial line made of two pseudo-terminals joined by socat: Device() is the program's end;
// what the program writes there is read at the instrument's end.
class PtyPair {
  public:
    explicit PtyPair(const TempDir& directory)
        : device_(directory.File("port-device")), instrument_(directory.File("port-instrument")) {
        pid_ = Spawn(
            {"socat", "pty,raw,echo=0,link=" + instrument_, "pty,raw,echo=0,link=" + device_});
        WaitUntil([&] {
            return std::filesystem::exists(device_) && std::filesystem::exists(instrument_);
        });
        instrumentFd_ = ::open(instrument_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    }
    ~PtyPair() {
        if (instrumentFd_ >= 0) {
            ::close(instrumentFd_);
        }
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ready() const { return pid_ > 0 && instrumentFd_ >= 0; }
    const std::string& Device() const { return device_; }

    // Whatever has arrived at the instrument's end so far.
    std::string Drain() {
        std::string received;
        char buffer[512];
        for (;;) {
            const ssize_t n = ::read(instrumentFd_, buffer, sizeof buffer);
            if (n <= 0) {
                return received;
            }
            received.append(buffer, static_cast<std::size_t>(n));
        }
    }

  private:
    std::string device_;
    std::string instrument_;
    pid_t pid_ = -1;
    int instrumentFd_ = -1;
};

}  // namespace rheo::test
