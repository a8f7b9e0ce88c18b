#include "ProgramArguments.h"

namespace rheo::logger {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace rheo::logger
