#include "monitor/WindowPublishing.h"

#include <QString>
#include <QSysInfo>

#include "platform/ProgramLocation.h"
#include "publishing/Publishing.h"

namespace rheo {
namespace {

class PublishingOfTheWindow : public WindowPublishing {
  public:
    explicit PublishingOfTheWindow(std::unique_ptr<Publishing> publishing)
        : publishing_(std::move(publishing)) {}
    RecordingObserver& Observer() override { return publishing_->Observer(); }

  private:
    std::unique_ptr<Publishing> publishing_;
};

}  // namespace

std::unique_ptr<WindowPublishing> StartWindowPublishing(
    const std::string& programDirectory, const Configuration& configuration,
    const std::function<void(const std::string&)>& report, std::string& error) {
    const std::string file = FindPublishingFile(ExecutableDirectory(), programDirectory);
    if (file.empty()) {
        return nullptr;  // no publishing, no network
    }
    auto options = ReadPublishingFile(file, error);
    if (!options) {
        return nullptr;
    }
    const std::string instrument = options->instrument.empty()
                                       ? QSysInfo::machineHostName().toStdString()
                                       : options->instrument;
    auto publishing =
        Publishing::Start(*options, instrument, programDirectory, configuration, report, error);
    if (!publishing) {
        return nullptr;
    }
    return std::make_unique<PublishingOfTheWindow>(std::move(publishing));
}

}  // namespace rheo
