#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rheo {

// The publishing file an administrator may place beside vcfg.txt: the options below as
// "key=value" lines.
inline constexpr const char* kPublishingFileName = "vmqtt.txt";
inline constexpr const char* kDefaultTopicBase = "rheotrackpanel";
inline constexpr std::int64_t kDefaultOutboxLimit = 1'000'000;

// Where the broker listens: mqtt://host[:port] (1883) or mqtts://host[:port] (8883, TLS).
struct BrokerAddress {
    bool tls = false;
    std::string host;
    int port = 0;
};
std::optional<BrokerAddress> ParseBrokerUrl(std::string_view url, std::string& error);

// How readings and events are published. The keys are the logger's options without their
// "--" (mqtt, mqtt-base, mqtt-cafile, mqtt-cert, mqtt-key, mqtt-user, mqtt-password-file,
// mqtt-outbox, mqtt-outbox-limit, mqtt-allow-plaintext, mqtt-instrument), the same in the
// publishing file.
struct PublishingOptions {
    std::string url;  // empty: nothing is published
    std::string base = kDefaultTopicBase;
    std::string caFile;  // empty: the system's store
    std::string certFile;
    std::string keyFile;
    std::string user;
    std::string passwordFile;
    std::string outbox;      // empty: the caller's default
    std::string instrument;  // the topics' instrument; empty: the caller's default
    std::int64_t outboxLimit = kDefaultOutboxLimit;
    bool allowPlaintext = false;

    bool Enabled() const { return !url.empty(); }
    // Sets the option `key`; false with `error` for an unknown key or a bad value.
    bool Set(std::string_view key, std::string_view value, std::string& error);
    // The options that take no value on the command line (given, they mean "yes").
    static bool IsFlag(std::string_view key);
    // The whole: a readable URL, a key with a certificate, no password over plain mqtt://
    // unless allowed.
    bool Check(std::string& error) const;
};

// Takes the publishing option at args[at] ("--mqtt-base", with its value in args[at + 1]):
// returns how many arguments it took, 0 when args[at] is not a publishing option; on a bad
// value or a missing one it returns 0 with `error` set.
std::size_t TakePublishingArgument(const std::vector<std::string_view>& args, std::size_t at,
                                   PublishingOptions& options, std::string& error);

// Reads a publishing file: "key=value" lines, ended by LF or CR LF; blank lines and lines that
// start with "#" are skipped; mqtt-allow-plaintext takes yes/no, true/false or 1/0.
std::optional<PublishingOptions> ReadPublishingFile(const std::string& path, std::string& error);

// The publishing file by vcfg.txt's rule: the one an administrator placed beside the
// executable, else the one in the program's (per-user) directory; empty when there is neither
// (the file is never created).
std::string FindPublishingFile(const std::string& executableDirectory,
                               const std::string& programDirectory);

// The password: the file's first line without its line end.
std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error);

}  // namespace rheo
