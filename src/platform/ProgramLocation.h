#pragma once
#include <string>

namespace rheo {

// The directory that holds the running executable, without a trailing separator.
std::string ExecutableDirectory();

// The per-user data directory used when the executable's directory is not writable
// ($XDG_DATA_HOME/rheotrackpanel elsewhere; %LOCALAPPDATA%\rheotrackpanel on Windows).
std::string UserDataDirectory();

// Whether the process may create files in the directory.
bool DirectoryWritable(const std::string& directory);

// The path separator of the platform, to build "<ProgramDirectory>\vlog.txt" and friends.
char PathSeparator();

}  // namespace rheo
