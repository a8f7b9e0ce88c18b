#include "publishing/PublishingOptions.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "vocabulary/FileSystemPath.h"

namespace rheo {
namespace {

bool ParseInteger(std::string_view text, std::int64_t& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

std::string_view WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    return line;
}

}  // namespace

std::optional<BrokerAddress> ParseBrokerUrl(std::string_view url, std::string& error) {
    BrokerAddress address;
    std::string_view rest;
    if (url.starts_with("mqtts://")) {
        address.tls = true;
        address.port = 8883;
        rest = url.substr(8);
    } else if (url.starts_with("mqtt://")) {
        address.port = 1883;
        rest = url.substr(7);
    } else {
        error = "the broker URL must start with mqtt:// or mqtts://: " + std::string(url);
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/') {
        rest.remove_suffix(1);
    }
    const auto colon = rest.rfind(':');
    // An IPv6 address is written in brackets, [::1]:1883.
    const bool bracketed = rest.starts_with('[');
    const auto closing = rest.find(']');
    if (colon != std::string_view::npos && (!bracketed || colon > closing)) {
        std::int64_t port = 0;
        if (!ParseInteger(rest.substr(colon + 1), port) || port < 1 || port > 65535) {
            error = "bad port in the broker URL: " + std::string(url);
            return std::nullopt;
        }
        address.port = static_cast<int>(port);
        rest = rest.substr(0, colon);
    }
    if (bracketed && closing != std::string_view::npos) {
        rest = rest.substr(1, closing - 1);
    }
    if (rest.empty() || rest.find_first_of("/@ ") != std::string_view::npos) {
        error = "bad host in the broker URL: " + std::string(url);
        return std::nullopt;
    }
    address.host = std::string(rest);
    return address;
}

bool PublishingOptions::IsFlag(std::string_view key) {
    return key == "mqtt-allow-plaintext";
}

bool PublishingOptions::Set(std::string_view key, std::string_view value, std::string& error) {
    std::string* const texts[] = {&url,          &base,   &caFile, &certFile,  &keyFile,
                                  &passwordFile, &outbox, &user,   &instrument};
    constexpr std::string_view kTextKeys[] = {"mqtt",        "mqtt-base", "mqtt-cafile",
                                              "mqtt-cert",   "mqtt-key",  "mqtt-password-file",
                                              "mqtt-outbox", "mqtt-user", "mqtt-instrument"};
    for (std::size_t i = 0; i < std::size(kTextKeys); ++i) {
        if (key == kTextKeys[i]) {
            *texts[i] = std::string(value);
            return true;
        }
    }
    if (key == "mqtt-outbox-limit") {
        if (!ParseInteger(value, outboxLimit) || outboxLimit < 1) {
            error = "mqtt-outbox-limit takes a number of messages, 1 or more";
            return false;
        }
        return true;
    }
    if (key == "mqtt-allow-plaintext") {
        if (value == "1" || value == "yes" || value == "true") {
            allowPlaintext = true;
        } else if (value == "0" || value == "no" || value == "false") {
            allowPlaintext = false;
        } else {
            error = "mqtt-allow-plaintext takes yes or no";
            return false;
        }
        return true;
    }
    error = "unknown publishing option: " + std::string(key);
    return false;
}

bool PublishingOptions::Check(std::string& error) const {
    if (!Enabled()) {
        return true;
    }
    const auto address = ParseBrokerUrl(url, error);
    if (!address) {
        return false;
    }
    if (base.empty() || base.find_first_of("+#") != std::string::npos ||
        instrument.find_first_of("+#/") != std::string::npos) {
        error = "the topic base and the instrument must be topics without + or #";
        return false;
    }
    if (certFile.empty() != keyFile.empty()) {
        error = "a client certificate needs its key, and a key its certificate";
        return false;
    }
    if (!address->tls && (!certFile.empty() || !caFile.empty())) {
        error = "certificates are only used with mqtts://";
        return false;
    }
    if (!address->tls && !passwordFile.empty() && !allowPlaintext) {
        error =
            "refusing to send a password over plain mqtt://: use mqtts:// or "
            "--mqtt-allow-plaintext";
        return false;
    }
    return true;
}

std::size_t TakePublishingArgument(const std::vector<std::string_view>& args, std::size_t at,
                                   PublishingOptions& options, std::string& error) {
    const std::string_view arg = args[at];
    if (!arg.starts_with("--mqtt")) {
        return 0;
    }
    const std::string_view key = arg.substr(2);
    if (PublishingOptions::IsFlag(key)) {
        return options.Set(key, "yes", error) ? 1 : 0;
    }
    if (at + 1 >= args.size()) {
        error = std::string(arg) + " needs a value";
        return 0;
    }
    return options.Set(key, args[at + 1], error) ? 2 : 0;
}

std::optional<PublishingOptions> ReadPublishingFile(const std::string& path, std::string& error) {
    std::ifstream in(FileSystemPath(path), std::ios::binary);
    if (!in) {
        error = "cannot read the publishing file " + path;
        return std::nullopt;
    }
    PublishingOptions options;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string_view text = WithoutLineEnd(line);
        if (text.empty() || text.starts_with('#')) {
            continue;
        }
        const auto equals = text.find('=');
        std::string why;
        if (equals == std::string_view::npos) {
            why = "a line must read key=value";
        } else if (!options.Set(text.substr(0, equals), text.substr(equals + 1), why)) {
        } else {
            continue;
        }
        error = path + ":" + std::to_string(number) + ": " + why;
        return std::nullopt;
    }
    return options;
}

std::string FindPublishingFile(const std::string& executableDirectory,
                               const std::string& programDirectory) {
    for (const std::string* directory : {&executableDirectory, &programDirectory}) {
        const auto path = FileSystemPath(*directory) / kPublishingFileName;
        std::error_code error;
        if (!directory->empty() && std::filesystem::is_regular_file(path, error)) {
            return PathText(path);
        }
    }
    return {};
}

std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error) {
    std::ifstream in(FileSystemPath(path), std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) {
        error = "cannot read the password file " + path;
        return std::nullopt;
    }
    return std::string(WithoutLineEnd(line));
}

}  // namespace rheo
