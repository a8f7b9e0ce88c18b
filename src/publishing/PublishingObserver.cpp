#include "publishing/PublishingObserver.h"

#include "publishing/Payloads.h"

namespace rheo {

PublishingObserver::PublishingObserver(Outbox& outbox, const Configuration& configuration,
                                       const std::string& base, std::string instrument,
                                       Report report)
    : outbox_(outbox),
      configuration_(configuration),
      instrument_(std::move(instrument)),
      readingTopic_(PublishingTopic(base, instrument_, "reading")),
      eventTopic_(PublishingTopic(base, instrument_, "event")),
      report_(std::move(report)) {}

void PublishingObserver::ReadingRecorded(const RecordedReading& recorded) {
    // Copies: a held message is made after the reading and its texts are gone.
    Queue(readingTopic_,
          [this, reading = recorded.reading, date = recorded.date,
           temperatureUnit = recorded.temperatureUnit, viscosityUnit = recorded.viscosityUnit,
           when = recorded.recorded](std::int64_t seq) {
              const RecordedReading copy{reading, date, temperatureUnit, viscosityUnit, when};
              return ReadingPayload(seq, instrument_, copy, configuration_.DecimalSeparator);
          });
}

void PublishingObserver::EventLogged(EventKind kind, const Text& text) {
    const auto now = std::chrono::system_clock::now();
    Queue(eventTopic_,
          [now, kind, text](std::int64_t seq) { return EventPayload(seq, now, kind, text); });
}

void PublishingObserver::Queue(const std::string& topic,
                               std::function<std::string(std::int64_t)> payload) {
    if (held_) {
        kept_.push_back({topic, std::move(payload)});
        return;
    }
    Tell(outbox_.Add(topic, payload));
}

void PublishingObserver::Flush() {
    if (kept_.empty()) {
        return;
    }
    const std::vector<OutboxAdd> results = outbox_.AddAll(kept_);
    kept_.clear();
    for (const OutboxAdd result : results) {
        Tell(result);
    }
}

void PublishingObserver::Tell(OutboxAdd result) {
    std::string line;
    if (result == OutboxAdd::BecameFull) {
        line = "MQTT: the outbox is full (" + std::to_string(outbox_.Size()) +
               " messages); new readings and events are not published until it drains";
    } else if (result == OutboxAdd::Failed && !failing_) {
        failing_ = true;
        line = "MQTT: cannot write the outbox; readings and events are not published";
    } else if (result == OutboxAdd::Queued) {
        failing_ = false;
    }
    // Told after the outbox has answered: the report may log an event, which comes back here.
    if (!line.empty() && report_) {
        report_(line);
    }
}

}  // namespace rheo
