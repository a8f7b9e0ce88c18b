#pragma once
#include <functional>
#include <string>
#include <vector>

namespace rheo::logger {

// The logger as a Windows service. The Service Control Manager starts it as
// "rheotrack-logger.exe --service NAME OPTIONS...", at boot, with no console.

// Registers the service NAME to run the logger with these options (their file and folder names
// made absolute, since a service starts in the system folder). The exit status: 0 registered,
// 1 refused by the Service Control Manager (the reason on standard error).
int InstallService(const std::string& name, std::vector<std::string> options);
// Stops the service NAME if it runs, then removes it. The exit status as for InstallService.
int RemoveService(const std::string& name);

// The link to the Service Control Manager while the logger runs as the service NAME: its
// dispatcher runs on a thread of its own, and the manager's stop request (and the system's
// shutdown) becomes `stop` on the event loop's thread, the same clean end as SIGTERM.
class ServiceSession {
  public:
    ServiceSession(const std::string& name, std::function<void()> stop);
    ~ServiceSession();
    ServiceSession(const ServiceSession&) = delete;
    ServiceSession& operator=(const ServiceSession&) = delete;

    // Whether the manager took the process as its service (false when started by hand).
    bool Connected() const { return connected_; }
    // The logger runs: the manager is told.
    void Running();
    // The logger has ended with this exit status: the manager is told, the dispatcher ends.
    void Stopped(int status);

  private:
    bool connected_ = false;
    bool stopped_ = false;
};

}  // namespace rheo::logger
