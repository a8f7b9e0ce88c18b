#include "app/Startup.h"

#include <cstdio>
#include <filesystem>

#include "app/SettingsStore.h"
#include "platform/ProgramLocation.h"
#include "recording/SessionState.h"

namespace rheo {

std::string ChooseProgramDirectory() {
    const std::string executableDirectory = ExecutableDirectory();
    if (DirectoryWritable(executableDirectory)) {
        return executableDirectory;
    }
    return UserDataDirectory();
}

void EnsureEventLogInWorkingDirectory() {
    std::error_code error;
    if (std::filesystem::exists(kEventLogFileName, error)) {
        return;
    }
    if (std::FILE* f = std::fopen(kEventLogFileName, "ab")) {
        std::fclose(f);
    }
}

bool RunStartup(StartupParts parts) {
    if (!parts.instance.Acquire()) {
        parts.boxes.Show(kAlreadyOpen, kProgramTitle, MessageIcon::None, MessageButtons::Ok);
        return false;
    }
    parts.screens.ShowSplash();

    const int port = StoredPort(parts.registry);
    if (port != 0) {
        parts.ports.Abrir_Puerto(static_cast<std::uint8_t>(port));
    }

    parts.programDirectory = ChooseProgramDirectory();
    parts.configuration = LoadProgramConfiguration(ExecutableDirectory(), parts.programDirectory);
    parts.eventLog.SetFile(parts.programDirectory + PathSeparator() + kEventLogFileName);
    EnsureEventLogInWorkingDirectory();

    parts.screens.ShowMonitor();
    return true;
}

}  // namespace rheo
