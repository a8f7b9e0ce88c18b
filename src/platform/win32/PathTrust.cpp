#include "platform/PathTrust.h"

namespace rheo {

std::string PlaceOthersCanChange(const std::string& /*path*/, bool /*fileToo*/) {
    return std::string();
}

}  // namespace rheo
