// A build without the broker's client library (Windows for now): --mqtt is refused.
#include "LoggerPublishing.h"

namespace rheo::logger {

std::unique_ptr<LoggerPublishing> StartLoggerPublishing(
    const PublishingOptions&, const Configuration&, const std::function<void(const std::string&)>&,
    std::string& error) {
    error = "publishing to a broker is not built into this program";
    return nullptr;
}

}  // namespace rheo::logger
