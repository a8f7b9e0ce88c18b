#include "app/WebLink.h"

#include <cstdio>
#include <fstream>

#include "platform/ProgramLocation.h"

namespace rheo {
namespace {

// Creates (or replaces) the file with its one line; false when it could not be written whole.
bool WriteTempHtml(const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    out << kTempHtmlLine;
    out.close();
    return static_cast<bool>(out);
}

void OpenAddress(DesktopShell& shell, MessageBoxes& boxes) {
    if (!shell.Open(kMakerWebAddress, false)) {
        boxes.Show(kBrowserNotStarted, kBrowserNotStartedTitle, MessageIcon::Information,
                   MessageButtons::Ok);
    }
}

}  // namespace

void OpenWebPage(DesktopShell& shell, MessageBoxes& boxes, const std::string& programDirectory) {
    const std::string path = programDirectory + PathSeparator() + kTempHtmlFileName;
    if (!WriteTempHtml(path)) {
        // A program directory without write access: there is nothing to ask the desktop
        // about, so let it open the address and report only a failed launch.
        OpenAddress(shell, boxes);
    } else if (shell.FindExecutable(path) <= 32) {
        boxes.Show(kNoBrowserFound, kNoBrowserTitle, MessageIcon::Information, MessageButtons::Ok);
    } else {
        OpenAddress(shell, boxes);
    }
    std::remove(path.c_str());  // also a file left half-written by a full disk
}

}  // namespace rheo
