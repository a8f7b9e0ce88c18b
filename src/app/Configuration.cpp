#include "app/Configuration.h"

#include <cstdio>
#include <filesystem>

#include "platform/ProgramLocation.h"

namespace rheo {
namespace {

// Splits the file's first three lines; a line ends at CR LF, a lone CR or a lone LF.
void ParseLines(const std::string& bytes, Configuration& configuration) {
    Text* fields[] = {&configuration.FileExtension, &configuration.FieldSeparator,
                      &configuration.DecimalSeparator};
    std::size_t position = 0;
    for (Text* field : fields) {
        if (position >= bytes.size()) {
            return;  // fewer than three lines: the remaining values keep their defaults
        }
        std::size_t end = bytes.find_first_of("\r\n", position);
        if (end == std::string::npos) {
            *field = bytes.substr(position);
            return;
        }
        *field = bytes.substr(position, end - position);
        position = end + 1;
        if (bytes[end] == '\r' && position < bytes.size() && bytes[position] == '\n') {
            ++position;
        }
    }
}

}  // namespace

Configuration ReadConfigurationFile(const std::string& path, bool* readable) {
    Configuration configuration;
    std::string bytes;
    bool ok = false;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t count = 0;
        while ((count = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
            bytes.append(buffer, count);
        }
        ok = std::ferror(f) == 0;
        std::fclose(f);
    }
    if (readable != nullptr) {
        *readable = ok;
    }
    if (ok) {
        ParseLines(bytes, configuration);
    }
    return configuration;
}

Configuration LoadConfiguration(const std::string& programDirectory) {
    const std::string path = programDirectory + PathSeparator() + kConfigurationFileName;
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        return ReadConfigurationFile(path);
    }
    Configuration defaults;
    // Created once with the defaults; a directory that refuses it leaves the defaults in force.
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        const std::string bytes = defaults.FileExtension + "\r\n" + defaults.FieldSeparator +
                                  "\r\n" + defaults.DecimalSeparator + "\r\n";
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return defaults;
}

Configuration LoadProgramConfiguration(const std::string& executableDirectory,
                                       const std::string& programDirectory) {
    if (executableDirectory != programDirectory) {
        const std::string beside = executableDirectory + PathSeparator() + kConfigurationFileName;
        std::error_code error;
        if (std::filesystem::exists(beside, error)) {
            return ReadConfigurationFile(beside);
        }
    }
    return LoadConfiguration(programDirectory);
}

}  // namespace rheo
