#include "StopSignals.h"

#include <csignal>

namespace rheo::sim {

void InstallStopHandlers(void (*handler)(int)) {
    std::signal(SIGINT, handler);
    std::signal(SIGTERM, handler);
}

}  // namespace rheo::sim
