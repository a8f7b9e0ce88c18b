#include "StandardStreams.h"

namespace rheo::replay {

// POSIX streams carry the bytes as they are.
void UseBinaryStandardStreams() {}

}  // namespace rheo::replay
