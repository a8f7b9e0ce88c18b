#pragma once
// The messages published for one instrument: UTF-8 JSON, one object per message.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "vocabulary/EventLogger.h"
#include "vocabulary/RecordingObserver.h"
#include "vocabulary/Text.h"

namespace rheo {

// "<base>/<instrument>/<leaf>", the leaf being "reading", "event" or "status".
std::string PublishingTopic(std::string_view base, std::string_view instrument,
                            std::string_view leaf);

// ISO 8601 in UTC with milliseconds: "2026-12-05T14:05:33.250Z".
std::string UtcTimestamp(std::chrono::system_clock::time_point time);

// The name of an event kind as the log's vocabulary has it ("ViscosityFault").
const char* EventKindName(EventKind kind);

// A reading: seq, instrument, recorded, the nine texts of its session-file row (converted from
// Windows-1252), the units and, under "values", the numbers among rpm, temperature, viscosity
// and torque whose texts parse (`decimalSeparator` standing for the point).
std::string ReadingPayload(std::int64_t seq, std::string_view instrument,
                           const RecordedReading& recorded, std::string_view decimalSeparator);

// An event-log entry: seq, recorded, kind, text (the text after the kind's own).
std::string EventPayload(std::int64_t seq, std::chrono::system_clock::time_point recorded,
                         EventKind kind, const Text& text);

// The retained status: {"state":"online",...} with the port state when there is one, or
// {"state":"offline"}.
std::string OnlinePayload(std::string_view instrument, std::chrono::system_clock::time_point since,
                          std::string_view portState);
std::string OfflinePayload();

}  // namespace rheo
