// rheotrack-replay: plays a captured byte stream through the engine as if it had arrived on
// the serial line while a new session file was open, and writes that session file and the
// event log exactly as the program would.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "StandardStreams.h"
#include "app/ConfigurationFile.h"
#include "app/Engine.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/MonitorView.h"
#include "recording/BufferedEventLog.h"
#include "recording/BufferedSessionFile.h"
#include "recording/ObservedEventLog.h"

#ifdef RHEO_WITH_PUBLISHING
#include <chrono>
#include <filesystem>

#include "platform/ProgramLocation.h"
#include "publishing/Publishing.h"
#endif

namespace {

constexpr const char* kUsage =
    "usage: rheotrack-replay [--config FILE] [--output FILE] [--log FILE] [--date TEXT] "
    "[--time TEXT] [--mqtt URL [--mqtt-...]] [INPUT]\n"
    "Decodes INPUT (standard input when absent or \"-\") as bytes from the instrument's serial\n"
    "line and writes the session file (standard output without --output) and the event log.\n"
#ifdef RHEO_WITH_PUBLISHING
    "With --mqtt URL it also publishes every reading and event to the broker, through the\n"
    "outbox (--mqtt-outbox; default <instrument>.outbox in ~/.local/share/rheotrackpanel, the\n"
    "logger's, so that seq goes on), and ends when the broker has acknowledged them all. The\n"
    "other options are rheotrack-logger's --mqtt-... options; the instrument is\n"
    "--mqtt-instrument, else INPUT's name without its extension.\n"
#endif
    ;

struct Options {
    std::optional<std::string> config;
    std::string output = "-";
    std::optional<std::string> log;
    std::optional<std::string> date;
    std::optional<std::string> time;
    std::string input = "-";
#ifdef RHEO_WITH_PUBLISHING
    rheo::PublishingOptions publishing;
#endif
};

// The tool has no one to click OK: a message goes to standard error and is taken as answered.
class StderrMessageBoxes : public rheo::MessageBoxes {
  public:
    rheo::MessageAnswer Show(const rheo::Text& text, const rheo::Text&, rheo::MessageIcon,
                             rheo::MessageButtons) override {
        std::fprintf(stderr, "rheotrack-replay: %s\n", text.c_str());
        ++shown;
        return rheo::MessageAnswer::Ok;
    }
    int shown = 0;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "rheotrack-replay: %s\n", message.c_str());
    return 2;
}

std::optional<Options> ParseOptions(int argc, char** argv, std::string& error) {
    Options options;
    bool inputSeen = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](std::optional<std::string>& target) {
            if (i + 1 >= argc) {
                error = "option " + std::string(arg) + " needs a value";
                return false;
            }
            target = argv[++i];
            return true;
        };
#ifdef RHEO_WITH_PUBLISHING
        if (arg.starts_with("--mqtt")) {
            const std::vector<std::string_view> args(argv + i, argv + argc);
            const std::size_t taken =
                rheo::TakePublishingArgument(args, 0, options.publishing, error);
            if (taken == 0) {
                return std::nullopt;
            }
            i += static_cast<int>(taken) - 1;
            continue;
        }
#endif
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--config") {
            if (!value(options.config))
                return std::nullopt;
        } else if (arg == "--output") {
            std::optional<std::string> output;
            if (!value(output))
                return std::nullopt;
            options.output = *output;
        } else if (arg == "--log") {
            if (!value(options.log))
                return std::nullopt;
        } else if (arg == "--date") {
            if (!value(options.date))
                return std::nullopt;
        } else if (arg == "--time") {
            if (!value(options.time))
                return std::nullopt;
        } else if (arg.size() > 1 && arg.starts_with("-")) {
            error = "unknown option " + std::string(arg);
            return std::nullopt;
        } else if (inputSeen) {
            error = "more than one input given";
            return std::nullopt;
        } else {
            options.input = std::string(arg);
            inputSeen = true;
        }
    }
    return options;
}

#ifdef RHEO_WITH_PUBLISHING
// Publishing started for the replay, or nullptr with `error` (empty when not asked for).
std::unique_ptr<rheo::Publishing> StartPublishing(const Options& options,
                                                  const rheo::Configuration& configuration,
                                                  std::string& error) {
    if (!options.publishing.Enabled()) {
        return nullptr;
    }
    rheo::PublishingOptions publishing = options.publishing;
    const std::string instrument = !publishing.instrument.empty() ? publishing.instrument
                                   : options.input == "-"
                                       ? std::string("replay")
                                       : std::filesystem::path(options.input).stem().string();
    if (!publishing.Check(error) || (!publishing.passwordFile.empty() &&
                                     !rheo::ReadPasswordFile(publishing.passwordFile, error))) {
        return nullptr;
    }
    if (publishing.outbox.empty()) {
        publishing.outbox =
            (std::filesystem::path(rheo::UserDataDirectory()) / (instrument + ".outbox")).string();
    }
    return rheo::Publishing::Start(
        publishing, instrument, {}, configuration,
        [](const std::string& line) {
            std::fprintf(stderr, "rheotrack-replay: %s\n", line.c_str());
        },
        error);
}

// Waits until the broker has acknowledged every message, or has taken none for `patience`.
bool Drain(rheo::Publishing& publishing, std::chrono::seconds patience) {
    std::int64_t acknowledged = publishing.Publisher().Acknowledged();
    auto lastProgress = std::chrono::steady_clock::now();
    while (publishing.Messages().Size() > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (const std::int64_t now = publishing.Publisher().Acknowledged(); now != acknowledged) {
            acknowledged = now;
            lastProgress = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - lastProgress > patience) {
            return false;
        }
    }
    return true;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    rheo::replay::UseBinaryStandardStreams();
    std::string error;
    const auto options = ParseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "rheotrack-replay: %s\n%s", error.c_str(), kUsage);
        return 2;
    }

    rheo::Configuration configuration;
    if (options->config) {
        bool readable = false;
        configuration = rheo::ReadConfigurationFile(*options->config, &readable);
        if (!readable) {
            return Fail("cannot read the configuration file " + *options->config + ": " +
                        std::strerror(errno));
        }
    }

    std::FILE* input = stdin;
    if (options->input != "-") {
        input = std::fopen(options->input.c_str(), "rb");
        if (input == nullptr) {
            return Fail("cannot read " + options->input + ": " + std::strerror(errno));
        }
    }

#ifdef RHEO_WITH_PUBLISHING
    auto publishing = StartPublishing(*options, configuration, error);
    if (!publishing && !error.empty()) {
        return Fail(error);
    }
#endif

    rheo::OverridableClock clock(options->date, options->time, configuration);
    // Batch work: the log through one buffered handle, not an open and close per entry.
    rheo::BufferedEventLog bufferedLog(options->log, clock);
    rheo::ObservedEventLog log(bufferedLog);
    rheo::BufferedSessionFile file;
    rheo::NoMonitorView view;
    StderrMessageBoxes boxes;
    rheo::ReadingHistory history;
    rheo::Engine engine(configuration, clock, log, file, view, boxes, history);
#ifdef RHEO_WITH_PUBLISHING
    if (publishing) {
        // One transaction of the outbox for each block read, not one per reading.
        publishing->Observer().Hold(true);
        engine.Output().AddObserver(publishing->Observer());
        log.AddObserver(publishing->Observer());
    }
#endif

    // A new session file, as the program's "new session" starts it.
    if (!engine.StartSession(options->output, rheo::SessionStart::New, true)) {
        return Fail("cannot write " + options->output + ": " + std::strerror(errno));
    }

    std::vector<char> buffer(1 << 16);
    std::size_t count = 0;
    while ((count = std::fread(buffer.data(), 1, buffer.size(), input)) > 0) {
        engine.Feed(std::string_view(buffer.data(), count));
#ifdef RHEO_WITH_PUBLISHING
        if (publishing) {
            publishing->Observer().Flush();
        }
#endif
    }
    const bool readFailed = std::ferror(input) != 0;
    if (input != stdin) {
        std::fclose(input);
    }
    const bool written = file.Finish();
    const bool logged = bufferedLog.Finish();
    if (readFailed) {
        return Fail("cannot read " + options->input);
    }
    if (!written || boxes.shown > 0) {
        return Fail("cannot write " + options->output);
    }
    if (!logged) {
        return Fail("cannot write the event log " + *options->log);
    }
#ifdef RHEO_WITH_PUBLISHING
    if (publishing) {
        publishing->Observer().Flush();  // the entries of the session's end
        if (!Drain(*publishing, std::chrono::seconds(30))) {
            std::fprintf(stderr,
                         "rheotrack-replay: %lld messages wait in the outbox for the broker; a "
                         "later run with the same outbox sends them\n",
                         static_cast<long long>(publishing->Messages().Size()));
            return 1;
        }
    }
#endif
    return 0;
}
