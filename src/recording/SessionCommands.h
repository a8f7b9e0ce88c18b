#pragma once
#include "platform/Dialogs.h"
#include "recording/ReadingOutput.h"
#include "vocabulary/Configuration.h"

namespace rheo {

inline constexpr const char* kSelectDestinationFile = "Select destination file";
inline constexpr const char* kOverwriteQuestion =
    "The selected file already exists.\r\nPress OK to overwrite.";

// The extension rules of the two commands.
std::string NewSessionPath(const std::string& chosen, const Text& extension);
std::string OpenSessionPath(const std::string& chosen, const Text& extension);

// The main window's session commands: new (create or empty), open (append) and close, each
// asking the operator for the file and starting the session through the reading output.
class SessionCommands {
  public:
    SessionCommands(const Configuration& configuration, ReadingOutput& output, FileDialog& dialog,
                    MessageBoxes& boxes)
        : configuration_(configuration), output_(output), dialog_(dialog), boxes_(boxes) {}

    void NuevoArchivo();
    void AbrirArchivo();
    void CerrarArchivo() { output_.EndSession(); }
    // Quit: closes the session file and touches nothing else.
    void CloseForQuit() { output_.CloseForQuit(); }

  private:
    const Configuration& configuration_;
    ReadingOutput& output_;
    FileDialog& dialog_;
    MessageBoxes& boxes_;
};

}  // namespace rheo
