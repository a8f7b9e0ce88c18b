// rheotrack-sim: plays the viscometer on a serial device or standard output, writing one
// measurement per spindle revolution, exactly as the program's simulator window does.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "MessageVariation.h"
#include "SerialOutput.h"
#include "StopSignals.h"
#include "app/SimulatorText.h"
#include "platform/Clock.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) {
    g_stop = 1;
}

constexpr const char* kUsage =
    "Usage: rheotrack-sim [options]\n"
    "Plays the viscometer: writes one measurement per spindle revolution, three lines each\n"
    "ended by a carriage return, to a serial device (9600 baud, 8N1, raw) or standard output.\n"
    "The first message goes out one period after the start.\n"
    "\n"
    "  --device DEV     serial device or file to write to; \"-\" or none for standard output\n"
    "  --rpm R          rotational speed, written as given (default 60); the period is one\n"
    "                   revolution, 60000 / R ms rounded to the nearest millisecond\n"
    "  --interval MS    period in milliseconds instead of one revolution\n"
    "  --count N        stop after N messages (default: until stopped)\n"
    "  --time TEXT      fixed time of day instead of the clock's\n"
    "  --vary           let temperature, viscosity and torque drift, with an error word\n"
    "                   (Lw, Hih, ---, Out of Range, --) in every sixth message\n"
    "  --series N       which --vary series to play (default 1)\n"
    "  --help           this text\n"
    "\n"
    "SIGINT and SIGTERM end it cleanly after the message under way.\n";

struct Options {
    std::string device;
    std::string rpm = "60";
    std::optional<long> intervalMs;
    std::optional<long> count;
    std::optional<std::string> time;
    bool vary = false;
    std::uint32_t series = 1;
};

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && last == end;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "rheotrack-sim: %s\nTry rheotrack-sim --help.\n", message.c_str());
    return 2;
}

// Returns the exit status to end with, or -1 to go on.
int ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        std::string_view value;
        bool hasValue = false;
        if (const auto equals = argument.find('=');
            argument.starts_with("--") && equals != argument.npos) {
            value = argument.substr(equals + 1);
            argument = argument.substr(0, equals);
            hasValue = true;
        }
        auto next = [&](std::string_view& out) {
            if (hasValue) {
                out = value;
                return true;
            }
            if (i + 1 >= argc) {
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string_view text;
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (argument == "--vary") {
            options.vary = true;
        } else if (argument == "--device") {
            if (!next(text)) {
                return UsageError("--device needs a device");
            }
            options.device = text;
        } else if (argument == "--rpm") {
            if (!next(text) || !rheo::ParseSpeed(text)) {
                return UsageError("--rpm needs a positive speed such as 1.5");
            }
            options.rpm = text;
        } else if (argument == "--interval") {
            long ms = 0;
            if (!next(text) || !ParseNumber(text, ms) || ms < 1) {
                return UsageError("--interval needs a number of milliseconds above 0");
            }
            options.intervalMs = ms;
        } else if (argument == "--count") {
            long n = 0;
            if (!next(text) || !ParseNumber(text, n) || n < 0) {
                return UsageError("--count needs a number of messages");
            }
            options.count = n;
        } else if (argument == "--time") {
            if (!next(text)) {
                return UsageError("--time needs a text");
            }
            options.time = std::string(text);
        } else if (argument == "--series") {
            if (!next(text) || !ParseNumber(text, options.series)) {
                return UsageError("--series needs a number");
            }
        } else {
            return UsageError("unknown argument " + std::string(argument));
        }
    }
    return -1;
}

using SteadyClock = std::chrono::steady_clock;

// Sleeps until the deadline; false when a stop signal came first. A signal does not cut a sleep
// short everywhere, so the sleep goes in slices of at most 50 ms.
bool SleepUntil(SteadyClock::time_point deadline) {
    constexpr auto kSlice = std::chrono::milliseconds(50);
    while (g_stop == 0) {
        const auto now = SteadyClock::now();
        if (now >= deadline) {
            return true;
        }
        std::this_thread::sleep_until(std::min(deadline, now + kSlice));
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int status = ParseOptions(argc, argv, options); status >= 0) {
        return status;
    }
    rheo::sim::InstallStopHandlers(OnStopSignal);

    rheo::sim::SerialOutput output;
    output.SetStopFlag(&g_stop);
    if (!output.Open(options.device)) {
        std::fprintf(stderr, "rheotrack-sim: %s\n", output.Error().c_str());
        return 1;
    }
    const long period = options.intervalMs
                            ? *options.intervalMs
                            : rheo::SimulatorPeriodMs(*rheo::ParseSpeed(options.rpm));
    const rheo::OverridableClock clock(std::nullopt, options.time);
    rheo::sim::MessageVariation variation(options.series);

    auto deadline = SteadyClock::now();
    for (long sent = 0; !options.count || sent < *options.count; ++sent) {
        deadline += std::chrono::milliseconds(period);
        if (!SleepUntil(deadline)) {
            break;
        }
        const rheo::Text time = clock.TimeText();
        const rheo::Text text = options.vary ? variation.Next(time, options.rpm)
                                             : rheo::SimulatorText(time, options.rpm);
        if (!output.Write(text)) {
            if (g_stop != 0 || output.BrokenPipe()) {
                break;  // stopped, or the reader went away: both are a normal end
            }
            std::fprintf(stderr, "rheotrack-sim: write failed: %s\n", output.Error().c_str());
            return 1;
        }
    }
    return 0;
}
