#include "publishing/Publishing.h"

#include "vocabulary/FileSystemPath.h"

namespace rheo {

std::unique_ptr<Publishing> Publishing::Start(const PublishingOptions& options,
                                              const std::string& instrument,
                                              const std::string& outboxDirectory,
                                              const Configuration& configuration,
                                              const MqttPublisher::Report& report,
                                              std::string& error) {
    if (!options.Check(error)) {
        return nullptr;
    }
    const std::string path =
        !options.outbox.empty()
            ? options.outbox
            : PathText(FileSystemPath(outboxDirectory) / (instrument + ".outbox"));
    auto outbox = Outbox::Open(path, error, options.outboxLimit);
    if (!outbox) {
        return nullptr;
    }
    std::unique_ptr<Publishing> publishing(
        new Publishing(std::move(outbox), options, instrument, configuration, report));
    if (!publishing->publisher_.Start(error)) {
        return nullptr;
    }
    return publishing;
}

std::unique_ptr<ProgramPublishing> ProgramPublishing::Start(const PublishingOptions& options,
                                                            const std::string& instrument,
                                                            const std::string& outboxDirectory,
                                                            const Configuration& configuration,
                                                            const Report& report,
                                                            std::string& error) {
    return Publishing::Start(options, instrument, outboxDirectory, configuration, report, error);
}

}  // namespace rheo
