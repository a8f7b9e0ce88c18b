#pragma once
#include <memory>
#include <string>

#include "publishing/MqttPublisher.h"
#include "publishing/Outbox.h"
#include "publishing/ProgramPublishing.h"
#include "publishing/PublishingObserver.h"

namespace rheo {

// Publishing put together from its options, for the programs that publish: the outbox, the
// observer to add to the reading output and to the observed event log, and the publisher,
// started. Ending it stops the publisher (status "offline") and closes the outbox.
class Publishing : public ProgramPublishing {
  public:
    // The outbox is options.outbox, or <instrument>.outbox in `outboxDirectory`. nullptr with
    // `error` when the options are refused or the outbox cannot be opened; `report` hears the
    // publisher's and the outbox's problems (see MqttPublisher and PublishingObserver).
    static std::unique_ptr<Publishing> Start(const PublishingOptions& options,
                                             const std::string& instrument,
                                             const std::string& outboxDirectory,
                                             const Configuration& configuration,
                                             const MqttPublisher::Report& report,
                                             std::string& error);

    PublishingObserver& Observer() override { return observer_; }
    void SetPortState(const char* state) override { publisher_.SetPortState(state); }
    MqttPublisher& Publisher() { return publisher_; }
    Outbox& Messages() { return *outbox_; }

  private:
    Publishing(std::unique_ptr<Outbox> outbox, const PublishingOptions& options,
               const std::string& instrument, const Configuration& configuration,
               const MqttPublisher::Report& report)
        : outbox_(std::move(outbox)),
          observer_(*outbox_, configuration, options.base, instrument, report),
          publisher_(options, instrument, *outbox_, report) {}

    std::unique_ptr<Outbox> outbox_;
    PublishingObserver observer_;
    MqttPublisher publisher_;  // last: it stops first
};

}  // namespace rheo
