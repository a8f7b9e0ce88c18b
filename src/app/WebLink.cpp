#include "app/WebLink.h"

#include <cstdio>

#include "platform/NewFile.h"
#include "platform/ProgramLocation.h"

namespace rheo {
namespace {

void OpenAddress(DesktopShell& shell, MessageBoxes& boxes, const std::string& page) {
    if (!shell.OpenWebAddress(kMakerWebAddress, page)) {
        boxes.Show(kBrowserNotStarted, kBrowserNotStartedTitle, MessageIcon::Information,
                   MessageButtons::Ok);
    }
}

}  // namespace

void OpenWebPage(DesktopShell& shell, MessageBoxes& boxes, const std::string& programDirectory) {
    const std::string path = programDirectory + PathSeparator() + kTempHtmlFileName;
    // Written afresh, never through a link that someone planted under that name.
    if (!WriteNewFile(path, kTempHtmlLine)) {
        // A program directory without write access: there is nothing to ask the desktop
        // about, so let it open the address and report only a failed launch.
        OpenAddress(shell, boxes, path);
    } else if (shell.FindExecutable(path) <= 32) {
        boxes.Show(kNoBrowserFound, kNoBrowserTitle, MessageIcon::Information, MessageButtons::Ok);
    } else {
        OpenAddress(shell, boxes, path);
    }
    std::remove(path.c_str());  // a link removes as itself, never its target
}

}  // namespace rheo
