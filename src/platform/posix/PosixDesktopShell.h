#pragma once
#include <string>
#include <vector>

#include "platform/DesktopShell.h"

namespace rheo {

// What the program needs of an application's desktop entry (its .desktop file).
struct DesktopEntry {
    std::string path;  // the entry's file
    std::string exec;  // its command line, escapes resolved, field codes still in it
    std::string name;
    std::string icon;
};

// The free desktops' document handling through the xdg tools and the applications' desktop
// entries: `xdg-mime` reports which application opens a type of document, `xdg-open` opens a
// document with it, and a web address is given to the HTML documents' application directly.
class PosixDesktopShell : public DesktopShell {
  public:
    // Result codes of FindExecutable, in the manner of the Windows call (above 32: found).
    static constexpr int kFound = 33;
    static constexpr int kNoAssociation = 31;
    static constexpr int kNotFound = 2;  // the document or the lookup tool is missing

    // The tools may be replaced (tests, other desktops): the lookup tool is run as
    // "<lookup> query default <mime type>" and "<lookup> query filetype <file>", the opener as
    // "<open> <target>". A name without a slash is searched for in PATH.
    explicit PosixDesktopShell(std::string lookupTool = "xdg-mime",
                               std::string openTool = "xdg-open");

    // Found when the desktop names an application for the file's type and its desktop entry,
    // found along the data folders (XDG_DATA_HOME, XDG_DATA_DIRS), has a command line.
    int FindExecutable(const std::string& file) override;
    // Starts the opener in a session of its own and returns without waiting for it. The
    // desktop's opener cannot be asked for a maximised window, so that wish is dropped.
    bool Open(const std::string& target, bool maximised) override;
    // Starts the application FindExecutable finds for the page, from its entry's command line,
    // with the address (given "http://" when it has no scheme) as its argument; true when it
    // could be started. The desktop's opener is not used: it would take a bare host name for a
    // file and report its own start as success whatever became of the browser.
    bool OpenWebAddress(const std::string& address, const std::string& page) override;

  private:
    std::string MimeType(const std::string& file, bool& toolMissing);
    DesktopEntry Handler(const std::string& file, int& result);

    std::string lookupTool_;
    std::string openTool_;
};

}  // namespace rheo
