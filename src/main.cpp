// RHEOTRACKPANEL: logs the readings of a rotational viscometer from its serial line.
#include <QApplication>

#include "monitor/Form1.h"
#include "monitor/Pictures.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rheotrackpanel"));
    QApplication::setWindowIcon(rheo::ApplicationIcon());
    // The program ends when the monitor window is closed or Quit is chosen, never because the
    // splash, the last window shown during start-up, has closed.
    QApplication::setQuitOnLastWindowClosed(false);

    rheo::Form1 form1;
    if (!form1.Start()) {
        return 0;  // another copy runs; the user has been told
    }
    return QApplication::exec();
}
