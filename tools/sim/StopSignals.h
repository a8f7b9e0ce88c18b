#pragma once

namespace rheo::sim {

// Calls the handler on SIGINT and SIGTERM. On POSIX systems a write that such a signal
// interrupts returns at once (no restart), and a reader that went away shows as a failed write
// (EPIPE) instead of ending the process.
void InstallStopHandlers(void (*handler)(int));

}  // namespace rheo::sim
