#include "publishing/Payloads.h"

#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "recording/ReadingOutput.h"
#include "vocabulary/Windows1252.h"

namespace rheo {
namespace {

using Json = nlohmann::ordered_json;

// JSON of valid UTF-8 (every Windows-1252 text converts to it); an instrument name given in
// another encoding has its bad bytes replaced rather than the message lost.
std::string Dump(const Json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The number a value's text stands for, when it is one: blanks around it, a sign, digits with
// at most one decimal separator. Error words ("Lw", "Out of Range") and empty texts are not.
bool ParseValue(std::string_view text, std::string_view decimalSeparator, Json& number) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    std::string plain;
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    bool point = false;
    bool digits = false;
    while (!text.empty()) {
        if (text.front() >= '0' && text.front() <= '9') {
            plain += text.front();
            digits = true;
            text.remove_prefix(1);
        } else if (!point && text.front() == '.') {
            point = true;
            plain += '.';
            text.remove_prefix(1);
        } else if (!point && !decimalSeparator.empty() && text.starts_with(decimalSeparator)) {
            point = true;
            plain += '.';
            text.remove_prefix(decimalSeparator.size());
        } else {
            return false;
        }
    }
    if (!digits) {
        return false;
    }
    const char* end = plain.data() + plain.size();
    if (!point) {
        std::int64_t integer = 0;
        if (std::from_chars(plain.data(), end, integer).ec == std::errc()) {
            number = negative ? -integer : integer;
            return true;
        }
    }
    double value = 0;
    if (std::from_chars(plain.data(), end, value).ec != std::errc()) {
        return false;
    }
    number = negative ? -value : value;
    return true;
}

}  // namespace

std::string PublishingTopic(std::string_view base, std::string_view instrument,
                            std::string_view leaf) {
    std::string topic(base);
    topic += '/';
    topic += instrument;
    topic += '/';
    topic += leaf;
    return topic;
}

std::string UtcTimestamp(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss clock{ms - day};
    char text[32];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

const char* EventKindName(EventKind kind) {
    switch (kind) {
        case EventKind::ProcessStart:
            return "ProcessStart";
        case EventKind::ProcessEnd:
            return "ProcessEnd";
        case EventKind::ViscosityFault:
            return "ViscosityFault";
        case EventKind::TemperatureSensorFault:
            return "TemperatureSensorFault";
        case EventKind::TemperatureOverflow:
            return "TemperatureOverflow";
        case EventKind::TemperatureUnderflow:
            return "TemperatureUnderflow";
        case EventKind::PortLost:
            return "PortLost";
        case EventKind::PortBack:
            return "PortBack";
        case EventKind::PortMapIgnored:
            return "PortMapIgnored";
        case EventKind::Publishing:
            return "Publishing";
    }
    return "";
}

std::string ReadingPayload(std::int64_t seq, std::string_view instrument,
                           const RecordedReading& recorded, std::string_view decimalSeparator) {
    static constexpr const char* kRowKeys[] = {"date",        "hour",
                                               "spindle",     "rpm",
                                               "temperature", "temperature_error",
                                               "viscosity",   "viscosity_error",
                                               "torque"};
    const RowFields fields = RowFieldsOf(recorded.reading, recorded.date);
    Json json;
    json["seq"] = seq;
    json["instrument"] = instrument;
    json["recorded"] = UtcTimestamp(recorded.recorded);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        json[kRowKeys[i]] = Windows1252ToUtf8(*fields[i]);
    }
    json["temperature_unit"] = Windows1252ToUtf8(recorded.temperatureUnit);
    json["viscosity_unit"] = Windows1252ToUtf8(recorded.viscosityUnit);
    Json values = Json::object();
    const struct {
        const char* key;
        const Text& text;
        std::string_view separator;
    } numbers[] = {
        {"rpm", recorded.reading.Rpm, "."},  // the speed keeps its point
        {"temperature", recorded.reading.Temperature, decimalSeparator},
        {"viscosity", recorded.reading.Viscosity, decimalSeparator},
        {"torque", recorded.reading.Torque, decimalSeparator},
    };
    for (const auto& number : numbers) {
        Json value;
        if (ParseValue(number.text, number.separator, value)) {
            values[number.key] = std::move(value);
        }
    }
    json["values"] = std::move(values);
    return Dump(json);
}

std::string EventPayload(std::int64_t seq, std::chrono::system_clock::time_point recorded,
                         EventKind kind, const Text& text) {
    Json json;
    json["seq"] = seq;
    json["recorded"] = UtcTimestamp(recorded);
    json["kind"] = EventKindName(kind);
    json["text"] = Windows1252ToUtf8(text);
    return Dump(json);
}

std::string OnlinePayload(std::string_view instrument, std::chrono::system_clock::time_point since,
                          std::string_view portState) {
    Json json;
    json["state"] = "online";
    json["instrument"] = instrument;
    json["since"] = UtcTimestamp(since);
    if (!portState.empty()) {
        json["port"] = portState;
    }
    return Dump(json);
}

std::string OfflinePayload() {
    return R"({"state":"offline"})";
}

}  // namespace rheo
