// The serial link as the monitor window shows it, on real pseudo-terminals and with the real
// dialogs: the port marks after openings that succeed and fail and while the line is away,
// and readings listed and written while the file dialog or the overwrite question is open.
#include <QLineEdit>
#include <QToolButton>

#include "GuiTestSupport.h"

using namespace rheo;
using namespace rheo::test;

namespace {

// The button caption and the four entries as the toolbar shows them.
QString ShownMarks(FormMonitor& monitor) {
    QString shown = monitor.Toolbar1()->findChild<QToolButton*>("BPort")->text();
    for (int entry = 1; entry <= 4; ++entry) {
        QAction* action = monitor.Toolbar1()->PortEntry(entry);
        shown += "|" + action->text() + (action->isEnabled() ? "" : " (off)");
    }
    return shown;
}

// The marks with port `open` open, 0 for none.
QString Marks(int open) {
    QString marks = open == 0 ? QStringLiteral("Port") : QStringLiteral("Port %1").arg(open);
    for (int entry = 1; entry <= 4; ++entry) {
        marks += QString(entry == open ? "|> Port %1 (off)" : "|Port %1").arg(entry);
    }
    return marks;
}

}  // namespace

void GuiTest::PortMarksAndReceptionUnderTheRealDialogs() {
    TestHost host(true);
    PtyPair first(host.dir.Path(), "first");
    PtyPair second(host.dir.Path(), "second");
    host.MapPort(1, host.dir.File("first-device"));  // the program's ends of the pairs
    host.MapPort(2, host.dir.File("second-device"));
    host.MapPort(3, host.dir.File("no-such-device"));
    QVERIFY(host.Start());
    FormMonitor& monitor = host.Monitor();
    CommandMenu* menu = monitor.MArch();
    QCOMPARE(ShownMarks(monitor), Marks(0));

    // The toolbar's entries and the menu's items reach their port; the marks show the open one,
    // and none after a port that cannot be opened (the rules behind them: PortSelectionTest).
    const struct {
        QAction* command;
        int marked;
    } steps[] = {
        {monitor.Toolbar1()->PortEntry(2), 2}, {menu->MArchPorts[2], 0}, {menu->MArchPorts[0], 1}};
    QStringList looks;
    for (const auto& step : steps) {
        WithModals([&] { step.command->trigger(); }, {[&](QWidget* modal) {
                       looks.append(Looks(modal));
                       modal->close();
                   }});
        QCOMPARE(ShownMarks(monitor), Marks(step.marked));
    }
    int n = 0;
    QVERIFY(first.Send(NumberedMessage(++n)));
    QTRY_COMPARE(RowCells(host.List(), 0), NumberedCells(1));

    // While a dialog is open a reading arrives: it is listed, and written to the session file
    // when there is one. Then the user types a name or answers Cancel: Open with a new name
    // outside ASCII and without the extension, then New on an existing file.
    const std::string session = host.dir.File("medici\u00F3n.csv");
    WriteFile(host.dir.File("second.csv"), "keep me\r\n");
    const auto answer = [&](const QString& typed) {
        return [&, typed](QWidget* modal) {
            looks.append(Looks(modal));
            first.Send(NumberedMessage(++n));
            const bool listed = WaitUntil([&] { return RowCells(host.List(), n - 1)[1] != ""; });
            const bool written = ReadFile(session).ends_with(NumberedRow(n));
            looks.append(QString(listed ? "listed" : "not listed") + (written ? " written" : ""));
            if (auto* d = qobject_cast<QFileDialog*>(modal)) {
                d->setDirectory(QString::fromStdString(host.dir.Path().string()));
                d->findChild<QLineEdit*>("fileNameEdit")->setText(typed);
                QMetaObject::invokeMethod(d, "accept");
            } else {
                QTest::mouseClick(static_cast<QMessageBox*>(modal)->button(QMessageBox::Cancel),
                                  Qt::LeftButton);
            }
        };
    };
    WithModals([&] { monitor.AbrirArchivo(); }, {answer(QString::fromUtf8("medici\u00F3n"))});
    WithModals([&] { monitor.NuevoArchivo(); }, {answer("second.csv"), answer("")});
    const QString fileDialog = "Select destination file/%1/save/";
    const QString box = "%1/RHEOTRACKPANEL/0/%2/" + QString::number(QMessageBox::Ok);
    QCOMPARE(
        looks,
        QStringList({box.arg("Error opening port3, check the port is free").arg(QMessageBox::Ok),
                     fileDialog.arg("Comma separated text *.csv (*.csv)|All files *.* "
                                    "(*)/Comma separated text *.csv"),
                     "listed",
                     fileDialog.arg("Comma Separated text *.csv (*.csv)/Comma Separated "
                                    "text *.csv"),
                     "listed written",
                     box.arg("The selected file already exists.\r\nPress OK to overwrite.")
                         .arg((QMessageBox::Ok | QMessageBox::Cancel).toInt()),
                     "listed written"}));
    // Cancelled: the first session goes on, the second file is untouched.
    QCOMPARE(monitor.windowTitle().toStdString(), "Incoming data - " + session);
    QCOMPARE(ReadFile(host.dir.File("second.csv")), std::string("keep me\r\n"));

    // The line goes away: the port button warns and nothing is said (the waiting itself:
    // SerialLinkTest); the line back under the same name, the button is as before.
    QToolButton* port = monitor.Toolbar1()->findChild<QToolButton*>("BPort");
    const auto picture = [&] { return port->icon().pixmap(21, 21).toImage(); };
    const QImage normal = picture();
    QCOMPARE(port->toolTip(), QStringLiteral("Select communication port"));
    QCOMPARE(WithModals(
                 [&] {
                     first.Kill();
                     QTRY_COMPARE(port->toolTip(),
                                  QStringLiteral("Port 1 lost: waiting for the device"));
                     QTest::qWait(200);
                 },
                 {}),
             std::size_t(0));
    QCOMPARE(ShownMarks(monitor), Marks(1));
    QVERIFY(picture() != normal);
    PtyPair again(host.dir.Path(), "first");
    QTRY_COMPARE(port->toolTip(), QStringLiteral("Select communication port"));
    QVERIFY(picture() == normal);
    QCOMPARE(ShownMarks(monitor), Marks(1));
}
