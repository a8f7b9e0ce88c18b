#pragma once
#include <optional>
#include <string>

#include "publishing/PublishingOptions.h"

namespace rheo::logger {

// Where the session's rows go: a new file (as New), an existing one appended to (as Open), or
// one file a day in a folder.
enum class OutputMode { New, Append, Daily };

struct LoggerOptions {
    std::string device;  // --device, or empty when the port is given by number
    int port = 0;        // --port 1 to 4, or 0
    OutputMode mode = OutputMode::New;
    std::string output;  // the file, or the folder of the daily files
    bool force = false;  // --output may empty an existing file
    std::optional<std::string> config;
    std::optional<std::string> log;
    std::string instrument;  // --instrument, or empty for the device's base name
    bool wait = false;       // a device missing at the start is waited for
    bool quiet = false;      // only errors on standard error
    // Publishing to a broker (--mqtt URL and the other --mqtt... options); off without --mqtt.
    PublishingOptions publishing;
    bool publishingGiven = false;  // some --mqtt... option was given
};

inline constexpr const char* kLoggerUsage =
    "usage: rheotrack-logger (--device PATH | --port N) (--output FILE | --append FILE |\n"
    "                        --output-dir DIR) [--force] [--config FILE] [--log FILE]\n"
    "                        [--instrument NAME] [--wait] [--quiet] [--mqtt URL [--mqtt-...]]\n"
    "Logs the readings of one viscometer from its serial line, with no window, into a session\n"
    "file and the event log, byte for byte as the window program writes them.\n"
    "\n"
    "  --device PATH      the serial device (a /dev/serial/by-id/... name, /dev/ttyUSB3)\n"
    "  --port N           port 1 to 4, mapped to a device as the window program maps it\n"
    "  --output FILE      a new session file, with its header; an existing one only with --force\n"
    "  --append FILE      appends to FILE, with a header only when it is new\n"
    "  --output-dir DIR   one file a day in DIR: <instrument>_<YYYY-MM-DD>.<extension>\n"
    "  --force            lets --output empty an existing file\n"
    "  --config FILE      a configuration file like vcfg.txt (default: csv , .)\n"
    "  --log FILE         the event log (default: vlog.txt beside the session files)\n"
    "  --instrument NAME  the daily files' name (default: the device's base name)\n"
    "  --wait             waits for a device that is not there at the start\n"
    "  --quiet            prints errors only\n"
    "Publishing every reading and event to an MQTT broker (nothing is sent without --mqtt):\n"
    "  --mqtt URL                 mqtt://host[:port] (1883) or mqtts://host[:port] (8883, TLS)\n"
    "  --mqtt-base TOPIC          the topics' first part (default: rheotrackpanel)\n"
    "  --mqtt-instrument NAME     the topics' instrument (default: --instrument's name)\n"
    "  --mqtt-cafile FILE         the broker's CA (default: the system's store)\n"
    "  --mqtt-cert FILE, --mqtt-key FILE   a client certificate and its key\n"
    "  --mqtt-user NAME           the login's user name\n"
    "  --mqtt-password-file FILE  the file whose first line is the password\n"
    "  --mqtt-outbox FILE         the messages waiting for the broker (default:\n"
    "                             <instrument>.outbox in $STATE_DIRECTORY when systemd sets\n"
    "                             it, else in ~/.local/share/rheotrackpanel)\n"
    "  --mqtt-outbox-limit N      the most messages the outbox holds (default: 1000000)\n"
    "  --mqtt-allow-plaintext     lets a password go over plain mqtt://\n"
    "Of --device and --port, and of the three outputs, the last given counts, as it does for\n"
    "an option given twice. SIGTERM and SIGINT end it cleanly; SIGHUP reopens the event log.\n"
    "Exit status: 0 after a clean end, 1 when rows were lost to a file that could not be\n"
    "written, 2 for a bad command line or a device or file that cannot be opened at the start.\n"
#if defined(_WIN32)
    "\n"
    "On Windows --device takes a COM port (COM7, \\\\.\\COM12) and port N is COM<N>; Ctrl+C,\n"
    "Ctrl+Break and closing the console end it cleanly (there is no SIGHUP).\n"
    "  rheotrack-logger --install-service NAME OPTIONS...   registers the service NAME\n"
    "  rheotrack-logger --remove-service NAME               stops and removes it\n"
#endif
    ;

// Reads the command line. On a fault, returns nothing and says why in `error`; --help sets
// `help` instead.
std::optional<LoggerOptions> ParseLoggerOptions(int argc, char** argv, std::string& error,
                                                bool& help);

// Checks what the options name before anything is opened or created: the port's range, the
// output file or folder, the event log's place, the instrument's name. The fault, or empty.
std::string CheckLoggerOptions(const LoggerOptions& options);

// The event log's file: --log, or vlog.txt in the folder of the session files.
std::string EventLogPath(const LoggerOptions& options);

// The outbox's file: --mqtt-outbox, or <instrument>.outbox in `defaultFolder`.
std::string OutboxPath(const LoggerOptions& options, const std::string& defaultFolder);

}  // namespace rheo::logger
