// The decoder against the instrument's messages, well-formed and broken. Whole captures through
// the decoder and the output, byte for byte: replay_golden (tests/data).
#include "decoder/Decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "support/Fakes.h"

namespace rheo::test {
namespace {

class DecoderTest : public ::testing::Test, public DecoderSink {
  protected:
    void ShowTemperatureUnit(const Text&) override {}
    void ShowViscosityUnit(const Text&) override {}
    void RecordReading(const Reading& reading, const Text& messageDate,
                       std::string_view /*rawText*/) override {
        readings.push_back(reading);
        messageDates.push_back(messageDate);
    }
    void Feed(const std::string& text) { decoder.DecodeText(text); }

    std::vector<Reading> readings;
    std::vector<Text> messageDates;
    Configuration configuration;
    FixedClock clock{"05/12/2026", "14:05:40"};
    RecordingLogger log;
    Decoder decoder{configuration, clock, *this, log};
};

TEST_F(DecoderTest, TimeStampTheLastTwoDigitsBeforeTheColonAndTheDates) {
    for (const auto& [text, hour] : {std::pair{"x7:", "07:"}, {"12 5:", "25:"}, {"9914:", "14:"}}) {
        decoder.ResetDecoder();
        Feed(text);
        EXPECT_EQ(decoder.WorkingReading().Hour, hour) << text;
    }
    // The message's date is taken when its time stamp ends, the reading's at completion.
    decoder.ResetDecoder();
    const std::string message = Message("23:59:59");
    const auto split = message.find("rpm");
    Feed(message.substr(0, split));
    clock.Set("06/12/2026", "00:00:01");
    Feed(message.substr(split));
    ASSERT_EQ(readings.size(), 1u);
    EXPECT_EQ((std::vector{readings[0].Hour, messageDates[0], readings[0].Date}),
              (std::vector<Text>{"23:59:59", "05/12/2026", "06/12/2026"}));
}

// One message on its own, one part of it changed: what that part reads as (temperature and its
// error word together), or nullptr when the message is dropped.
TEST_F(DecoderTest, FieldRulesOneMessageEach) {
    const struct {
        const char* separator;
        int part;  // 1 speed, 2 temperature, 3 viscosity, 4 torque
        std::string sent;
        const char* value;
    } cases[] = {
        // Temperature: at least three characters as sent, a separator of any length counting
        // as one "."; a received comma skipped; "{", "~" and control characters end the field
        // where they stand. Error words; a lone "w" or "h" is none.
        {"::", 2, "2.C", nullptr},
        {"::", 2, "2.5C", "2::5"},
        {"", 2, "2.5C", "25"},
        {".", 2, "27,5F", "275"},
        {".", 2, "123~", "123"},
        {".", 2, "123\n", "123"},
        {".", 2, "12{3", nullptr},
        {".", 2, "12\0373", nullptr},
        {".", 2, "Hih", "HIGH"},
        {".", 2, "27.5", "27.5HIGH"},  // neither unit nor word: the last word is kept
        {".", 2, "27.5C", "27.5"},
        {".", 2, "2w", nullptr},
        {".", 2, "h", nullptr},
        // Speed: taken as sent; a comma or a letter drops the message.
        {",", 1, "1.5", "1.5"},
        {".", 1, "1,5", nullptr},
        {".", 1, "x", nullptr},
        // Viscosity: digits and Windows-1252 letters; a comma or another word drops it.
        {".", 3, "mPas: 00001250", "00001250"},
        {".", 3, "cP: 12\3613", "123"},
        {".", 3, "cP: 12,5", nullptr},
        {".", 3, "cP: Over the Range", nullptr},
        // Torque: dashes are zero and what follows them is skipped; at most four characters
        // as sent, a separator of any length counting as one "."; a received comma skipped.
        {",", 4, "--12.5", "0,0"},
        {",", 4, "1,2", "12"},
        {"<>", 4, "10.5", "10<>5"},
        {"<>", 4, "10.55", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        configuration.DecimalSeparator = c.separator;
        std::string parts[] = {"10:00:00", "100", "27.5C", "cP: 1", "1"};
        parts[c.part] = c.sent;
        readings.clear();
        Feed(Message(parts[0], parts[1], parts[2], parts[3], parts[4]));
        ASSERT_EQ(readings.size(), c.value ? 1u : 0u);
        if (c.value != nullptr) {
            const Reading& r = readings[0];
            const Text read[] = {"", r.Rpm, r.Temperature + r.TemperatureError, r.Viscosity,
                                 r.Torque};
            EXPECT_EQ(read[c.part], c.value);
        }
    }
}

TEST_F(DecoderTest, NoFieldTakesMoreThan4096Characters) {
    const std::size_t most = Decoder::kMaxFieldLength;
    for (const std::size_t length : {most, most + 1}) {
        const bool kept = length == most;
        Feed("10:00:01   sp: " + std::string(length, 'A') +
             "    rpm: 100   T: 27.5C\rcP: 1\r %: 1\r");
        Feed(Message("10:00:02", std::string(length, '1')));
        Feed(Message("10:00:03", "100", std::string(length - 2, '2') + ".5C"));
        Feed(Message("10:00:04", "100", "27.5C", "cP: " + std::string(length, '0')));
        Feed(Message());  // the next message is read as ever
        ASSERT_EQ(readings.size(), kept ? 5u : 1u) << length;
        EXPECT_EQ(readings.back().Spindle, "LCP");
        if (kept) {
            EXPECT_EQ((std::vector{readings[0].Spindle.size(), readings[1].Rpm.size(),
                                   readings[2].Temperature.size(), readings[3].Viscosity.size()}),
                      std::vector(4, most));
        }
        readings.clear();
    }
    // An endless field costs no more than the bound.
    Feed(Message("10:00:05", "100", "27.5C", "cP: 1" + std::string(1 << 20, '0')));
    EXPECT_TRUE(readings.empty());
    EXPECT_LE(decoder.FieldText().size(), most + 1);
}

// Random bytes never break the decoder: after one message to resynchronise, the next is read
// whole, fed a character at a time.
TEST_F(DecoderTest, GarbageIsSurvived) {
    for (unsigned stream = 1; stream <= 8; ++stream) {
        std::mt19937 random(stream);
        std::string garbage(1 << 16, '\0');
        std::ranges::generate(garbage, [&] { return static_cast<char>(random()); });
        Feed(garbage + Message());
        readings.clear();
        for (const char c : Message("10:00:03", "200")) {
            decoder.DecodeCharacter(c);
        }
        ASSERT_EQ(readings.size(), 1u) << stream;
        EXPECT_EQ(readings[0], (Reading{"05/12/2026", "10:00:03", "LCP", "200", "27.5", "",
                                        "00001250", "", "10.2"}));
    }
}

// Text waiting for an hour is kept, its newest 4096 characters: a message dropped after its error
// word keeps its log entry with them.
TEST_F(DecoderTest, TheRawTextKeepsItsNewest4096Characters) {
    Feed(std::string(10000, 'x') + Message("10:00:04", "100", "Lw", "cP: 12,5"));
    EXPECT_TRUE(readings.empty());
    ASSERT_EQ(log.events.back().second.size(), RawTextBuffer::kMaxLength);
    EXPECT_TRUE(log.events.back().second.ends_with("xx10:00:04   sp: LCP    rpm: 100   T: Lw"));
}

}  // namespace
}  // namespace rheo::test
