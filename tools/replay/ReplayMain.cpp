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
#include <vector>

#include "StandardStreams.h"
#include "app/ConfigurationFile.h"
#include "app/Engine.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/MonitorView.h"
#include "recording/BufferedEventLog.h"
#include "recording/BufferedSessionFile.h"

namespace {

constexpr const char* kUsage =
    "usage: rheotrack-replay [--config FILE] [--output FILE] [--log FILE] [--date TEXT] "
    "[--time TEXT] [INPUT]\n"
    "Decodes INPUT (standard input when absent or \"-\") as bytes from the instrument's serial\n"
    "line and writes the session file (standard output without --output) and the event log.\n";

struct Options {
    std::optional<std::string> config;
    std::string output = "-";
    std::optional<std::string> log;
    std::optional<std::string> date;
    std::optional<std::string> time;
    std::string input = "-";
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

    rheo::OverridableClock clock(options->date, options->time, configuration);
    // Batch work: the log through one buffered handle, not an open and close per entry.
    rheo::BufferedEventLog log(options->log, clock);
    rheo::BufferedSessionFile file;
    rheo::NoMonitorView view;
    StderrMessageBoxes boxes;
    rheo::ReadingHistory history;
    rheo::Engine engine(configuration, clock, log, file, view, boxes, history);

    // A new session file, as the program's "new session" starts it.
    if (!engine.StartSession(options->output, rheo::SessionStart::New, true)) {
        return Fail("cannot write " + options->output + ": " + std::strerror(errno));
    }

    std::vector<char> buffer(1 << 16);
    std::size_t count = 0;
    while ((count = std::fread(buffer.data(), 1, buffer.size(), input)) > 0) {
        engine.Feed(std::string_view(buffer.data(), count));
    }
    const bool readFailed = std::ferror(input) != 0;
    if (input != stdin) {
        std::fclose(input);
    }
    const bool written = file.Finish();
    const bool logged = log.Finish();
    if (readFailed) {
        return Fail("cannot read " + options->input);
    }
    if (!written || boxes.shown > 0) {
        return Fail("cannot write " + options->output);
    }
    if (!logged) {
        return Fail("cannot write the event log " + *options->log);
    }
    return 0;
}
