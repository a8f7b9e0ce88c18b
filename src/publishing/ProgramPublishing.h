#pragma once
#include <functional>
#include <memory>
#include <string>

#include "publishing/PublishingOptions.h"
#include "vocabulary/Configuration.h"
#include "vocabulary/RecordingObserver.h"

namespace rheo {

// A program's publishing to a broker, as the window program and the logger hold it: what the
// reading output and the observed event log tell its observer goes to the outbox and on to the
// broker, with the port's state on the status topic.
class ProgramPublishing {
  public:
    using Report = std::function<void(const std::string& line)>;

    virtual ~ProgramPublishing() = default;
    virtual RecordingObserver& Observer() = 0;
    // "open", "lost" or "closed", told on the status topic from the next connection on.
    virtual void SetPortState(const char* state) = 0;

    // Publishing started from `options` for `instrument`: the outbox is options.outbox, or
    // <instrument>.outbox in `outboxDirectory`. Null with `error` when the options or the outbox
    // are refused, or when this build cannot publish. `report` hears the publisher's and the
    // outbox's problems, from the publisher's network thread.
    static std::unique_ptr<ProgramPublishing> Start(const PublishingOptions& options,
                                                    const std::string& instrument,
                                                    const std::string& outboxDirectory,
                                                    const Configuration& configuration,
                                                    const Report& report, std::string& error);
};

}  // namespace rheo
