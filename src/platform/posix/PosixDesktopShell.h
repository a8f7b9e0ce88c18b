#pragma once
#include <string>

#include "platform/DesktopShell.h"

namespace rheo {

// The free desktops' document handling through GLib's GIO: the application the desktop has
// chosen for a type of document (its desktop entry, along XDG_DATA_HOME and XDG_DATA_DIRS, the
// choice in mimeapps.list) opens it. GIO starts the application detached: it is not waited for
// and leaves no zombie behind.
class PosixDesktopShell : public DesktopShell {
  public:
    // Result codes of FindExecutable, in the manner of the Windows call (above 32: found).
    static constexpr int kFound = 33;
    static constexpr int kNoAssociation = 31;
    static constexpr int kNotFound = 2;  // the document is missing

    // Found when the desktop names an application for the file's type, told by its name.
    int FindExecutable(const std::string& file) override;
    // Opens a document (a path) or a web address (a URI) with the application of its type. The
    // desktop cannot be asked for a maximised window, so that wish is dropped.
    bool Open(const std::string& target, bool maximised) override;
    // Starts the application FindExecutable finds for the page with the address, given
    // "http://" when it has no scheme: a browser takes a bare host name for a file of that name.
    // True when it could be started.
    bool OpenWebAddress(const std::string& address, const std::string& page) override;
};

}  // namespace rheo
