#pragma once
#include "vocabulary/Reading.h"
#include "vocabulary/Text.h"

namespace rheo {

// Where the decoder sends what it finds: unit announcements and completed readings.
class DecoderSink {
  public:
    virtual ~DecoderSink() = default;
    virtual void ShowTemperatureUnit(const Text& unit) = 0;  // "C" or "F"
    virtual void ShowViscosityUnit(const Text& unit) = 0;    // "cP" or "mPas"
    virtual void RecordReading(const Reading& reading, const Text& messageDate) = 0;
};

}  // namespace rheo
