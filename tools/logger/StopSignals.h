#pragma once
#include <QObject>
#include <functional>

namespace rheo::logger {

// Turns the system's requests into calls on the event loop's thread, between two events, so
// that a row being written is always finished first: SIGTERM and SIGINT call `stop`, SIGHUP
// calls `hangUp`. One per process.
class StopSignals : public QObject {
  public:
    StopSignals(std::function<void()> stop, std::function<void()> hangUp,
                QObject* parent = nullptr);
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    void Deliver(int signal);

    std::function<void()> stop_;
    std::function<void()> hangUp_;
};

}  // namespace rheo::logger
