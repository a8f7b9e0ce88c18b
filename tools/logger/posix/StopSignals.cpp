#include "StopSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace rheo::logger {
namespace {

// The self-pipe: the handler only writes the signal's number, the event loop reads it.
int g_pipe[2] = {-1, -1};

void OnSignal(int signal) {
    const int saved = errno;
    const char number = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &number, 1);
    errno = saved;
}

}  // namespace

StopSignals::StopSignals(std::function<void()> stop, std::function<void()> hangUp, QObject* parent)
    : QObject(parent), stop_(std::move(stop)), hangUp_(std::move(hangUp)) {
    if (::pipe(g_pipe) != 0) {
        return;
    }
    for (const int fd : g_pipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char numbers[16];
        ssize_t count = 0;
        while ((count = ::read(g_pipe[0], numbers, sizeof numbers)) > 0) {
            for (ssize_t i = 0; i < count; ++i) {
                Deliver(numbers[i]);
            }
        }
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

StopSignals::~StopSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

void StopSignals::RequestStop() {
    Deliver(SIGTERM);
}

void StopSignals::Deliver(int signal) {
    if (signal == SIGHUP) {
        if (hangUp_) {
            hangUp_();
        }
    } else if (stop_) {
        stop_();
    }
}

}  // namespace rheo::logger
