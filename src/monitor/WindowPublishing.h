#pragma once
#include <functional>
#include <memory>
#include <string>

#include "vocabulary/Configuration.h"
#include "vocabulary/RecordingObserver.h"

namespace rheo {

// The window program's publishing to a broker: what the reading output and the event log tell
// its observer goes to the outbox and on to the broker.
class WindowPublishing {
  public:
    virtual ~WindowPublishing() = default;
    virtual RecordingObserver& Observer() = 0;
};

// Started when an administrator has placed a publishing file beside vcfg.txt. Null when there
// is none or this build cannot publish (`error` empty: nothing changes, no network), or when the
// file or the outbox is refused (`error` says why). `report` hears the publisher's problems,
// from its network thread.
std::unique_ptr<WindowPublishing> StartWindowPublishing(
    const std::string& programDirectory, const Configuration& configuration,
    const std::function<void(const std::string&)>& report, std::string& error);

}  // namespace rheo
