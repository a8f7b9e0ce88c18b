#pragma once
// Real processes for the broker tests: a child with its output in a file, and Mosquitto on
// 127.0.0.1 and a free port, with its persistence in the test's folder.
#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
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
    Child(std::vector<std::string> args, const std::string& output) {
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() { Stop(SIGKILL); }
    void Stop(int signal) {
        if (pid_ > 0) {
            kill(pid_, signal);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

  private:
    pid_t pid_ = -1;
};

inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    for (const auto end = std::chrono::steady_clock::now() + timeout; !done();) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A port on 127.0.0.1: free when `port` is 0 (then returned), accepting connections otherwise.
inline int Probe(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{
        AF_INET, htons(static_cast<std::uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    socklen_t length = sizeof address;
    const int result =
        port == 0 ? (bind(fd, raw, length), getsockname(fd, raw, &length), ntohs(address.sin_port))
                  : connect(fd, raw, length) == 0;
    close(fd);
    return result;
}

// Start and Stop (SIGTERM, which saves the persistence) may be repeated.
class Broker {
  public:
    explicit Broker(const TempDir& directory) : directory_(directory), port_(Probe(0)) {
        std::ofstream(directory.File("mosquitto.conf"))
            << "listener " << port_ << " 127.0.0.1\npersistence true\npersistence_location "
            << directory.Path().string()
            << "/\n"
            // Started as root, the broker would become "mosquitto", who may not read our files.
            << (geteuid() == 0 ? "user root\n" : "") << "allow_anonymous true\n";
        Start();
    }
    void Start() {
        process_ = std::make_unique<Child>(
            std::vector<std::string>{"mosquitto", "-c", directory_.File("mosquitto.conf")},
            directory_.File("mosquitto.log"));
        WaitUntil([this] { return Probe(port_) == 1; }, std::chrono::seconds(10));
    }
    void Stop() { process_->Stop(SIGTERM); }
    int Port() const { return port_; }
    std::string Url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }

  private:
    const TempDir& directory_;
    int port_;
    std::unique_ptr<Child> process_;
};

}  // namespace rheo::test
