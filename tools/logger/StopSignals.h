#pragma once
#include <QObject>
#include <functional>

namespace rheo::logger {

// Turns the system's requests into calls on the event loop's thread, between two events, so
// that a row being written is always finished first: SIGTERM and SIGINT call `stop`, SIGHUP
// calls `hangUp`. On Windows the console's Ctrl+C, Ctrl+Break and close (and the end of the
// session or of the system) call `stop`; Windows has no SIGHUP. One per process.
class StopSignals : public QObject {
  public:
    StopSignals(std::function<void()> stop, std::function<void()> hangUp,
                QObject* parent = nullptr);
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The clean end asked for on the event loop's thread, as by SIGTERM.
    void RequestStop();

  private:
    void Deliver(int signal);

    std::function<void()> stop_;
    std::function<void()> hangUp_;
};

}  // namespace rheo::logger
