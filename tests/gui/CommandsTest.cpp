// The monitor window's commands with the real engine behind them: the toolbar and the command
// menu as the user sees them, where the menu opens, each command reaching what it opens, and
// sessions made, appended to and closed through them (the rules behind: SessionCommandsTest).
#include <QDialog>
#include <QToolButton>
#include <optional>

#include "GuiTestSupport.h"

using namespace rheo;
using namespace rheo::test;

static void Command(FormMonitor& monitor, const char* name) {
    if (auto* button = monitor.findChild<QToolButton*>(name)) {
        QTest::mouseClick(button, Qt::LeftButton);
    } else {
        monitor.findChild<QAction*>(name)->trigger();
    }
}

void GuiTest::CommandsAndSessionsThroughTheToolbarAndTheMenu() {
    TestHost host;
    QVERIFY(host.form->Start());
    FormMonitor& monitor = host.Monitor();
    MonitorToolbar* toolbar = monitor.Toolbar1();
    CommandMenu* menu = monitor.MArch();

    // The menu opens at the pointer on a right press over the list.
    QWidget* viewport = host.List()->viewport();
    QTest::mousePress(viewport, Qt::RightButton, {}, QPoint(60, 40));
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), viewport->mapToGlobal(QPoint(60, 40)));
    menu->close();

    // Each session command by button or menu item: its dialog (New offers one filter, Open two),
    // the caption, the close commands on only with a session, and where the next reading goes.
    const std::string run = host.dir.File("run.csv");
    const std::string old = host.dir.File("old.csv");
    WriteFile(old, "earlier\r\n");
    const struct {
        const char* command;
        std::optional<std::string> answer;  // of the file dialog; none: cancelled
        std::size_t filters;
        std::string session;
        const std::string& file;
        std::string content;  // of the file after reading n
    } steps[] = {
        {"BNuevo", host.dir.File("run"), 1, run, run, kHeader + NumberedRow(1)},
        {"MArchOpen", old, 2, old, old, "earlier\r\n" + NumberedRow(2)},
        {"BCerrar", {}, 0, "", old, "earlier\r\n" + NumberedRow(2)},
        {"BAbrir", {}, 2, "", run, kHeader + NumberedRow(1)},
        {"MArchNew", run, 1, run, run, kHeader + NumberedRow(5)},  // over it, when asked
        {"MArchClose", {}, 0, "", run, kHeader + NumberedRow(5)},
    };
    int n = 0;
    for (const auto& step : steps) {
        host.dialog.answer = step.answer;
        host.dialog.lastFilters.clear();
        Command(monitor, step.command);
        QCOMPARE(host.dialog.lastFilters.size(), step.filters);
        QCOMPARE(monitor.windowTitle().toStdString(),
                 "Incoming data - " + (step.session.empty() ? "No file selected" : step.session));
        QCOMPARE(toolbar->findChild<QWidget*>("BCerrar")->isEnabled(), !step.session.empty());
        QCOMPARE(menu->MArchClose->isEnabled(), !step.session.empty());
        host.Feed(++n);
        QCOMPARE(ReadFile(step.file), step.content);
    }
    QCOMPARE(host.boxes.shown.size(), std::size_t(1));  // the overwrite question

    // The log goes to the desktop's text viewer (main); the about window comes up with its Close
    // label; the debug window only by its keys.
    const std::string log = host.form->ProgramDirectory() + "/vlog.txt\n";
    Command(monitor, "BLog");
    Command(monitor, "MArchLog");
    QTRY_COMPARE(ReadFile(std::getenv("HOME") + std::string("/opened")), log + log);
    QStringList shown;
    for (const char* about : {"BAbout", "MAbout"}) {
        WithModals([&] { Command(monitor, about); }, {[&](QWidget* modal) {
                       QWidget* close = modal->findChild<QWidget*>("Label5");
                       shown.append(modal->objectName() + (close->isVisible() ? " Close" : ""));
                       static_cast<QDialog*>(modal)->done(0);
                   }});
    }
    QCOMPARE(shown, QStringList({"Splash Close", "Splash Close"}));
    QApplication::setActiveWindow(&monitor);
    QTRY_VERIFY(monitor.isActiveWindow());
    QTest::keyClick(&monitor, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_VERIFY(monitor.DebugWindow() != nullptr && monitor.DebugWindow()->isVisible());
}
