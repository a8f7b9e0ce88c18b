#include "platform/ProgramLocation.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace rheo {

std::string ExecutableDirectory() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return std::filesystem::current_path(error).string();
    }
    return executable.parent_path().string();
}

std::string UserDataDirectory() {
    std::filesystem::path base;
    if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome != nullptr && *dataHome) {
        base = dataHome;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home) {
        base = std::filesystem::path(home) / ".local" / "share";
    } else {
        base = std::filesystem::temp_directory_path();
    }
    const auto directory = base / "rheotrackpanel";
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    return directory.string();
}

bool DirectoryWritable(const std::string& directory) {
    return ::access(directory.c_str(), W_OK | X_OK) == 0;
}

char PathSeparator() {
    return '/';
}

}  // namespace rheo
