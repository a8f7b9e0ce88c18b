#pragma once
#include "platform/Dialogs.h"
#include "platform/MonitorView.h"
#include "platform/SessionFile.h"
#include "recording/ReadingOutput.h"
#include "recording/SessionState.h"
#include "vocabulary/Configuration.h"

namespace rheo {

inline constexpr const char* kSelectDestinationFile = "Select destination file";
inline constexpr const char* kOverwriteQuestion =
    "The selected file already exists.\r\nPress OK to overwrite.";

// The extension rules of the two commands.
std::string NewSessionPath(const std::string& chosen, const Text& extension);
std::string OpenSessionPath(const std::string& chosen, const Text& extension);

// The main window's session commands: new (create or empty), open (append) and close.
class SessionCommands {
  public:
    SessionCommands(const Configuration& configuration, SessionState& session, SessionFile& file,
                    ReadingOutput& output, FileDialog& dialog, MessageBoxes& boxes,
                    MonitorView& view)
        : configuration_(configuration),
          session_(session),
          file_(file),
          output_(output),
          dialog_(dialog),
          boxes_(boxes),
          view_(view) {}

    void NuevoArchivo();
    void AbrirArchivo();
    void CerrarArchivo();
    // Quit: closes the session file and touches nothing else.
    void CloseForQuit() { file_.Close(); }

  private:
    // Closes the previous file and opens the new one, emptied or for appending; a file that
    // cannot be opened ends the session at once through the reading output's failure path.
    void StartSession(const std::string& path, bool emptied);

    const Configuration& configuration_;
    SessionState& session_;
    SessionFile& file_;
    ReadingOutput& output_;
    FileDialog& dialog_;
    MessageBoxes& boxes_;
    MonitorView& view_;
};

}  // namespace rheo
