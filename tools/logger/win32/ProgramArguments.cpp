#include "ProgramArguments.h"

#include <windows.h>
// clang-format off
#include <shellapi.h>
// clang-format on

#include "platform/win32/WidePath.h"

namespace rheo::logger {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr || count != argc) {  // not what the C runtime read: its own
        if (wide != nullptr) {
            LocalFree(wide);
        }
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Utf8Path(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

}  // namespace rheo::logger
