#include "app/ConfigurationFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/ProgramLocation.h"
#include "platform/RegularFile.h"
#include "vocabulary/FileSystemPath.h"

namespace rheo {
namespace {

// More than three lines of separators and an extension could ever need.
constexpr std::size_t kMaxConfigurationBytes = 1 << 20;

// Splits the file's first three lines; a line ends at CR LF, a lone CR or a lone LF. A value
// ends at its first NUL: the operating system would cut a file name there, and the caption
// must show the name of the file that is really created.
void ParseLines(const std::string& bytes, Configuration& configuration) {
    Text* fields[] = {&configuration.FileExtension, &configuration.FieldSeparator,
                      &configuration.DecimalSeparator};
    std::size_t position = 0;
    for (Text* field : fields) {
        if (position >= bytes.size()) {
            return;  // fewer than three lines: the remaining values keep their defaults
        }
        const std::size_t end = std::min(bytes.find_first_of("\r\n", position), bytes.size());
        *field = bytes.substr(position, end - position);
        field->resize(std::min(field->find('\0'), field->size()));
        position = end + 1;
        if (end < bytes.size() && bytes[end] == '\r' && position < bytes.size() &&
            bytes[position] == '\n') {
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
    Configuration configuration;
    std::error_code error;
    // Whatever stands under the name, a link included, is read and never replaced. Only a
    // regular file is read, without waiting on a FIFO; anything else leaves the defaults.
    if (std::filesystem::exists(std::filesystem::symlink_status(FileSystemPath(path), error))) {
        if (const auto bytes = ReadRegularFile(path, kMaxConfigurationBytes)) {
            ParseLines(*bytes, configuration);
        }
        return configuration;
    }
    // Created once with the defaults; a directory that refuses it leaves the defaults in force.
    AppendToRegularFile(path, configuration.FileExtension + "\r\n" + configuration.FieldSeparator +
                                  "\r\n" + configuration.DecimalSeparator + "\r\n");
    return configuration;
}

Configuration LoadProgramConfiguration(const std::string& executableDirectory,
                                       const std::string& programDirectory) {
    if (executableDirectory != programDirectory) {
        const std::string beside = executableDirectory + PathSeparator() + kConfigurationFileName;
        std::error_code error;
        if (std::filesystem::exists(FileSystemPath(beside), error)) {
            Configuration configuration;
            if (const auto bytes = ReadRegularFile(beside, kMaxConfigurationBytes)) {
                ParseLines(*bytes, configuration);
            }
            return configuration;
        }
    }
    return LoadConfiguration(programDirectory);
}

}  // namespace rheo
