#include "StopSignals.h"

#include <signal.h>

namespace rheo::sim {

void InstallStopHandlers(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a blocked write returns at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);  // a closed reader shows as EPIPE on the write
}

}  // namespace rheo::sim
