#include "LoggerOptions.h"

#include <charconv>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "recording/EventLog.h"
#include "vocabulary/FileSystemPath.h"

namespace rheo::logger {
namespace {

namespace fs = std::filesystem;

bool ParsePort(std::string_view text, int& port) {
    const char* end = text.data() + text.size();
    const auto [last, fault] = std::from_chars(text.data(), end, port);
    return !text.empty() && fault == std::errc() && last == end;
}

// The folder a file would be made in: its parent, or the working folder for a bare name.
fs::path FolderOf(const std::string& file) {
    const fs::path parent = FileSystemPath(file).parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

// A file the logger writes: an existing one must be a regular file, a new one needs its folder.
std::string CheckFile(const std::string& file, const char* what) {
    std::error_code fault;
    const fs::file_status status = fs::status(FileSystemPath(file), fault);
    if (fs::exists(status)) {
        return fs::is_regular_file(status)
                   ? ""
                   : std::string(what) + " " + file + " is not a regular file";
    }
    if (!fs::is_directory(FolderOf(file), fault)) {
        return std::string(what) + " " + file + ": no folder " + PathText(FolderOf(file));
    }
    return "";
}

// The publishing options as a whole, and the files they name, read before anything is made.
std::string CheckPublishing(const LoggerOptions& options) {
    const PublishingOptions& publishing = options.publishing;
    if (!publishing.Enabled()) {
        return options.publishingGiven ? "the --mqtt-... options need --mqtt URL" : "";
    }
    std::string error;
    if (!publishing.Check(error)) {
        return error;
    }
    std::error_code fault;
    const std::pair<const std::string*, const char*> files[] = {
        {&publishing.caFile, "--mqtt-cafile"},
        {&publishing.certFile, "--mqtt-cert"},
        {&publishing.keyFile, "--mqtt-key"}};
    for (const auto& [file, what] : files) {
        if (!file->empty() && !fs::is_regular_file(FileSystemPath(*file), fault)) {
            return std::string(what) + " " + *file + " is not a readable file";
        }
    }
    if (!publishing.passwordFile.empty() && !ReadPasswordFile(publishing.passwordFile, error)) {
        return error;
    }
    if (!publishing.outbox.empty()) {
        return CheckFile(publishing.outbox, "--mqtt-outbox");
    }
    return "";
}

}  // namespace

std::optional<LoggerOptions> ParseLoggerOptions(int argc, char** argv, std::string& error,
                                                bool& help) {
    LoggerOptions options;
    bool deviceGiven = false;
    bool outputGiven = false;
    help = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view name = argv[i];
        std::optional<std::string> inlineValue;
        if (const auto equals = name.find('='); name.starts_with("--") && equals != name.npos) {
            inlineValue = std::string(name.substr(equals + 1));
            name = name.substr(0, equals);
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 >= argc) {
                error = "option " + std::string(name) + " needs a value";
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        const auto flag = [&](bool& target) {
            if (inlineValue) {
                error = "option " + std::string(name) + " takes no value";
                return false;
            }
            target = true;
            return true;
        };
        // The publishing options are read by the publishing library's own parser.
        const auto publishing = [&](std::string_view option,
                                    const std::optional<std::string>& given) {
            options.publishingGiven = true;
            std::vector<std::string_view> args{option};
            if (given) {
                if (PublishingOptions::IsFlag(option.substr(2))) {
                    error = "option " + std::string(option) + " takes no value";
                    return false;
                }
                args.push_back(*given);
            } else if (i + 1 < argc) {
                args.push_back(argv[i + 1]);
            }
            const std::size_t taken = TakePublishingArgument(args, 0, options.publishing, error);
            if (taken == 0) {
                if (error.empty()) {
                    error = "unknown option " + std::string(option);
                }
                return false;
            }
            if (!given) {
                i += static_cast<int>(taken) - 1;
            }
            return true;
        };
        const auto output = [&](OutputMode mode) {
            const auto text = value();
            if (!text) {
                return false;
            }
            if (text->empty()) {
                error = "option " + std::string(name) + " needs a file or folder";
                return false;
            }
            options.mode = mode;
            options.output = *text;
            outputGiven = true;
            return true;
        };
        bool ok = true;
        if (name.starts_with("--mqtt")) {
            ok = publishing(name, inlineValue);
        } else if (name == "--help" || name == "-h") {
            help = true;
            return std::nullopt;
        } else if (name == "--device") {
            const auto text = value();
            ok = text.has_value();
            if (ok && text->empty()) {
                error = "option --device needs a device";
                ok = false;
            }
            if (ok) {
                options.device = *text;
                options.port = 0;
                deviceGiven = true;
            }
        } else if (name == "--port") {
            const auto text = value();
            ok = text.has_value();
            if (ok && (!ParsePort(*text, options.port) || options.port < 1 || options.port > 4)) {
                error = "option --port takes a port from 1 to 4, not \"" + *text + "\"";
                ok = false;
            }
            if (ok) {
                options.device.clear();
                deviceGiven = true;
            }
        } else if (name == "--output") {
            ok = output(OutputMode::New);
        } else if (name == "--append") {
            ok = output(OutputMode::Append);
        } else if (name == "--output-dir") {
            ok = output(OutputMode::Daily);
        } else if (name == "--config" || name == "--log" || name == "--instrument") {
            const auto text = value();
            ok = text.has_value();
            if (ok && name == "--config") {
                options.config = *text;
            } else if (ok && name == "--log") {
                options.log = *text;
            } else if (ok) {
                options.instrument = *text;
            }
        } else if (name == "--force") {
            ok = flag(options.force);
        } else if (name == "--wait") {
            ok = flag(options.wait);
        } else if (name == "--quiet") {
            ok = flag(options.quiet);
        } else if (name.starts_with("-")) {
            error = "unknown option " + std::string(name);
            ok = false;
        } else {
            error = "unexpected argument \"" + std::string(name) + "\"";
            ok = false;
        }
        if (!ok) {
            return std::nullopt;
        }
    }
    if (!deviceGiven) {
        error = "no serial line: give --device PATH or --port N";
        return std::nullopt;
    }
    if (!outputGiven) {
        error = "no output: give --output FILE, --append FILE or --output-dir DIR";
        return std::nullopt;
    }
    return options;
}

std::string CheckLoggerOptions(const LoggerOptions& options) {
    std::error_code fault;
    if (options.mode == OutputMode::Daily) {
        if (!fs::is_directory(FileSystemPath(options.output), fault)) {
            return "--output-dir " + options.output + " is not a folder";
        }
    } else {
        const char* what = options.mode == OutputMode::New ? "--output" : "--append";
        if (std::string problem = CheckFile(options.output, what); !problem.empty()) {
            return problem;
        }
        if (options.mode == OutputMode::New && !options.force &&
            fs::exists(FileSystemPath(options.output), fault)) {
            return "--output " + options.output +
                   " exists: give --force to empty it, or use --append";
        }
    }
    if (options.config) {
        if (!fs::is_regular_file(FileSystemPath(*options.config), fault)) {
            return "cannot read the configuration file " + *options.config;
        }
    }
    if (std::string problem = CheckFile(EventLogPath(options), "the event log"); !problem.empty()) {
        return problem;
    }
    if (std::string problem = CheckPublishing(options); !problem.empty()) {
        return problem;
    }
    const std::string& name = options.instrument;
    if (options.mode == OutputMode::Daily && !name.empty() &&
        (name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos)) {
        return "--instrument \"" + name +
               "\" cannot name a file: no \"/\", \"\\\", \".\" or \"..\"";
    }
    return "";
}

std::string EventLogPath(const LoggerOptions& options) {
    if (options.log) {
        return *options.log;
    }
    const fs::path folder = options.mode == OutputMode::Daily ? FileSystemPath(options.output)
                                                              : FolderOf(options.output);
    return PathText(folder / kEventLogFileName);
}

}  // namespace rheo::logger

namespace rheo::logger {

std::string OutboxPath(const LoggerOptions& options, const std::string& defaultFolder) {
    if (!options.publishing.outbox.empty()) {
        return options.publishing.outbox;
    }
    const std::string& instrument =
        options.publishing.instrument.empty() ? options.instrument : options.publishing.instrument;
    return PathText(FileSystemPath(defaultFolder) / (instrument + ".outbox"));
}

}  // namespace rheo::logger
