#pragma once
#include <functional>
#include <memory>
#include <string>

#include "publishing/PublishingOptions.h"
#include "vocabulary/Configuration.h"
#include "vocabulary/RecordingObserver.h"

namespace rheo::logger {

// The logger's publishing to a broker: what the reading output and the event log tell its
// observer goes to the outbox and on to the broker, with the port's state on the status topic.
class LoggerPublishing {
  public:
    virtual ~LoggerPublishing() = default;
    virtual RecordingObserver& Observer() = 0;
    virtual void SetPortState(const char* state) = 0;
};

// Null with `error` when the options or the outbox are refused, or this build cannot publish.
// `report` hears the publisher's problems, from its network thread.
std::unique_ptr<LoggerPublishing> StartLoggerPublishing(
    const PublishingOptions& options, const Configuration& configuration,
    const std::function<void(const std::string&)>& report, std::string& error);

}  // namespace rheo::logger
