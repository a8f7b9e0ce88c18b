#pragma once
#include <string>
#include <vector>

namespace rheo::logger {

// The program's arguments as the program carries text and paths: on Windows UTF-8, read from
// the wide command line (argv holds them in the ANSI code page, which loses every name outside
// it), elsewhere argv's own bytes.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace rheo::logger
