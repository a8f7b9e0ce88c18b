// The decoder against the instrument's messages, well-formed and broken.
#include "decoder/Decoder.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace rheo {
namespace {

using test::Message;

struct RecordingSink : DecoderSink {
    void ShowTemperatureUnit(const Text& unit) override { units.push_back("T" + unit); }
    void ShowViscosityUnit(const Text& unit) override { units.push_back("V" + unit); }
    void RecordReading(const Reading& reading, const Text& messageDate) override {
        readings.push_back(reading);
        messageDates.push_back(messageDate);
    }
    std::vector<std::string> units;
    std::vector<Reading> readings;
    std::vector<Text> messageDates;
};

class DecoderTest : public ::testing::Test {
  protected:
    Configuration configuration;
    FixedClock clock{"05/12/2026", "14:05:40"};
    RecordingSink sink;
    test::RecordingLogger log;
    Decoder decoder{configuration, clock, sink, log};

    void Feed(const std::string& text) { decoder.DecodeText(text); }
};

TEST_F(DecoderTest, WorkedExampleYieldsTheReadingWithEitherDecimalSeparator) {
    configuration.DecimalSeparator = ",";
    Feed(Message());
    ASSERT_EQ(sink.readings.size(), 1u);
    const Reading expected{"05/12/2026", "14:05:33", "LCP", "100", "27,5",
                           "",           "00001250", "",    "10,2"};
    EXPECT_EQ(sink.readings[0], expected);
    EXPECT_EQ(sink.messageDates[0], "05/12/2026");
    EXPECT_EQ(sink.units, (std::vector<std::string>{"TC", "VcP"}));
    EXPECT_TRUE(decoder.RawText().empty());

    configuration.DecimalSeparator = ".";
    Feed(Message("14:05:34", "0.3"));
    ASSERT_EQ(sink.readings.size(), 2u);
    EXPECT_EQ(sink.readings[1].Temperature, "27.5");
    EXPECT_EQ(sink.readings[1].Torque, "10.2");
    EXPECT_EQ(sink.readings[1].Rpm, "0.3");
    EXPECT_TRUE(log.events.empty());
}

TEST_F(DecoderTest, MessageDateIsTakenWhenTheTimeStampEndsAndReadingDateAtCompletion) {
    const std::string message = Message("23:59:59");
    const auto split = message.find("rpm");
    Feed(message.substr(0, split));
    clock.Set("06/12/2026", "00:00:01");
    Feed(message.substr(split));
    ASSERT_EQ(sink.readings.size(), 1u);
    EXPECT_EQ(sink.messageDates[0], "05/12/2026");
    EXPECT_EQ(sink.readings[0].Date, "06/12/2026");
}

TEST_F(DecoderTest, HourIsTakenFromTheLastDigitsBeforeTheColon) {
    Feed("x7:");
    EXPECT_EQ(decoder.WorkingReading().Hour, "07:");
    decoder.ResetDecoder();
    Feed("12 5:");
    EXPECT_EQ(decoder.WorkingReading().Hour, "25:");
    decoder.ResetDecoder();
    Feed("9914:05:33");
    EXPECT_EQ(decoder.WorkingReading().Hour, "14:05:33");
    // Three digits and more before the colon: the last two in arrival order.
    Feed("   sp: A rpm: 1 T: 20.0C\rcP: 1\r %: 1\r");
    ASSERT_EQ(sink.readings.size(), 1u);
    EXPECT_EQ(sink.readings[0].Hour, "14:05:33");
}

TEST_F(DecoderTest, ResetKeepsStepAndReadTimeAdvancesItAfterTheReset) {
    Feed("14:0x");
    // The "x" at step 5 resets (stage SeekHour, RawText empty) and then Step becomes 6.
    EXPECT_EQ(decoder.Stage(), DecoderStage::SeekHour);
    EXPECT_EQ(decoder.Step(), 6);
    EXPECT_TRUE(decoder.RawText().empty());
    // SeekHour copes: a colon with Step above 1 only clears it.
    Feed(":");
    EXPECT_EQ(decoder.Step(), 0);
    EXPECT_EQ(decoder.Stage(), DecoderStage::SeekHour);
    Feed(Message("10:00:00"));
    EXPECT_EQ(sink.readings.size(), 1u);
}

// One message on its own: the value a field takes, or none when the message is dropped.
TEST_F(DecoderTest, FieldRulesOneMessageEach) {
    using F = Text Reading::*;
    const F temperature = &Reading::Temperature, rpm = &Reading::Rpm, torque = &Reading::Torque,
            viscosity = &Reading::Viscosity, temperatureError = &Reading::TemperatureError;
    const struct {
        std::string separator, rpm, temperature, viscosity, torque;
        F field;
        const char* value;  // nullptr: the message is dropped
    } cases[] = {
        // Temperature: at least three characters as sent, a separator of any length counting
        // as one "."; a received comma skipped; "{", "~" and control characters end the field
        // where they stand.
        {",", "100", "25C", "cP: 1", "1", temperature, nullptr},
        {",", "100", "25.0C", "cP: 1", "1", temperature, "25,0"},
        {"::", "100", "2.C", "cP: 1", "1", temperature, nullptr},
        {"::", "100", "2.5C", "cP: 1", "1", temperature, "2::5"},
        {" , ", "100", "2.5C", "cP: 1", "1", temperature, "2 , 5"},
        {"", "100", "2.5C", "cP: 1", "1", temperature, "25"},
        {".", "100", "27,5F", "cP: 1", "1", temperature, "275"},
        {".", "100", "123{", "cP: 1", "1", temperature, "123"},
        {".", "100", "123~", "cP: 1", "1", temperature, "123"},
        {".", "100", "123\n", "cP: 1", "1", temperature, "123"},
        {".", "100", "12{3", "cP: 1", "1", temperature, nullptr},
        {".", "100", "12~3", "cP: 1", "1", temperature, nullptr},
        {".", "100", "12\n3", "cP: 1", "1", temperature, nullptr},
        {".", "100",
         "12\x1F"
         "3",
         "cP: 1", "1", temperature, nullptr},
        // Error words; a lone "w" or "h" is none.
        {".", "100", "Lw", "cP: 1", "1", temperatureError, "LOW"},
        {".", "100", "Hih", "cP: 1", "1", temperatureError, "HIGH"},
        {".", "100", "---", "cP: 1", "1", temperatureError, "ERROR"},
        {".", "100", "2w", "cP: 1", "1", temperature, nullptr},
        {".", "100", "h", "cP: 1", "1", temperature, nullptr},
        // Speed: taken as sent; a comma or a letter drops the message.
        {",", "1.5", "27.5C", "cP: 1", "1", rpm, "1.5"},
        {".", "1,5", "27.5C", "cP: 1", "1", rpm, nullptr},
        {".", "x", "27.5C", "cP: 1", "1", rpm, nullptr},
        // Viscosity: digits and Windows-1252 letters; a comma or another word drops it.
        {".", "100", "27.5C", "mPas: 00001250", "1", viscosity, "00001250"},
        {".", "100", "27.5C",
         "cP: 12\xF1"
         "3",
         "1", viscosity, "123"},
        {".", "100", "27.5C", "cP: 12,5", "1", viscosity, nullptr},
        {".", "100", "27.5C", "cP: Over the Range", "1", viscosity, nullptr},
        // Torque: dashes are zero and what follows them is skipped; at most four characters
        // as sent, a separator of any length counting as one "."; a received comma skipped.
        {",", "100", "27.5C", "cP: 1", "--", torque, "0,0"},
        {",", "100", "27.5C", "cP: 1", "--12.5", torque, "0,0"},
        {",", "100", "27.5C", "cP: 1", "100", torque, "100"},
        {",", "100", "27.5C", "cP: 1", "10.25", torque, nullptr},
        {",", "100", "27.5C", "cP: 1", "1,2", torque, "12"},
        {"<>", "100", "27.5C", "cP: 1", "10.5", torque, "10<>5"},
        {"<>", "100", "27.5C", "cP: 1", "10.55", torque, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rpm + " " + c.temperature + " " + c.viscosity + " " + c.torque);
        configuration.DecimalSeparator = c.separator;
        sink.readings.clear();
        Feed(Message("10:00:00", c.rpm, c.temperature, c.viscosity, c.torque));
        if (c.value == nullptr) {
            EXPECT_TRUE(sink.readings.empty());
        } else {
            ASSERT_EQ(sink.readings.size(), 1u);
            EXPECT_EQ(sink.readings[0].*c.field, c.value);
        }
    }
    // A carriage return ends no speed.
    sink.readings.clear();
    Feed("10:00:01   sp: LCP    rpm: 100\r   T: 27.5C\rcP: 1\r %: 1\r");
    EXPECT_TRUE(sink.readings.empty());
}

TEST_F(DecoderTest, UnitsAnnouncedAndErrorWordsCarriedAndLogged) {
    // "º" (0xBA) ends the temperature: no unit is announced and the following C is skipped.
    Feed(Message("10:00:00", "100",
                 "27.5\xBA"
                 "C"));
    EXPECT_EQ(sink.units, (std::vector<std::string>{"VcP"}));
    Feed(Message("10:00:01", "100", "27.5F", "mPas: 1"));
    EXPECT_EQ(sink.units, (std::vector<std::string>{"VcP", "TF", "VmPas"}));
    sink.readings.clear();

    Feed(Message("10:00:01", "100", "Lw"));
    Feed(Message("10:00:02", "100", "Hih"));
    Feed(Message("10:00:03", "100", "---"));
    ASSERT_EQ(log.events.size(), 3u);
    EXPECT_EQ(log.events[0].kind, EventKind::TemperatureUnderflow);
    EXPECT_EQ(log.events[0].text, "10:00:01   sp: LCP    rpm: 100   T: Lw");
    EXPECT_EQ(log.events[1].kind, EventKind::TemperatureOverflow);
    EXPECT_EQ(log.events[2].kind, EventKind::TemperatureSensorFault);
    EXPECT_EQ(sink.readings[0].Temperature, "");
    // A field with neither unit nor error word keeps the previous message's error word; a unit
    // letter clears it.
    Feed(Message("10:00:04", "100", "27.5"));
    EXPECT_EQ(sink.readings[3].TemperatureError, "ERROR");
    EXPECT_EQ(sink.readings[3].Temperature, "27.5");
    Feed(Message("10:00:05", "100", "27.5C"));
    EXPECT_EQ(sink.readings[4].TemperatureError, "");
    sink.units.clear();
    Feed(Message("10:00:09", "100", "27.5C", "cP: Out of Range"));
    ASSERT_EQ(sink.readings.size(), 6u);
    EXPECT_EQ(sink.readings[5].Viscosity, "0");
    EXPECT_EQ(sink.readings[5].ViscosityError, "Out of Range");
    EXPECT_EQ(sink.units, (std::vector<std::string>{"TC"}));  // no viscosity unit announced
    EXPECT_EQ(log.events.back().kind, EventKind::ViscosityFault);
    EXPECT_EQ(log.events.back().text,
              "10:00:09   sp: LCP    rpm: 100   T: 27.5C\rcP: Out of Range");
    Feed(Message("10:00:10"));  // the next good reading clears the error word
    EXPECT_EQ(sink.readings[6].ViscosityError, "");
    // The log entry of a later-dropped message stays.
    Feed(Message("10:00:08", "100", "Lw", "cP: 12,5"));
    EXPECT_EQ(sink.readings.size(), 7u);
    EXPECT_EQ(log.events.size(), 5u);
    EXPECT_EQ(log.events.back().kind, EventKind::TemperatureUnderflow);
}

TEST_F(DecoderTest, NoFieldTakesMoreThan4096Characters) {
    const std::size_t most = Decoder::kMaxFieldLength;
    const auto spindle = [](const std::string& code) {
        return "10:00:01   sp: " + code + "    rpm: 100   T: 27.5C\rcP: 1\r %: 1\r";
    };
    for (const std::size_t length : {most, most + 1}) {
        const bool kept = length == most;
        Feed(spindle(std::string(length, 'A')));
        Feed(Message("10:00:02", std::string(length, '1')));
        Feed(Message("10:00:03", "100", std::string(length - 2, '2') + ".5C"));
        Feed(Message("10:00:04", "100", "27.5C", "cP: " + std::string(length, '0')));
        ASSERT_EQ(sink.readings.size(), kept ? 4u : 0u) << length;
        if (kept) {
            EXPECT_EQ(sink.readings[0].Spindle.size(), most);
            EXPECT_EQ(sink.readings[1].Rpm.size(), most);
            EXPECT_EQ(sink.readings[2].Temperature.size(), most);
            EXPECT_EQ(sink.readings[3].Viscosity.size(), most);
            sink.readings.clear();
        }
        Feed(Message());  // the next message is read as ever
        ASSERT_EQ(sink.readings.size(), 1u);
        EXPECT_EQ(sink.readings[0].Spindle, "LCP");
        sink.readings.clear();
    }
    // An endless field costs no more than the bound.
    Feed(Message("10:00:05", "100", "27.5C", "cP: 1" + std::string(1 << 20, '0')));
    EXPECT_TRUE(sink.readings.empty());
    EXPECT_LE(decoder.FieldText().size(), most + 1);
}

TEST_F(DecoderTest, WorkingReadingIsNeverClearedAsAWhole) {
    Feed(Message("10:00:01"));
    // A broken message sets the spindle, then is dropped in the speed field.
    Feed("10:00:02   sp: XYZ    rpm: x");
    // A message that skips straight to the temperature after its speed keeps the rest.
    Feed(Message("10:00:03", "200"));
    ASSERT_EQ(sink.readings.size(), 2u);
    EXPECT_EQ(sink.readings[1].Spindle, "LCP");
    EXPECT_EQ(sink.readings[1].Rpm, "200");
}

TEST_F(DecoderTest, NoiseBetweenFieldsAndPiecewiseFeedingGiveTheSameReading) {
    const std::string message = Message();
    for (char c : message) {
        decoder.DecodeCharacter(c);
    }
    Feed("\n\n garbage ~~ \x01\xFF");
    Feed(Message("14:05:34", "100", "27.5C", "cP: 00001250"));
    ASSERT_EQ(sink.readings.size(), 2u);
    EXPECT_EQ(sink.readings[0].Viscosity, sink.readings[1].Viscosity);
}

TEST_F(DecoderTest, RawTextKeepsOnlyItsMostRecent4096Characters) {
    std::string noise(10000, 'x');
    noise[9999] = 'y';
    Feed(noise);
    ASSERT_EQ(decoder.RawText().size(), RawTextBuffer::kMaxLength);
    EXPECT_EQ(decoder.RawText().back(), 'y');
    // The look-backs still see the newest characters, and the log line is bounded.
    Feed(Message("10:00:01", "100", "Lw"));
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].text.size(), RawTextBuffer::kMaxLength);
    EXPECT_TRUE(log.events[0].text.ends_with("T: Lw"));
    ASSERT_EQ(sink.readings.size(), 1u);
}

TEST(IsLetterTest, AsciiAndTheTwelveWindows1252Letters) {
    for (const char* yes : {"a", "Z", "\xF1", "\xD1", "\xE7", "\xC7", "\xE1", "\xE9", "\xED",
                            "\xF3", "\xFA", "\xE0", "\xE8", "\xF2"}) {
        EXPECT_TRUE(IsLetter(yes)) << yes;
    }
    for (const char* no : {"", "ab", "1", " ", "\xC9", "\xBA", "{", "@"}) {
        EXPECT_FALSE(IsLetter(no)) << no;
    }
}

}  // namespace
}  // namespace rheo
