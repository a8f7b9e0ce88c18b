#pragma once
// Synthetic serial-line traffic from the viscometer, for measuring the engine: mostly complete
// three-line messages with varying values, some carrying the instrument's error words, with
// line noise and cut-off messages in between.
#include <cstddef>
#include <string>
#include <vector>

#include "vocabulary/Reading.h"

namespace rheo::bench {

struct InstrumentStream {
    std::string bytes;
    std::size_t messages = 0;  // complete messages written (some may be spoilt by the noise after)
};

// About `size` bytes of traffic; the same bytes on every call with the same size.
InstrumentStream MakeInstrumentStream(std::size_t size);

// Varied readings as the decoder hands them to the reading output.
std::vector<Reading> MakeReadings(std::size_t count);

}  // namespace rheo::bench
