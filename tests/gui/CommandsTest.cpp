// The monitor window's commands with the real engine behind them: the toolbar and the command
// menu as the user sees them, where the menu opens, and each command reaching what it opens.
#include <QDialog>
#include <QMenuBar>
#include <QToolButton>
#include <optional>

#include "GuiTestSupport.h"

using namespace rheo;
using namespace rheo::test;

namespace {

// The objectNames of the items in their order, "-" for a separator.
QString Names(const QList<QAction*>& items, const QToolBar* toolbar = nullptr) {
    QStringList names;
    for (QAction* item : items) {
        const QObject* shown = toolbar != nullptr        ? toolbar->widgetForAction(item)
                               : item->menu() != nullptr ? static_cast<QObject*>(item->menu())
                                                         : item;
        names.append(item->isSeparator() ? QStringLiteral("-") : shown->objectName());
    }
    return names.join(' ');
}

// The items: objectName, text and, on the toolbar, tool tip; ";" between items.
const char* const kItems =
    "BNuevo|New|Create a new session;BAbrir|Open|Open an existing session;"
    "BCerrar|Close|Close the current session;BLog|View Log|Open log file;"
    "BPort|Port|Select communication port;BAbout|About..|;Port 1|Port 1;COM2|Port 2;"
    "COM3|Port 3;COM4|Port 4;MArch|&Menu;MArchNew|&Nuevo Archivo;MArchOpen|&Abrir Archivo;"
    "MArchClose|&Cerrar Archivo;MArchLog|Ver Fichero &Log;MArchPort|Escoger &Puerto;"
    "MArchPort1|Puerto &1;MArchPort2|Puerto &2;MArchPort3|Puerto &3;MArchPort4|Puerto &4;"
    "MAbout|Acerca &de...;MArchQuit|&Salir";

// Every item's texts and state, the close command on only with a session; the toolbar's
// pictures lit when hovered, except the emblem.
void CheckItems(FormMonitor& monitor, bool sessionOpen) {
    for (const QString& item : QString(kItems).split(';')) {
        const QStringList expected = item.split('|');
        QObject* shown = monitor.findChild<QObject*>(expected[0]);
        QVERIFY2(shown != nullptr, qPrintable(item));
        const bool isMenu = qobject_cast<QMenu*>(shown) != nullptr;
        QCOMPARE(shown->property(isMenu ? "title" : "text").toString(), expected[1]);
        if (expected.size() == 3) {
            QCOMPARE(shown->property("toolTip").toString(), expected[2]);
        }
        const bool closeCommand = expected[0] == "BCerrar" || expected[0] == "MArchClose";
        QCOMPARE(shown->property("enabled").toBool(), sessionOpen || !closeCommand);
        if (auto* button = qobject_cast<QToolButton*>(shown)) {
            const QIcon icon = button->icon();
            QCOMPARE(icon.pixmap(21, QIcon::Normal).toImage() ==
                         icon.pixmap(21, QIcon::Active).toImage(),
                     expected[0] == "BAbout");
        }
    }
}

void Command(FormMonitor& monitor, const char* name) {
    QObject* command = monitor.findChild<QObject*>(name);
    if (auto* button = qobject_cast<QToolButton*>(command)) {
        QTest::mouseClick(button, Qt::LeftButton);
    } else {
        qobject_cast<QAction*>(command)->trigger();
    }
}

}  // namespace

void GuiTest::CommandsOfTheToolbarAndTheMenu() {
    TestHost host;
    QVERIFY(host.Start());
    FormMonitor& monitor = host.Monitor();
    MonitorToolbar* toolbar = monitor.Toolbar1();
    CommandMenu* menu = monitor.MArch();
    QCOMPARE(Names(toolbar->actions(), toolbar) + " | " + Names(toolbar->PortMenu()->actions()) +
                 " | " + Names(menu->actions()) + " | " + Names(menu->MArchPort->actions()),
             "BNuevo BAbrir BCerrar - BLog - BPort - BAbout | Port 1 COM2 COM3 COM4 | MArchNew "
             "MArchOpen MArchClose - MArchLog - MArchPort - MAbout - MArchQuit | MArchPort1 "
             "MArchPort2 MArchPort3 MArchPort4");
    QCOMPARE(toolbar->findChild<QToolButton*>("BPort")->popupMode(), QToolButton::MenuButtonPopup);
    QVERIFY(monitor.findChildren<QMenuBar*>().isEmpty());
    CheckItems(monitor, false);

    // The menu opens at the pointer on a right press over the list, and on nothing else.
    QWidget* viewport = host.List()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(60, 40));
    QTest::mousePress(toolbar, Qt::RightButton, {}, QPoint(500, 20));
    QTest::qWait(50);
    QVERIFY(!menu->isVisible());
    QTest::mousePress(viewport, Qt::RightButton, {}, QPoint(60, 40));
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), viewport->mapToGlobal(QPoint(60, 40)));
    menu->close();

    // The session commands by button and by menu item reach the engine: the dialog of their own
    // (New offers one filter, Open two, Close none), then the caption and the items' states
    // (what they do to the files: SessionCommandsTest).
    const std::string run1 = host.dir.File("run1.csv");
    const std::string old = host.dir.File("old.csv");
    WriteFile(old, "earlier\r\n");
    const struct {
        const char* command;
        std::optional<std::string> answer;  // of the file dialog; none: cancelled
        std::size_t filters;
        std::string session;  // "" for none
    } steps[] = {
        {"BNuevo", host.dir.File("run1"), 1, run1},
        {"MArchOpen", old, 2, old},
        {"BCerrar", {}, 0, ""},
        {"BAbrir", {}, 2, ""},
        {"MArchNew", run1, 1, run1},
        {"MArchClose", {}, 0, ""},
    };
    for (const auto& step : steps) {
        host.dialog.answer = step.answer;
        host.dialog.lastFilters.clear();
        Command(monitor, step.command);
        QCOMPARE(host.dialog.lastFilters.size(), step.filters);
        QCOMPARE(monitor.windowTitle().toStdString(),
                 "Incoming data - " + (step.session.empty() ? "No file selected" : step.session));
        CheckItems(monitor, !step.session.empty());
    }
    QCOMPARE(host.boxes.shown.size(), std::size_t(1));  // the overwrite question

    // The port button's face does nothing.
    QToolButton* port = toolbar->findChild<QToolButton*>("BPort");
    QTest::mouseClick(port, Qt::LeftButton, {}, QPoint(8, port->height() / 2));
    QTest::qWait(100);
    QVERIFY(!port->menu()->isVisible() && !host.form->MSComm1().IsOpen());

    // The log goes to the desktop's opener; the about window comes up with its Close label;
    // the debug window only by its keys.
    const std::string log = host.form->ProgramDirectory() + "/vlog.txt\n";
    Command(monitor, "BLog");
    Command(monitor, "MArchLog");
    QTRY_COMPARE(host.Opened(), log + log);
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
    QVERIFY(monitor.DebugWindow() == nullptr);
    QTest::keyClick(&monitor, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_VERIFY(monitor.DebugWindow() != nullptr && monitor.DebugWindow()->isVisible());
    monitor.DebugWindow()->close();
}
