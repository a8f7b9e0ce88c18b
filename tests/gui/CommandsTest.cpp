// The monitor window's commands with the real engine behind them: the toolbar and the command
// menu as the user sees them, where the menu opens, the session commands on real files with
// scripted answers for the file dialog and the overwrite question, the log viewer, the about
// window, and the end of the program.
#include <QDialog>
#include <QMenuBar>
#include <QToolButton>
#include <algorithm>

#include "GuiTestSupport.h"

using namespace rheo;
using namespace rheo::guitest;

namespace {

const std::string kHeader =
    "Date,Hour,Spindle,RPM,Temp [\xBA"
    "C],Error T,Viscosity [cP],Error V,%\r\n";

std::string Row(int n) {
    const Reading r = NumberedReading(n, SystemClock().DateText());
    return r.Date + "," + r.Hour + "," + r.Spindle + "," + r.Rpm + "," + r.Temperature + "," +
           r.TemperatureError + "," + r.Viscosity + "," + r.ViscosityError + "," + r.Torque +
           "\r\n";
}

int Count(const std::string& text, const std::string& what) {
    int count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

QString Caption(const std::string& path) {
    return QStringLiteral("Incoming data - ") + QString::fromStdString(path);
}

}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT

  private slots:
    void ToolbarButtonsByPosition();
    void CommandMenuItems();
    void RightPressOverTheListOpensTheMenu();
    void NewSessionThroughTheWindow();
    void OpenAndCloseThroughTheWindow();
    void ViewLogAndAboutByPosition();
    void PortFaceSeparatorsAndCancelledDialogsDoNothing();
    void DebugWindowByItsKeysOnly();
    void QuitClosesTheSessionFileAndEndsAtOnce();
    void ClosingTheWindowEndsTheProgram();
};

void CommandsTest::ToolbarButtonsByPosition() {
    TestHost host;
    QVERIFY(host.Start());
    MonitorToolbar* toolbar = host.Monitor().Toolbar1();
    QCOMPARE(toolbar->objectName(), QStringLiteral("Toolbar1"));
    const QList<QAction*> items = toolbar->actions();
    QCOMPARE(items.size(), 9);

    struct Expected {
        const char* key;
        const char* caption;
        const char* toolTip;
    };
    const Expected expected[9] = {
        {"BNuevo", "New", "Create a new session"},
        {"BAbrir", "Open", "Open an existing session"},
        {"BCerrar", "Close", "Close the current session"},
        {nullptr, nullptr, nullptr},
        {"BLog", "View Log", "Open log file"},
        {nullptr, nullptr, nullptr},
        {"BPort", "Port", "Select communication port"},
        {nullptr, nullptr, nullptr},
        {"BAbout", "About..", ""},
    };
    for (int position = 1; position <= 9; ++position) {
        const Expected& e = expected[position - 1];
        QCOMPARE(items[position - 1], toolbar->Item(position));
        if (e.key == nullptr) {
            QVERIFY(items[position - 1]->isSeparator());
            QVERIFY(toolbar->Button(position) == nullptr);
            continue;
        }
        QToolButton* button = toolbar->Button(position);
        QVERIFY(button != nullptr);
        QCOMPARE(toolbar->widgetForAction(items[position - 1]), button);
        QCOMPARE(button->objectName(), QString::fromLatin1(e.key));
        QCOMPARE(button->text(), QString::fromLatin1(e.caption));
        QCOMPARE(button->toolTip(), QString::fromLatin1(e.toolTip));
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QCOMPARE(button->iconSize(), QSize(21, 21));
        // The picture, and the lit picture of the second list for a hovered button; place 6,
        // the emblem, is the same in both lists.
        const QImage plain = button->icon().pixmap(QSize(21, 21), QIcon::Normal).toImage();
        const QImage lit = button->icon().pixmap(QSize(21, 21), QIcon::Active).toImage();
        QCOMPARE(plain.size(), QSize(21, 21));
        QCOMPARE(plain == lit, position == 9);
        // Enabled at start-up, except the close command.
        QCOMPARE(button->isEnabled(), position != 3);
    }
    QCOMPARE(host.Monitor().findChild<QToolButton*>("BAbout")->text().count('.'), 2);

    // Button 7: a drop-down whose four entries carry the design texts.
    QToolButton* port = toolbar->Button(7);
    QCOMPARE(port->popupMode(), QToolButton::MenuButtonPopup);
    QCOMPARE(port->menu(), toolbar->PortMenu());
    const QStringList keys = {"Port 1", "COM2", "COM3", "COM4"};
    QCOMPARE(port->menu()->actions().size(), 4);
    for (int entry = 1; entry <= 4; ++entry) {
        QAction* action = port->menu()->actions()[entry - 1];
        QCOMPARE(action, toolbar->PortEntry(entry));
        QCOMPARE(action->text(), QStringLiteral("Port %1").arg(entry));
        QCOMPARE(action->objectName(), keys[entry - 1]);
        QVERIFY(action->isEnabled());
    }
}

void CommandsTest::CommandMenuItems() {
    TestHost host;
    QVERIFY(host.Start());
    CommandMenu* menu = host.Monitor().MArch();
    QCOMPARE(menu->objectName(), QStringLiteral("MArch"));
    QCOMPARE(menu->title(), QStringLiteral("&Menu"));
    // Never a menu bar, and not shown until asked for.
    QVERIFY(host.Monitor().findChildren<QMenuBar*>().isEmpty());
    QVERIFY(!menu->isVisible());

    const QList<QPair<QString, QString>> expected = {
        {"MArchNew", "&Nuevo Archivo"},    {"MArchOpen", "&Abrir Archivo"},
        {"MArchClose", "&Cerrar Archivo"}, {"MArchSep1", ""},
        {"MArchLog", "Ver Fichero &Log"},  {"MArchSep2", ""},
        {"", "Escoger &Puerto"},           {"MArchSep3", ""},
        {"MAbout", "Acerca &de..."},       {"Sep10", ""},
        {"MArchQuit", "&Salir"},
    };
    const QList<QAction*> items = menu->actions();
    QCOMPARE(items.size(), expected.size());
    for (int i = 0; i < items.size(); ++i) {
        QAction* item = items[i];
        if (item->menu() == nullptr) {
            QCOMPARE(item->objectName(), expected[i].first);
        }
        QCOMPARE(item->isSeparator(), expected[i].second.isEmpty());
        if (!item->isSeparator()) {
            QCOMPARE(item->text(), expected[i].second);
        }
        QVERIFY(!item->isCheckable());
        QVERIFY(item->shortcut().isEmpty());
        QCOMPARE(item->isEnabled(), item->objectName() != QLatin1String("MArchClose"));
    }
    // The port submenu.
    QMenu* ports = items[6]->menu();
    QVERIFY(ports != nullptr);
    QCOMPARE(ports->objectName(), QStringLiteral("MArchPort"));
    QCOMPARE(ports->actions().size(), 4);
    for (int port = 1; port <= 4; ++port) {
        QAction* item = ports->actions()[port - 1];
        QCOMPARE(item->objectName(), QStringLiteral("MArchPort%1").arg(port));
        QCOMPARE(item->text(), QStringLiteral("Puerto &%1").arg(port));
        QVERIFY(item->isEnabled());
        QVERIFY(!item->isCheckable());
    }
    // The items are found by their names from the window.
    QCOMPARE(host.Monitor().findChild<QAction*>("MArchPort3"), ports->actions()[2]);
    QCOMPARE(host.Monitor().findChild<QAction*>("MArchQuit"), items.last());
}

void CommandsTest::RightPressOverTheListOpensTheMenu() {
    TestHost host;
    QVERIFY(host.Start());
    QWidget* viewport = host.List()->viewport();
    CommandMenu* menu = host.Monitor().MArch();

    QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(60, 40));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(60, 40));
    QTest::qWait(50);
    QVERIFY(!menu->isVisible());
    QTest::mousePress(viewport, Qt::MiddleButton, {}, QPoint(60, 40));
    QTest::qWait(50);
    QVERIFY(!menu->isVisible());

    // The press itself opens it (not the release), at the pointer.
    QTest::mousePress(viewport, Qt::RightButton, {}, QPoint(60, 40));
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->pos(), viewport->mapToGlobal(QPoint(60, 40)));
    menu->close();
    QTRY_VERIFY(!menu->isVisible());
    // Over the toolbar it does not open.
    QTest::mousePress(host.Monitor().Toolbar1(), Qt::RightButton, {}, QPoint(500, 20));
    QTest::qWait(50);
    QVERIFY(!menu->isVisible());
}

void CommandsTest::NewSessionThroughTheWindow() {
    TestHost host;
    QVERIFY(host.Start());
    FormMonitor& monitor = host.Monitor();
    QToolButton* create = monitor.Toolbar1()->Button(1);
    const std::string path = host.dir.File("run1.csv");

    // A name without the extension: the extension is added, the file created empty.
    host.dialog.answer = host.dir.File("run1");
    QTest::mouseClick(create, Qt::LeftButton);
    QCOMPARE(host.dialog.lastTitle, std::string("Select destination file"));
    QCOMPARE(host.dialog.lastFilters.size(), std::size_t(1));
    QCOMPARE(host.dialog.lastFilters[0].description, std::string("Comma Separated text *.csv"));
    QCOMPARE(host.dialog.lastFilters[0].pattern, std::string("*.csv"));
    QCOMPARE(host.dialog.lastDefaultExtension, std::string("*.csv"));
    QVERIFY(host.boxes.shown.empty());
    QVERIFY(std::filesystem::exists(path));
    QCOMPARE(ReadFile(path), std::string());
    QCOMPARE(monitor.windowTitle(), Caption(path));
    QVERIFY(monitor.MArch()->MArchClose->isEnabled());
    QVERIFY(monitor.Toolbar1()->Button(3)->isEnabled());

    QVERIFY(host.form->engine().Feed(NumberedMessage(1) + NumberedMessage(2)));
    QCOMPARE(ReadFile(path), kHeader + Row(1) + Row(2));

    // The same file again, answered with Cancel: the session goes on, no second header.
    host.dialog.answer = path;
    host.boxes.answer = MessageAnswer::Cancel;
    QTest::mouseClick(create, Qt::LeftButton);
    QCOMPARE(host.boxes.shown.size(), std::size_t(1));
    const auto& question = host.boxes.shown[0];
    QCOMPARE(question.text,
             std::string("The selected file already exists.\r\nPress OK to overwrite."));
    QCOMPARE(question.title, std::string("RHEOTRACKPANEL"));
    QVERIFY(question.icon == MessageIcon::None);
    QVERIFY(question.buttons == MessageButtons::OkCancel);
    QVERIFY(host.form->engine().Feed(NumberedMessage(3)));
    QCOMPARE(ReadFile(path), kHeader + Row(1) + Row(2) + Row(3));

    // Answered with OK: emptied, and a new header comes with the next reading.
    host.boxes.answer = MessageAnswer::Ok;
    monitor.MArch()->MArchNew->trigger();
    QCOMPARE(host.boxes.shown.size(), std::size_t(2));
    QCOMPARE(ReadFile(path), std::string());
    QVERIFY(host.form->engine().Feed(NumberedMessage(4)));
    QCOMPARE(ReadFile(path), kHeader + Row(4));

    // A name in another case keeps it and gets the extension after it.
    host.dialog.answer = host.dir.File("run2.CSV");
    QTest::mouseClick(create, Qt::LeftButton);
    QCOMPARE(monitor.windowTitle(), Caption(host.dir.File("run2.CSV.csv")));
    QVERIFY(std::filesystem::exists(host.dir.File("run2.CSV.csv")));
}

void CommandsTest::OpenAndCloseThroughTheWindow() {
    TestHost host;
    QVERIFY(host.Start());
    FormMonitor& monitor = host.Monitor();
    const std::string existing = host.dir.File("old.csv");
    WriteFile(existing, "earlier content\r\n");

    // An existing file: rows are appended, no header.
    host.dialog.answer = existing;
    QTest::mouseClick(monitor.Toolbar1()->Button(2), Qt::LeftButton);
    QCOMPARE(host.dialog.lastFilters.size(), std::size_t(2));
    QCOMPARE(host.dialog.lastFilters[0].description, std::string("Comma separated text *.csv"));
    QCOMPARE(host.dialog.lastFilters[0].pattern, std::string("*.csv"));
    QCOMPARE(host.dialog.lastFilters[1].description, std::string("All files *.*"));
    QCOMPARE(host.dialog.lastFilters[1].pattern, std::string("*.*"));
    QVERIFY(host.boxes.shown.empty());
    QCOMPARE(monitor.windowTitle(), Caption(existing));
    QVERIFY(monitor.MArch()->MArchClose->isEnabled());
    QVERIFY(monitor.Toolbar1()->Button(3)->isEnabled());
    QVERIFY(host.form->engine().Feed(NumberedMessage(1)));
    QCOMPARE(ReadFile(existing), "earlier content\r\n" + Row(1));

    // Close: caption back, close command off in both places, no more rows written; the next
    // reading starts a new process in the event log.
    const int startsBefore = Count(host.EventLogText(), "Start of process");
    QTest::mouseClick(monitor.Toolbar1()->Button(3), Qt::LeftButton);
    QCOMPARE(monitor.windowTitle(), QStringLiteral("Incoming data - No file selected"));
    QVERIFY(!monitor.MArch()->MArchClose->isEnabled());
    QVERIFY(!monitor.Toolbar1()->Button(3)->isEnabled());
    QVERIFY(host.form->engine().Feed(NumberedMessage(2)));
    QCOMPARE(ReadFile(existing), "earlier content\r\n" + Row(1));
    QCOMPARE(Count(host.EventLogText(), "Start of process"), startsBefore + 1);

    // A new name in a folder whose name holds the extension: opened as given, with a header.
    std::filesystem::create_directory(host.dir.File("csvfiles"));
    const std::string fresh = host.dir.File("csvfiles/run3");
    host.dialog.answer = fresh;
    monitor.MArch()->MArchOpen->trigger();
    QCOMPARE(monitor.windowTitle(), Caption(fresh));
    QVERIFY(host.form->engine().Feed(NumberedMessage(3)));
    QCOMPARE(ReadFile(fresh), kHeader + Row(3));

    // The menu's close item does the same as the button.
    monitor.MArch()->MArchClose->trigger();
    QCOMPARE(monitor.windowTitle(), QStringLiteral("Incoming data - No file selected"));
    QVERIFY(!monitor.Toolbar1()->Button(3)->isEnabled());
}

void CommandsTest::ViewLogAndAboutByPosition() {
    TestHost host;
    QVERIFY(host.Start());
    FormMonitor& monitor = host.Monitor();
    const std::string log = host.form->ProgramDirectory() + "/vlog.txt";

    // Button 5 and the menu item hand the log to the desktop and return at once.
    QTest::mouseClick(monitor.Toolbar1()->Button(5), Qt::LeftButton);
    QTRY_COMPARE(host.Opened(), log + "\n");
    monitor.MArch()->MArchLog->trigger();
    QTRY_COMPARE(host.Opened(), log + "\n" + log + "\n");
    QVERIFY(host.boxes.shown.empty());

    // Button 9 and the menu item show the about window until its "Close" label is clicked;
    // the receive timer goes on meanwhile.
    for (int way = 0; way < 2; ++way) {
        QString shown;
        bool closeLabelShown = false;
        bool timerRunning = false;
        bool closedByLabel = false;
        const bool seen = WhileModal(
            [&] {
                if (way == 0) {
                    QTest::mouseClick(monitor.Toolbar1()->Button(9), Qt::LeftButton);
                } else {
                    monitor.MArch()->MAbout->trigger();
                }
            },
            [&](QWidget* modal) {
                shown = modal->objectName();
                QWidget* label = modal->findChild<QWidget*>("Label5");
                closeLabelShown = label != nullptr && label->isVisible();
                timerRunning = host.form->Timer1().isActive();
                QTest::qWait(3500);  // longer than the splash's own timer: it stays
                if (modal->isVisible() && label != nullptr) {
                    QTest::mouseClick(label, Qt::LeftButton);
                }
                closedByLabel = !modal->isVisible();
                if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible()) {
                    dialog->done(0);
                }
            });
        QVERIFY(seen);
        QCOMPARE(shown, QStringLiteral("Splash"));
        QVERIFY(closeLabelShown);
        QVERIFY(timerRunning);
        QVERIFY(closedByLabel);
    }
}

void CommandsTest::PortFaceSeparatorsAndCancelledDialogsDoNothing() {
    TestHost host;
    QVERIFY(host.Start());
    FormMonitor& monitor = host.Monitor();
    const PortMarks before = host.form->Ports().Marks();

    // The face of the port button (left of its arrow), and the separators.
    QToolButton* port = monitor.Toolbar1()->Button(7);
    QTest::mouseClick(port, Qt::LeftButton, {}, QPoint(8, port->height() / 2));
    for (int position : {4, 6, 7, 8, 0, 10}) {
        monitor.Toolbar1_ButtonClick(position);
    }
    QTest::qWait(200);
    QVERIFY(!port->menu()->isVisible());
    QVERIFY(host.form->Ports().Marks() == before);
    QCOMPARE(port->text(), QStringLiteral("Port"));
    QVERIFY(host.boxes.shown.empty());
    QVERIFY(host.dialog.lastTitle.empty());
    QCOMPARE(host.Opened(), std::string());
    QCOMPARE(StoredPort(host.registry), 0);

    // A cancelled file dialog changes nothing, in either command.
    host.dialog.answer = std::nullopt;
    monitor.NuevoArchivo();
    monitor.AbrirArchivo();
    QCOMPARE(monitor.windowTitle(), QStringLiteral("Incoming data - No file selected"));
    QVERIFY(!monitor.MArch()->MArchClose->isEnabled());
    QVERIFY(host.form->engine().session().SessionFilePath.empty());
    QVERIFY(host.boxes.shown.empty());
}

void CommandsTest::DebugWindowByItsKeysOnly() {
    TestHost host;
    QVERIFY(host.Start());
    FormMonitor& monitor = host.Monitor();
    QApplication::setActiveWindow(&monitor);
    QTRY_VERIFY(monitor.isActiveWindow());
    QVERIFY(monitor.DebugWindow() == nullptr);
    QTest::keyClick(&monitor, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_VERIFY(monitor.DebugWindow() != nullptr && monitor.DebugWindow()->isVisible());
    QCOMPARE(monitor.DebugWindow()->objectName(), QStringLiteral("FormDebug"));
    // A second press brings the same window forward.
    QWidget* first = monitor.DebugWindow();
    QApplication::setActiveWindow(&monitor);
    QTest::keyClick(&monitor, Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(monitor.DebugWindow(), first);
    first->close();
}

void CommandsTest::QuitClosesTheSessionFileAndEndsAtOnce() {
    TestHost host;
    QVERIFY(host.Start());
    FormMonitor& monitor = host.Monitor();
    const std::string path = host.dir.File("quit.csv");
    host.dialog.answer = path;
    monitor.NuevoArchivo();
    QVERIFY(host.form->engine().Feed(NumberedMessage(1)));
    QVERIFY(HoldsOpen(path));
    const std::string logBefore = host.EventLogText();

    // Right press over the list, then "&Salir".
    QTest::mousePress(host.List()->viewport(), Qt::RightButton, {}, QPoint(30, 30));
    QTRY_VERIFY(monitor.MArch()->isVisible());
    monitor.MArch()->MArchQuit->trigger();
    QCOMPARE(host.ended, 1);
    QVERIFY(!HoldsOpen(path));
    QCOMPARE(ReadFile(path), kHeader + Row(1));
    QVERIFY(host.boxes.shown.empty());
    QCOMPARE(host.EventLogText(), logBefore);
    // Nothing else is touched, and nothing runs any more.
    QCOMPARE(monitor.windowTitle(), Caption(path));
    QCOMPARE(host.form->engine().session().SessionFilePath, path);
    QVERIFY(!host.form->Timer1().isActive());
}

void CommandsTest::ClosingTheWindowEndsTheProgram() {
    TestHost host;
    QVERIFY(host.Start());
    const std::string path = host.dir.File("closed.csv");
    host.dialog.answer = path;
    host.Monitor().NuevoArchivo();
    QVERIFY(host.form->engine().Feed(NumberedMessage(1)));
    const std::string logBefore = host.EventLogText();

    QVERIFY(host.Monitor().close());
    QCOMPARE(host.ended, 1);
    QVERIFY(host.boxes.shown.empty());
    QCOMPARE(host.EventLogText(), logBefore);
    // The file is left to the end of the process; every row is in it already.
    QCOMPARE(ReadFile(path), kHeader + Row(1));
    QVERIFY(!host.form->Timer1().isActive());
}

QTEST_MAIN(CommandsTest)
#include "CommandsTest.moc"
