#pragma once
#include <string>
#include <vector>

#include "platform/DesktopShell.h"

namespace rheo {

// The free desktops' document handling through the xdg tools: `xdg-mime` reports which
// application opens a type of document, `xdg-open` opens a document or web address with it.
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

    int FindExecutable(const std::string& file) override;
    // Starts the opener in a session of its own and returns without waiting for it. The
    // desktop's opener cannot be asked for a maximised window, so that wish is dropped.
    bool Open(const std::string& target, bool maximised) override;

  private:
    std::string MimeType(const std::string& file, bool& toolMissing);

    std::string lookupTool_;
    std::string openTool_;
};

}  // namespace rheo
