// RHEOTRACKPANEL: logs the readings of a rotational viscometer from its serial line.
//
// The one place where the program is put together: the real services of this desktop are
// built here and given to the host, which works only through their interfaces.
#include <QApplication>

#include "auxiliary/Splash.h"
#include "monitor/Form1.h"
#include "monitor/Pictures.h"
#include "platform/qt/QtFileDialog.h"
#include "platform/qt/QtMessageBoxes.h"

#if defined(_WIN32)
#include "platform/win32/Win32DesktopShell.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32SerialLink.h"
#include "platform/win32/Win32SingleInstance.h"
#else
#include "app/PortMap.h"
#include "platform/posix/FileRegistry.h"
#include "platform/posix/PosixDesktopShell.h"
#include "platform/qt/QtSerialLink.h"
#include "platform/qt/QtSingleInstance.h"
#endif

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rheotrackpanel"));
    QApplication::setWindowIcon(rheo::ApplicationIcon());
    // The program ends when the monitor window is closed or Quit is chosen, never because the
    // splash, the last window shown during start-up, has closed.
    QApplication::setQuitOnLastWindowClosed(false);

#if defined(_WIN32)
    rheo::Win32Registry registry;
    rheo::Win32SerialLink link;  // COM<N>: Windows names the ports itself
    rheo::Win32DesktopShell shell;
    rheo::Win32SingleInstance instance;  // a named mutex of the logon session
#else
    rheo::FileRegistry registry;
    // The administrator's port map file, then the machine-wide store (see PortMap).
    rheo::FileRegistry portMapFile(rheo::FileRegistry::PortMapFile());
    rheo::PortMap portMap({{portMapFile, portMapFile.File()}, {registry, registry.File()}});
    rheo::QtSerialLink link(portMap.Devices());
    link.setObjectName("MSComm1");
    rheo::PosixDesktopShell shell;
    rheo::QtSingleInstance instance;
#endif
    rheo::QtMessageBoxes boxes;
    rheo::QtFileDialog dialog(nullptr);

    rheo::Form1 form1({registry, link, shell, instance, boxes, dialog,
                       [] { rheo::Splash::ShowModal(rheo::SplashMode::Startup, nullptr); },
                       rheo::EndProcessNow});
    boxes.SetParent(&form1.Monitor());
    dialog.SetParent(&form1.Monitor());
    if (!form1.Start()) {
        return 0;  // another copy runs; the user has been told
    }
#if !defined(_WIN32)
    portMap.StartReporting(form1.Log());  // the event log has its file now
#endif
    return QApplication::exec();
}
