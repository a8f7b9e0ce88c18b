// A build without the broker's client library: publishing is refused with the reason.
#include "publishing/ProgramPublishing.h"

namespace rheo {

std::unique_ptr<ProgramPublishing> ProgramPublishing::Start(const PublishingOptions&,
                                                            const std::string&, const std::string&,
                                                            const Configuration&, const Report&,
                                                            std::string& error) {
    error = "publishing to a broker is not built into this program";
    return nullptr;
}

}  // namespace rheo
