#pragma once
#include <string>

#include "platform/DesktopShell.h"
#include "platform/Dialogs.h"

namespace rheo {

// The maker's web address, a bare host name, until the maker gives another.
inline constexpr const char* kMakerWebAddress = "www.kavrel.example";

// The small HTML file whose association tells whether a web browser is installed.
inline constexpr const char* kTempHtmlFileName = "TempHTM.htm";
inline constexpr const char* kTempHtmlLine = "\"<HTML> <\\HTML>\"\r\n";

// The web link's messages (Windows-1252).
inline constexpr const char* kNoBrowserFound = "No se ha encontrado ning\xFAn navegador asosciado.";
inline constexpr const char* kNoBrowserTitle = "Atenci\xF3n";
inline constexpr const char* kBrowserNotStarted =
    "No se ha podido arrancar el navegador navegador asosciado.";
inline constexpr const char* kBrowserNotStartedTitle = "Error";

// Opens the maker's web address in the user's browser. A temporary TempHTM.htm in the program
// directory is used to ask the desktop whether any program opens HTML documents; it is written
// afresh (whatever was under that name, a link included, is removed first, never written
// through) and removed again whatever happens. When that file cannot be created the address is
// opened directly.
void OpenWebPage(DesktopShell& shell, MessageBoxes& boxes, const std::string& programDirectory);

}  // namespace rheo
