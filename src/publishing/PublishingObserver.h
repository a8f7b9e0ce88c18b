#pragma once
#include <functional>
#include <string>
#include <vector>

#include "publishing/Outbox.h"
#include "vocabulary/Configuration.h"
#include "vocabulary/RecordingObserver.h"

namespace rheo {

// Turns every reading recorded and every event-log entry into a message in the outbox, on the
// topics <base>/<instrument>/reading and <base>/<instrument>/event: an insert into the local
// database and nothing else, so that the recording path never waits for the network. An
// outbox that is full, or that cannot be written, is told to `report` once (until it takes
// messages again).
class PublishingObserver : public RecordingObserver {
  public:
    using Report = std::function<void(const std::string& line)>;

    PublishingObserver(Outbox& outbox, const Configuration& configuration, const std::string& base,
                       std::string instrument, Report report);

    // While held, messages are kept and added by Flush in one transaction (a batch tool's
    // way: one flush of the disk for many readings); not held, each is added at once.
    void Hold(bool hold) { held_ = hold; }
    void Flush();

    void ReadingRecorded(const RecordedReading& recorded) override;
    void EventLogged(EventKind kind, const Text& text) override;

  private:
    void Queue(const std::string& topic, std::function<std::string(std::int64_t)> payload);
    void Tell(OutboxAdd result);

    Outbox& outbox_;
    const Configuration& configuration_;
    std::string instrument_;
    std::string readingTopic_;
    std::string eventTopic_;
    Report report_;
    bool failing_ = false;
    bool held_ = false;
    std::vector<OutboxMessage> kept_;
};

}  // namespace rheo
