#pragma once
#include <string_view>

#include "vocabulary/Reading.h"
#include "vocabulary/Text.h"

namespace rheo {

// Where the decoder sends what it finds: unit announcements and completed readings.
class DecoderSink {
  public:
    virtual ~DecoderSink() = default;
    virtual void ShowTemperatureUnit(const Text& unit) = 0;  // "C" or "F"
    virtual void ShowViscosityUnit(const Text& unit) = 0;    // "cP" or "mPas"
    // rawText: the characters of the message as received, for the log line of a failed row.
    virtual void RecordReading(const Reading& reading, const Text& messageDate,
                               std::string_view rawText) = 0;
};

}  // namespace rheo
