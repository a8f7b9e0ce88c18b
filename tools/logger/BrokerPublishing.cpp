#include "LoggerPublishing.h"

#include "publishing/Publishing.h"

namespace rheo::logger {
namespace {

class BrokerPublishing : public LoggerPublishing {
  public:
    explicit BrokerPublishing(std::unique_ptr<Publishing> publishing)
        : publishing_(std::move(publishing)) {}
    RecordingObserver& Observer() override { return publishing_->Observer(); }
    void SetPortState(const char* state) override { publishing_->Publisher().SetPortState(state); }

  private:
    std::unique_ptr<Publishing> publishing_;
};

}  // namespace

std::unique_ptr<LoggerPublishing> StartLoggerPublishing(
    const PublishingOptions& options, const Configuration& configuration,
    const std::function<void(const std::string&)>& report, std::string& error) {
    auto publishing =
        Publishing::Start(options, options.instrument, {}, configuration, report, error);
    if (!publishing) {
        return nullptr;
    }
    return std::make_unique<BrokerPublishing>(std::move(publishing));
}

}  // namespace rheo::logger
