#include "InstrumentStream.h"

#include <array>
#include <cstdio>
#include <random>

namespace rheo::bench {
namespace {

unsigned Below(std::mt19937& random, std::size_t n) {
    return static_cast<unsigned>(random() % n);
}

constexpr std::array<const char*, 5> kSpindles{"LCP", "S18", "S31", "CP52", "LV2"};
constexpr std::array<const char*, 9> kSpeeds{"0.3", "0.5", "1.0", "2.5", "10",
                                             "20",  "50",  "100", "200"};

class MessageWriter {
  public:
    explicit MessageWriter(std::string& out) : out_(out) {}

    // One message as the instrument prints it: three lines, each ended by a carriage return.
    void Message(std::mt19937& random) {
        Clock();
        char line[160];
        std::snprintf(line, sizeof line, "%02u:%02u:%02u   sp: %s    rpm: %s   T: ", hour_, minute_,
                      second_, Pick(kSpindles, random), Pick(kSpeeds, random));
        out_ += line;
        const unsigned roll = Percent(random);
        if (roll < 3) {
            out_ += "Lw";
        } else if (roll < 5) {
            out_ += "Hih";
        } else if (roll < 7) {
            out_ += "---";
        } else if (roll < 17) {
            std::snprintf(line, sizeof line, "%u.%uF", 60 + Below(random, 150), Below(random, 10));
            out_ += line;
        } else {
            std::snprintf(line, sizeof line, "%u.%uC", 15 + Below(random, 70), Below(random, 10));
            out_ += line;
        }
        out_ += '\r';

        out_ += Percent(random) < 80 ? "cP: " : "mPas: ";
        if (Percent(random) < 4) {
            out_ += "Out of Range";
        } else if (Percent(random) < 20) {
            std::snprintf(line, sizeof line, "%05u.%02u", Below(random, 100000),
                          Below(random, 100));
            out_ += line;
        } else {
            std::snprintf(line, sizeof line, "%08u", Below(random, 100000000));
            out_ += line;
        }
        out_ += '\r';

        out_ += " %: ";
        const unsigned torque = Percent(random);
        if (torque < 4) {
            out_ += "--";
        } else if (torque < 10) {
            out_ += "100";
        } else {
            std::snprintf(line, sizeof line, "%u.%u", Below(random, 100), Below(random, 10));
            out_ += line;
        }
        out_ += '\r';
    }

    // Line noise between messages: stray bytes, a line feed a terminal added, a "º".
    void Noise(std::mt19937& random) {
        const unsigned count = 1 + Below(random, 12);
        for (unsigned i = 0; i < count; ++i) {
            out_ += static_cast<char>(Below(random, 256));
        }
        out_ += "\n\xBA";
    }

  private:
    template <std::size_t N>
    static const char* Pick(const std::array<const char*, N>& from, std::mt19937& random) {
        return from[Below(random, N)];
    }
    static unsigned Percent(std::mt19937& random) { return Below(random, 100); }

    void Clock() {
        second_ += 2;
        if (second_ >= 60) {
            second_ -= 60;
            minute_ = (minute_ + 1) % 60;
            if (minute_ == 0) {
                hour_ = (hour_ + 1) % 24;
            }
        }
    }

    std::string& out_;
    unsigned hour_ = 14;
    unsigned minute_ = 5;
    unsigned second_ = 33;
};

}  // namespace

InstrumentStream MakeInstrumentStream(std::size_t size) {
    InstrumentStream stream;
    stream.bytes.reserve(size + 256);
    std::mt19937 random(20260512u);
    MessageWriter writer(stream.bytes);
    while (stream.bytes.size() < size) {
        const unsigned roll = Below(random, 100);
        if (roll < 5) {
            writer.Noise(random);
        } else if (roll < 8) {
            // A message cut off by a pulled cable: only its first part arrives.
            std::string message;
            MessageWriter(message).Message(random);
            stream.bytes.append(message, 0, Below(random, message.size()));
        } else {
            writer.Message(random);
            ++stream.messages;
        }
    }
    // End on a complete message, so that every pass over the stream leaves the decoder ready.
    writer.Message(random);
    ++stream.messages;
    return stream;
}

std::vector<Reading> MakeReadings(std::size_t count) {
    std::vector<Reading> readings;
    readings.reserve(count);
    std::mt19937 random(7u);
    char text[32];
    for (std::size_t i = 0; i < count; ++i) {
        Reading r;
        r.Date = "05/12/2026";
        std::snprintf(text, sizeof text, "14:%02zu:%02zu", (i / 60) % 60, i % 60);
        r.Hour = text;
        r.Spindle = kSpindles[Below(random, kSpindles.size())];
        r.Rpm = kSpeeds[Below(random, kSpeeds.size())];
        std::snprintf(text, sizeof text, "%u.%u", 15 + Below(random, 70), Below(random, 10));
        r.Temperature = text;
        std::snprintf(text, sizeof text, "%08u", Below(random, 100000000));
        r.Viscosity = text;
        std::snprintf(text, sizeof text, "%u.%u", Below(random, 100), Below(random, 10));
        r.Torque = text;
        if (i % 25 == 7) {
            r.Temperature.clear();
            r.TemperatureError = "LOW";
        }
        if (i % 40 == 13) {
            r.Viscosity = "0";
            r.ViscosityError = "Out of Range";
        }
        readings.push_back(std::move(r));
    }
    return readings;
}

}  // namespace rheo::bench
