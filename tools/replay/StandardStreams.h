#pragma once

namespace rheo::replay {

// Bytes in, bytes out: no CR LF translation on standard input and output.
void UseBinaryStandardStreams();

}  // namespace rheo::replay
