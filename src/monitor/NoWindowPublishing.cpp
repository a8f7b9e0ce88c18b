// A build without the publishing library: the window program never publishes.
#include "monitor/WindowPublishing.h"

namespace rheo {

std::unique_ptr<WindowPublishing> StartWindowPublishing(
    const std::string&, const Configuration&, const std::function<void(const std::string&)>&,
    std::string& error) {
    error.clear();
    return nullptr;
}

}  // namespace rheo
