#pragma once
// Real processes for the broker tests: a child started with its arguments and its output in a
// file, a free TCP port on 127.0.0.1, and a Mosquitto broker on it.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace rheo::test {

class Child {
  public:
    // Starts `args` (found on PATH) with its standard output and error in `output`.
    Child(const std::vector<std::string>& args, const std::string& output) {
        std::vector<char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() { Stop(SIGKILL); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Running() const { return pid_ > 0; }
    // Sends `signal` and waits for the end.
    void Stop(int signal = SIGTERM) {
        if (pid_ > 0) {
            kill(pid_, signal);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

  private:
    pid_t pid_ = -1;
};

inline bool CanConnect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

inline int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// Waits up to `timeout` for `done`.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Mosquitto on 127.0.0.1 and a free port, its persistence in a folder of its own; `extra`
// lines go into its configuration (TLS, passwords). Start and Stop may be repeated: the
// broker comes back with what it had persisted.
class Broker {
  public:
    explicit Broker(const TempDir& directory, const std::string& extra = {})
        : directory_(directory), port_(FreePort()) {
        std::ofstream(directory.File("mosquitto.conf"))
            << "listener " << port_ << " 127.0.0.1\n"
            << "persistence true\npersistence_location " << directory.Path().string()
            << "/\n"
            // Started as root, the broker would become the user "mosquitto", who may not read
            // the test's files.
            << (geteuid() == 0 ? "user root\n" : "")
            << (extra.empty() ? "allow_anonymous true\n" : extra);
        Start();
    }
    void Start() {
        process_ = std::make_unique<Child>(
            std::vector<std::string>{"mosquitto", "-c", directory_.File("mosquitto.conf")},
            directory_.File("mosquitto.log"));
        WaitUntil([this] { return CanConnect(port_); }, std::chrono::seconds(10));
    }
    // SIGTERM: the broker saves its persistence on the way out.
    void Stop() {
        if (process_) {
            process_->Stop(SIGTERM);
        }
        process_.reset();
    }
    int Port() const { return port_; }
    std::string Url(const std::string& scheme = "mqtt",
                    const std::string& host = "127.0.0.1") const {
        return scheme + "://" + host + ":" + std::to_string(port_);
    }

  private:
    const TempDir& directory_;
    int port_;
    std::unique_ptr<Child> process_;
};

}  // namespace rheo::test
