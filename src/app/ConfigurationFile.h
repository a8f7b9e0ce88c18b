#pragma once
#include <string>

#include "vocabulary/Configuration.h"

namespace rheo {

inline constexpr const char* kConfigurationFileName = "vcfg.txt";

// Reads <programDirectory>/vcfg.txt, or creates it with the defaults when it does not exist.
// A line ends at CR LF, a lone CR or a lone LF, and a value at its first NUL. An existing file
// is never rewritten; values it lacks (or all of them, when it cannot be read or is not a
// regular file) keep their defaults.
Configuration LoadConfiguration(const std::string& programDirectory);

// The configuration of a program whose own directory may be closed to it (installed under
// Program Files) so that programDirectory is a per-user one: a vcfg.txt that an administrator
// placed beside the executable is read as it stands; only when there is none is the one in
// programDirectory read, or created.
Configuration LoadProgramConfiguration(const std::string& executableDirectory,
                                       const std::string& programDirectory);

// Reads a configuration file without ever creating it (the replay tool's --config).
Configuration ReadConfigurationFile(const std::string& path, bool* readable = nullptr);

}  // namespace rheo
