// The end of the program, in real processes: this test runs itself again as a child that
// builds the program's host exactly as the program does (only the file dialog answers from a
// script), records three readings into a session file and then quits or closes its window.
// The child must end at once, with every row in the file and nothing more in the event log.
// The built program itself is started as well, and must come up and keep running.
#include <signal.h>
#include <sys/stat.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <cstring>

#include "GuiTestSupport.h"

using namespace rheo;
using namespace rheo::guitest;

namespace {

constexpr int kStillRunning = 3;  // the child's code when the program did not end

// The child: "--child quit|close DIR".
int RunChild(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const std::string mode = argv[2];
    const std::string dir = argv[3];
    FileRegistry registry(dir + "/settings");
    QtSingleInstance instance(QString::fromStdString(dir));
    PosixDesktopShell shell;
    ScriptedBoxes boxes;
    ScriptedDialog dialog;
    dialog.answer = dir + "/session";

    Form1Services services;
    services.boxes = &boxes;
    services.dialog = &dialog;
    services.registry = &registry;
    services.shell = &shell;
    services.instance = &instance;
    services.splash = false;
    Form1 form1(std::move(services));
    if (!form1.Start()) {
        return 2;
    }
    form1.Monitor().NuevoArchivo();
    for (int n = 1; n <= 3; ++n) {
        form1.engine().Feed(NumberedMessage(n));
    }
    QTimer::singleShot(0, [&] {
        if (mode == "quit") {
            QTest::mousePress(form1.Monitor().ListView2()->viewport(), Qt::RightButton, {},
                              QPoint(20, 20));
            form1.Monitor().MArch()->MArchQuit->trigger();
        } else {
            form1.Monitor().close();
        }
        // Reached only when the program did not end.
        QTimer::singleShot(1000, [] { QCoreApplication::exit(kStillRunning); });
    });
    QApplication::exec();
    return kStillRunning;
}

std::string SelfPath() {
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

std::string LogFile() {
    return (std::filesystem::path(SelfPath()).parent_path() / "vlog.txt").string();
}

}  // namespace

class ProgramEndTest : public QObject {
    Q_OBJECT

  private:
    void EndsAtOnceWithTheFileComplete(const QString& mode);

  private slots:
    void QuitEndsTheProcess() { EndsAtOnceWithTheFileComplete(QStringLiteral("quit")); }
    void ClosingTheWindowEndsTheProcess() {
        EndsAtOnceWithTheFileComplete(QStringLiteral("close"));
    }
    void BuiltProgramStartsAndRuns();
};

void ProgramEndTest::EndsAtOnceWithTheFileComplete(const QString& mode) {
    TempDir dir;
    const std::string logBefore = ReadFile(LogFile());
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QString::fromStdString(SelfPath()),
                {QStringLiteral("--child"), mode, QString::fromStdString(dir.Path().string())});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);

    // The header and all three rows, nothing cut.
    const std::string written = ReadFile(dir.File("session.csv"));
    const std::string date = SystemClock().DateText();
    std::string expected =
        "Date,Hour,Spindle,RPM,Temp [\xBA"
        "C],Error T,Viscosity [cP],Error V,%\r\n";
    for (int n = 1; n <= 3; ++n) {
        const Reading r = NumberedReading(n, date);
        expected += r.Date + "," + r.Hour + "," + r.Spindle + "," + r.Rpm + "," + r.Temperature +
                    "," + r.TemperatureError + "," + r.Viscosity + "," + r.ViscosityError + "," +
                    r.Torque + "\r\n";
    }
    QCOMPARE(written, expected);
    // The event log got the start of the run, and nothing about its end.
    const std::string logAfter = ReadFile(LogFile());
    QVERIFY(logAfter.compare(0, logBefore.size(), logBefore) == 0);
    const std::string added = logAfter.substr(logBefore.size());
    QCOMPARE(std::count(added.begin(), added.end(), '\n'), 1L);
    QVERIFY(added.find("Start of process") != std::string::npos);
}

void ProgramEndTest::BuiltProgramStartsAndRuns() {
    TempDir dir;
    std::filesystem::create_directories(dir.File("config"));
    std::filesystem::create_directories(dir.File("work"));
    std::filesystem::create_directories(dir.File("runtime"));
    ::chmod(dir.File("runtime").c_str(), 0700);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_CONFIG_DIRS", QString::fromStdString(dir.File("config")));
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir.File("runtime")));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(QString::fromStdString(dir.File("work")));
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(RHEO_PROGRAM), {});
    QVERIFY(program.waitForStarted(10000));

    // After the splash's three seconds, start-up makes the empty log in the working directory
    // and shows the window; the program then runs until it is told to end.
    const std::string log = dir.File("work/vlog.txt");
    QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(log), 30000);
    QVERIFY(!program.waitForFinished(1000));
    QCOMPARE(ReadFile(log), std::string());
    const auto programDirectory = std::filesystem::path(RHEO_PROGRAM).parent_path();
    QVERIFY(std::filesystem::exists(programDirectory / "vcfg.txt"));
    // Its instance lock is held.
    QVERIFY(std::filesystem::exists(dir.File("runtime/rheotrackpanel.lock")));

    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(10000));
}

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--child") == 0) {
        return RunChild(argc, argv);
    }
    QApplication application(argc, argv);
    ProgramEndTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ProgramEndTest.moc"
