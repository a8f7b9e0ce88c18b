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

TEST_F(DecoderTest, TemperatureFieldLengthAndEndings) {
    Feed(Message("10:00:01", "100", "25C"));  // two characters: dropped
    EXPECT_TRUE(sink.readings.empty());
    configuration.DecimalSeparator = ",";
    Feed(Message("10:00:02", "100", "25.0C"));
    ASSERT_EQ(sink.readings.size(), 1u);
    EXPECT_EQ(sink.readings.back().Temperature, "25,0");
    // The length counts what the instrument sent: a separator of any length is one ".".
    for (const char* separator : {"::", " , ", ""}) {
        configuration.DecimalSeparator = separator;
        Feed(Message("10:00:03", "100", "2.C", "cP: 1", "1"));  // two characters: dropped
        Feed(Message("10:00:03", "100", "2.5C", "cP: 1", "1"));
        ASSERT_EQ(sink.readings.size(), 2u) << separator;
        EXPECT_EQ(sink.readings.back().Temperature, "2" + std::string(separator) + "5");
        sink.readings.pop_back();
    }
    Feed(Message("10:00:03", "100", "2.5C", "cP: 1", "1"));
    configuration.DecimalSeparator = ",";
    // "º" (0xBA) ends the field: no unit is announced and the following C is skipped.
    sink.units.clear();
    Feed(Message("10:00:04", "100",
                 "27.5\xBA"
                 "C"));
    ASSERT_EQ(sink.readings.size(), 3u);
    EXPECT_EQ(sink.readings.back().Temperature, "27,5");
    EXPECT_EQ(sink.units, (std::vector<std::string>{"VcP"}));
    // "{", "~", a line feed and the other control characters end the field,
    for (const char* ending : {"{", "~", "\n"}) {
        Feed(Message("10:00:05", "100", std::string("123") + ending));
    }
    EXPECT_EQ(sink.readings.size(), 6u);
    // ... where they stand: what follows them is not read ("12" is too short).
    for (const char* ending : {"{", "~", "\n", "\x1F"}) {
        Feed(Message("10:00:06", "100", std::string("12") + ending + "3"));
    }
    EXPECT_EQ(sink.readings.size(), 6u);
    // A received comma is skipped: 27,5 is stored as 275.
    Feed(Message("10:00:07", "100", "27,5F"));
    ASSERT_EQ(sink.readings.size(), 7u);
    EXPECT_EQ(sink.readings.back().Temperature, "275");
    EXPECT_EQ(sink.units[sink.units.size() - 2], "TF");
}

TEST_F(DecoderTest, TemperatureErrorWordsAreRecordedAndLogged) {
    Feed(Message("10:00:01", "100", "Lw"));
    Feed(Message("10:00:02", "100", "Hih"));
    Feed(Message("10:00:03", "100", "---"));
    ASSERT_EQ(sink.readings.size(), 3u);
    EXPECT_EQ(sink.readings[0].Temperature, "");
    EXPECT_EQ(sink.readings[0].TemperatureError, "LOW");
    EXPECT_EQ(sink.readings[1].TemperatureError, "HIGH");
    EXPECT_EQ(sink.readings[2].TemperatureError, "ERROR");
    ASSERT_EQ(log.events.size(), 3u);
    EXPECT_EQ(log.events[0].kind, EventKind::TemperatureUnderflow);
    EXPECT_EQ(log.events[0].text, "10:00:01   sp: LCP    rpm: 100   T: Lw");
    EXPECT_EQ(log.events[1].kind, EventKind::TemperatureOverflow);
    EXPECT_EQ(log.events[2].kind, EventKind::TemperatureSensorFault);
    EXPECT_EQ(log.events[2].text, "10:00:03   sp: LCP    rpm: 100   T: ---");

    // A field with neither unit nor error word keeps the previous message's error word.
    Feed(Message("10:00:04", "100", "27.5"));
    ASSERT_EQ(sink.readings.size(), 4u);
    EXPECT_EQ(sink.readings[3].TemperatureError, "ERROR");
    EXPECT_EQ(sink.readings[3].Temperature, "27.5");
    // A unit letter clears it.
    Feed(Message("10:00:05", "100", "27.5C"));
    EXPECT_EQ(sink.readings[4].TemperatureError, "");

    // A lone "w" or "h" drops the message; the log entry of a later-dropped message stays.
    Feed(Message("10:00:06", "100", "2w"));
    Feed(Message("10:00:07", "100", "h"));
    Feed("10:00:08   sp: LCP    rpm: 100   T: Lw\rcP: 1x");
    EXPECT_EQ(sink.readings.size(), 5u);
    EXPECT_EQ(log.events.size(), 4u);
    EXPECT_EQ(log.events.back().kind, EventKind::TemperatureUnderflow);
}

TEST_F(DecoderTest, ViscosityUnitsAndOutOfRange) {
    Feed(Message("10:00:01", "100", "27.5C", "mPas: 00001250"));
    ASSERT_EQ(sink.readings.size(), 1u);
    EXPECT_EQ(sink.units.back(), "VmPas");
    sink.units.clear();
    Feed(Message("10:00:02", "100", "27.5C", "cP: Out of Range"));
    ASSERT_EQ(sink.readings.size(), 2u);
    EXPECT_EQ(sink.readings[1].Viscosity, "0");
    EXPECT_EQ(sink.readings[1].ViscosityError, "Out of Range");
    EXPECT_EQ(sink.units, (std::vector<std::string>{"TC"}));  // no viscosity unit announced
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0].kind, EventKind::ViscosityFault);
    EXPECT_EQ(log.events[0].text, "10:00:02   sp: LCP    rpm: 100   T: 27.5C\rcP: Out of Range");
    // The next good reading clears the error word.
    Feed(Message("10:00:03"));
    EXPECT_EQ(sink.readings[2].ViscosityError, "");
    // A comma among the viscosity digits, or a word that is not "Out of Range", drops it.
    Feed(Message("10:00:04", "100", "27.5C", "cP: 12,5"));
    Feed(Message("10:00:05", "100", "27.5C", "cP: Over the Range"));
    EXPECT_EQ(sink.readings.size(), 3u);
    // Letters of Windows-1252 pass in the field like ASCII ones.
    Feed(Message("10:00:06", "100", "27.5C",
                 "cP: 12\xF1"
                 "3"));
    ASSERT_EQ(sink.readings.size(), 4u);
    EXPECT_EQ(sink.readings[3].Viscosity, "123");
}

TEST_F(DecoderTest, TorqueDashesLengthLimitAndTrailingCharacters) {
    configuration.DecimalSeparator = ",";
    Feed(Message("10:00:01", "100", "27.5C", "cP: 1", "--"));
    ASSERT_EQ(sink.readings.size(), 1u);
    EXPECT_EQ(sink.readings[0].Torque, "0,0");
    Feed(Message("10:00:02", "100", "27.5C", "cP: 1", "10.25"));  // five characters
    EXPECT_EQ(sink.readings.size(), 1u);
    Feed(Message("10:00:03", "100", "27.5C", "cP: 1", "100"));
    ASSERT_EQ(sink.readings.size(), 2u);
    EXPECT_EQ(sink.readings[1].Torque, "100");
    // After the dashes, digits and other characters are skipped.
    Feed(Message("10:00:04", "100", "27.5C", "cP: 1", "--12.5"));
    ASSERT_EQ(sink.readings.size(), 3u);
    EXPECT_EQ(sink.readings[2].Torque, "0,0");
    // A received comma is skipped among the torque digits.
    Feed(Message("10:00:05", "100", "27.5C", "cP: 1", "1,2"));
    ASSERT_EQ(sink.readings.size(), 4u);
    EXPECT_EQ(sink.readings[3].Torque, "12");
    // The limit counts what the instrument sent: a separator of any length is one ".".
    configuration.DecimalSeparator = "<>";
    Feed(Message("10:00:06", "100", "27.5C", "cP: 1", "10.5"));
    ASSERT_EQ(sink.readings.size(), 5u);
    EXPECT_EQ(sink.readings[4].Torque, "10<>5");
    Feed(Message("10:00:07", "100", "27.5C", "cP: 1", "10.55"));
    EXPECT_EQ(sink.readings.size(), 5u);
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

TEST_F(DecoderTest, SpeedRules) {
    Feed("10:00:01   sp: LCP    rpm: 100\r   T: 27.5C\rcP: 1\r %: 1\r");  // CR ends no speed
    Feed(Message("10:00:02", "1,5"));
    Feed(Message("10:00:03", "x"));
    EXPECT_TRUE(sink.readings.empty());
    configuration.DecimalSeparator = ",";
    Feed(Message("10:00:04", "1.5"));
    ASSERT_EQ(sink.readings.size(), 1u);
    EXPECT_EQ(sink.readings[0].Rpm, "1.5");
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
