// The published JSON: a reading's texts are its session-file row, in UTF-8; every byte of an
// event's text survives the JSON; numbers only where the text is one.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "publishing/Payloads.h"
#include "recording/ReadingOutput.h"
#include "vocabulary/Windows1252.h"

namespace rheo {
namespace {

using Json = nlohmann::json;
using namespace std::chrono;

const system_clock::time_point kRecorded = sys_days{2026y / December / 5} + 14h + 5min + 33s + 7ms;

Json Payload(const Reading& reading, const Configuration& configuration, const Text& tUnit = "C",
             const Text& vUnit = "cP") {
    const Text date = "05/12/2026";
    return Json::parse(ReadingPayload(42, "visco-1", {reading, date, tUnit, vUnit, kRecorded},
                                      configuration.DecimalSeparator));
}

TEST(ReadingPayload, TheNineTextsAreTheSessionFileRowAndTheNumbersParse) {
    Configuration configuration;
    configuration.FieldSeparator = ";";
    configuration.DecimalSeparator = ",";
    // A byte of the code page's own (0xB5, micro sign) and an error word among the values.
    const Reading reading{"", "14:05:33", "L\xB5P", "100.5", "27,5", "", "00001250", "", "Hih"};
    const Json json = Payload(reading, configuration);

    Text joined;
    for (const char* key : {"date", "hour", "spindle", "rpm", "temperature", "temperature_error",
                            "viscosity", "viscosity_error", "torque"}) {
        joined += (joined.empty() ? "" : ";") + Utf8ToWindows1252(json[key].get<std::string>());
    }
    EXPECT_EQ(joined, RowLine(configuration, reading, "05/12/2026"));
    EXPECT_EQ(json["spindle"], "L\u00B5P");
    EXPECT_EQ(json["seq"], 42);
    EXPECT_EQ(json["instrument"], "visco-1");
    EXPECT_EQ(json["recorded"], "2026-12-05T14:05:33.007Z");
    EXPECT_EQ(json["temperature_unit"], "C");
    EXPECT_EQ(json["viscosity_unit"], "cP");
    // The speed keeps its point whatever the separator; the torque's error word is no number.
    EXPECT_EQ(json["values"], Json::parse(R"({"rpm":100.5,"temperature":27.5,"viscosity":1250})"));
}

TEST(ReadingPayload, ValuesLeaveOutEmptyTextsAndErrorWords) {
    const Configuration configuration;
    const Reading reading{"", "14:05:33", "LCP", "", "---", "Lw", "Out of Range", "", "-3.25"};
    const Json json = Payload(reading, configuration, "", "");
    EXPECT_EQ(json["values"], Json::parse(R"({"torque":-3.25})"));
    EXPECT_EQ(json["temperature_unit"], "");
    EXPECT_EQ(json["temperature_error"], "Lw");
}

TEST(EventPayload, EveryByteOfTheTextSurvivesAndControlsAreEscaped) {
    Text all;
    for (int byte = 0; byte < 256; ++byte) {
        all.push_back(static_cast<char>(byte));
    }
    const std::string payload = EventPayload(7, kRecorded, EventKind::ViscosityFault, all);
    for (unsigned char byte : payload) {
        EXPECT_GE(byte, 0x20) << "a raw control character in the JSON";
    }
    EXPECT_NE(payload.find(R"(\u0000)"), std::string::npos);
    EXPECT_NE(payload.find(R"(\u001f)"), std::string::npos);
    EXPECT_NE(payload.find(R"(\n\u000b\f\r)"), std::string::npos);
    const Json json = Json::parse(payload);
    EXPECT_EQ(Utf8ToWindows1252(json["text"].get<std::string>()), all);
    EXPECT_EQ(json["kind"], "ViscosityFault");
}

}  // namespace
}  // namespace rheo
