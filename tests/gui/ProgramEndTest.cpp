// The end of the program in real processes, and the main of the window tests: the test runs
// itself again as a child with the real ending, records three readings into a session and
// quits from the menu or closes its window. The child must end at once, with every row in the
// file and nothing more in the event log.
#include <QProcess>
#include <cstring>

#include "GuiTestSupport.h"
#include "support/TestDesktop.h"

using namespace rheo;
using namespace rheo::test;

// The child: "--child quit|close DIR", with its own files in DIR.
static int RunChild(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);  // the window's close must end it itself
    ::setenv("TMPDIR", argv[3], 1);
    TestHost host(false, true);
    host.dialog.answer = std::string(argv[3]) + "/session";
    host.form->Start();
    host.Monitor().NuevoArchivo();
    for (int n = 1; n <= 3; ++n) {
        host.Feed(n);
    }
    QTimer::singleShot(0, [&] {
        if (std::strcmp(argv[2], "quit") == 0) {
            QTest::mousePress(host.List()->viewport(), Qt::RightButton, {}, QPoint(20, 20));
            host.Monitor().MArch()->MArchQuit->trigger();
        } else {
            host.Monitor().close();
        }
        QTimer::singleShot(1000, [] { QCoreApplication::exit(3); });  // still running
    });
    return QApplication::exec();
}

void GuiTest::QuitAndCloseEndTheProcessWithTheFileComplete() {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string log = (std::filesystem::path(self).parent_path() / "vlog.txt").string();
    for (const char* mode : {"quit", "close"}) {
        TempDir dir;
        const std::string logBefore = ReadFile(log);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QString::fromStdString(self),
                    {"--child", mode, QString::fromStdString(dir.Path().string())});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(ReadFile(dir.File("session.csv")),
                 kHeader + NumberedRow(1) + NumberedRow(2) + NumberedRow(3));
        const std::string added = ReadFile(log).substr(logBefore.size());
        QCOMPARE(added.substr(std::min(added.size(), std::size_t(19))), " Start of process\r\n");
    }
}

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0) {
        return RunChild(argc, argv);
    }
    // The tests' desktop, whose text viewer notes what it opens in $HOME/opened.
    const TestDesktop desktop;
    const std::string viewer = std::getenv("HOME") + std::string("/viewer");
    WriteScript(viewer, "printf '%s\\n' \"$1\" >> \"$HOME/opened\"");
    ChooseApplication("text/plain", "viewer.desktop", viewer + " %f");
    QApplication application(argc, argv);
    GuiTest test;
    return QTest::qExec(&test, argc, argv);
}
