// The serial link as the monitor window shows it, on real pseudo-terminals: the port marks
// after openings that succeed and fail and after the line goes away, readings arriving through
// the receive timer, and reception going on under the real file dialog and message box.
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

#include "GuiTestSupport.h"

using namespace rheo;
using namespace rheo::guitest;

namespace {

// The button caption and the four entries, as the toolbar shows them.
QStringList ShownMarks(FormMonitor& monitor) {
    QStringList shown = {monitor.Toolbar1()->Button(7)->text()};
    for (int entry = 1; entry <= 4; ++entry) {
        QAction* action = monitor.Toolbar1()->PortEntry(entry);
        shown.append(action->text() + (action->isEnabled() ? "" : " (disabled)"));
    }
    return shown;
}

const QStringList kNoPort = {"Port", "Port 1", "Port 2", "Port 3", "Port 4"};

// Whether reading n is one of the rows of the list.
bool ListShows(TestHost& host, int n) {
    const QString hour = QString::fromStdString(NumberedFields(n).hour);
    for (int row = 0; row < host.List()->model()->rowCount(); ++row) {
        if (RowCells(host.List(), row).value(1) == hour) {
            return true;
        }
    }
    return false;
}

}  // namespace

class PortMarksTest : public QObject {
    Q_OBJECT

  private slots:
    void OpeningsMarkTheToolbarAndReadingsArrive();
    void PortThatCannotBeOpened();
    void LinkLostResetsTheMarksAndStaysIdle();
    void StartupOpensTheStoredPort();
    void StartupReportsAMissingStoredPortBeforeTheWindow();
    void ReceptionGoesOnUnderTheFileDialog();
    void ReceptionGoesOnUnderTheOverwriteQuestion();
};

void PortMarksTest::OpeningsMarkTheToolbarAndReadingsArrive() {
    TestHost host;
    PtyPair first(host.dir.Path(), "first");
    PtyPair second(host.dir.Path(), "second");
    QVERIFY(first.Ready() && second.Ready());
    host.MapPort(1, first.Device());
    host.MapPort(2, second.Device());
    QVERIFY(host.Start());
    FormMonitor& monitor = host.Monitor();
    QCOMPARE(ShownMarks(monitor), kNoPort);

    // Entry 1 of the drop-down.
    monitor.Toolbar1()->PortEntry(1)->trigger();
    QCOMPARE(ShownMarks(monitor),
             QStringList({"Port 1", "> Port 1 (disabled)", "Port 2", "Port 3", "Port 4"}));
    QVERIFY(host.form->MSComm1().IsOpen());
    QCOMPARE(StoredPort(host.registry), 1);
    QVERIFY(host.boxes.shown.empty());

    // What the instrument prints reaches the list through the receive timer.
    QVERIFY(first.Send(NumberedMessage(1)));
    QTRY_COMPARE(RowCells(host.List(), 0), CellsOf(NumberedReading(1, SystemClock().DateText())));

    // The menu item of the open port stays enabled and opens it again.
    QVERIFY(monitor.MArch()->MArchPorts[0]->isEnabled());
    monitor.MArch()->MArchPorts[0]->trigger();
    QCOMPARE(ShownMarks(monitor),
             QStringList({"Port 1", "> Port 1 (disabled)", "Port 2", "Port 3", "Port 4"}));
    QVERIFY(host.form->MSComm1().IsOpen());
    QVERIFY(first.Send(NumberedMessage(2)));
    QTRY_VERIFY(ListShows(host, 2));

    // Port 2 from the menu: entry 1 back to its design text, entry 2 marked.
    monitor.MArch()->MArchPorts[1]->trigger();
    QCOMPARE(ShownMarks(monitor),
             QStringList({"Port 2", "Port 1", "> Port 2 (disabled)", "Port 3", "Port 4"}));
    QCOMPARE(StoredPort(host.registry), 2);
    QVERIFY(second.Send(NumberedMessage(3)));
    QTRY_VERIFY(ListShows(host, 3));
    for (QAction* item : monitor.MArch()->MArchPorts) {
        QVERIFY(item->isEnabled());
    }
    QVERIFY(host.boxes.shown.empty());
}

void PortMarksTest::PortThatCannotBeOpened() {
    TestHost host;
    PtyPair line(host.dir.Path());
    QVERIFY(line.Ready());
    host.MapPort(1, line.Device());
    host.MapPort(3, host.dir.File("no-such-device"));
    QVERIFY(host.Start());
    FormMonitor& monitor = host.Monitor();
    monitor.Toolbar1()->PortEntry(1)->trigger();
    QVERIFY(host.form->MSComm1().IsOpen());

    monitor.MArch()->MArchPorts[2]->trigger();
    QCOMPARE(host.boxes.shown.size(), std::size_t(1));
    const auto& message = host.boxes.shown[0];
    QCOMPARE(message.text, std::string("Error opening port3, check the port is free"));
    QCOMPARE(message.title, std::string("RHEOTRACKPANEL"));
    QVERIFY(message.icon == MessageIcon::None);
    QVERIFY(message.buttons == MessageButtons::Ok);
    QCOMPARE(ShownMarks(monitor), kNoPort);
    // Port 1 was closed and stays closed; the store keeps the last good port.
    QVERIFY(!host.form->MSComm1().IsOpen());
    QCOMPARE(host.form->MSComm1().PortNumber(), 3);
    QCOMPARE(StoredPort(host.registry), 1);
    // All four entries can be chosen again.
    monitor.Toolbar1()->PortEntry(1)->trigger();
    QCOMPARE(ShownMarks(monitor),
             QStringList({"Port 1", "> Port 1 (disabled)", "Port 2", "Port 3", "Port 4"}));
}

void PortMarksTest::LinkLostResetsTheMarksAndStaysIdle() {
    TestHost host;
    PtyPair line(host.dir.Path());
    QVERIFY(line.Ready());
    host.MapPort(4, line.Device());
    QVERIFY(host.Start());
    FormMonitor& monitor = host.Monitor();
    monitor.Toolbar1()->PortEntry(4)->trigger();
    QCOMPARE(ShownMarks(monitor),
             QStringList({"Port 4", "Port 1", "Port 2", "Port 3", "> Port 4 (disabled)"}));

    line.Kill();
    QTRY_COMPARE(ShownMarks(monitor), kNoPort);
    QVERIFY(!host.form->MSComm1().IsOpen());
    QVERIFY(host.boxes.shown.empty());
    QCOMPARE(StoredPort(host.registry), 4);

    // No spinning on the dead device: the process stays idle.
    const double before = CpuSeconds();
    QTest::qWait(1500);
    const double used = CpuSeconds() - before;
    QVERIFY2(used < 0.4, qPrintable(QStringLiteral("%1 s of CPU in 1.5 s").arg(used)));
}

void PortMarksTest::StartupOpensTheStoredPort() {
    TestHost host;
    PtyPair line(host.dir.Path());
    QVERIFY(line.Ready());
    host.MapPort(2, line.Device());
    StorePort(host.registry, 2);
    QVERIFY(host.Start());
    QCOMPARE(ShownMarks(host.Monitor()),
             QStringList({"Port 2", "Port 1", "> Port 2 (disabled)", "Port 3", "Port 4"}));
    QVERIFY(host.form->MSComm1().IsOpen());
    QVERIFY(host.boxes.shown.empty());
    QVERIFY(line.Send(NumberedMessage(7)));
    QTRY_VERIFY(ListShows(host, 7));
}

void PortMarksTest::StartupReportsAMissingStoredPortBeforeTheWindow() {
    TestHost host;
    host.MapPort(2, host.dir.File("unplugged"));
    StorePort(host.registry, 2);
    bool windowShownAtMessage = true;
    host.boxes.whileShown = [&] { windowShownAtMessage = host.Monitor().isVisible(); };
    QVERIFY(host.Start());
    QCOMPARE(host.boxes.shown.size(), std::size_t(1));
    QCOMPARE(host.boxes.shown[0].text, std::string("Error opening port2, check the port is free"));
    QVERIFY(!windowShownAtMessage);
    QVERIFY(host.Monitor().isVisible());
    QCOMPARE(ShownMarks(host.Monitor()), kNoPort);
    QCOMPARE(StoredPort(host.registry), 2);
}

void PortMarksTest::ReceptionGoesOnUnderTheFileDialog() {
    TestHost host(TestHost::Options{.scriptedDialog = false});
    PtyPair line(host.dir.Path());
    QVERIFY(line.Ready());
    host.MapPort(1, line.Device());
    QVERIFY(host.Start());
    host.Monitor().Toolbar1()->PortEntry(1)->trigger();
    QVERIFY(host.form->MSComm1().IsOpen());

    QString dialogName;
    bool listedWhileOpen = false;
    const bool seen = WhileModal([&] { host.Monitor().NuevoArchivo(); },
                                 [&](QWidget* modal) {
                                     dialogName = modal->objectName();
                                     line.Send(NumberedMessage(1));
                                     listedWhileOpen =
                                         QTest::qWaitFor([&] { return ListShows(host, 1); }, 5000);
                                     static_cast<QDialog*>(modal)->reject();
                                 });
    QVERIFY(seen);
    QCOMPARE(dialogName, QStringLiteral("DialogFile"));
    QVERIFY(listedWhileOpen);
    // Cancelled: no session.
    QCOMPARE(host.Monitor().windowTitle(), QStringLiteral("Incoming data - No file selected"));
}

void PortMarksTest::ReceptionGoesOnUnderTheOverwriteQuestion() {
    TestHost host(TestHost::Options{.scriptedBoxes = false});
    PtyPair line(host.dir.Path());
    QVERIFY(line.Ready());
    host.MapPort(1, line.Device());
    QVERIFY(host.Start());
    host.Monitor().Toolbar1()->PortEntry(1)->trigger();
    const std::string first = host.dir.File("first.csv");
    const std::string second = host.dir.File("second.csv");
    WriteFile(second, "keep me\r\n");
    host.dialog.answer = first;
    host.Monitor().NuevoArchivo();

    // The question about the existing second file is open while a reading arrives: it is
    // listed and written to the first file, the session still open.
    host.dialog.answer = second;
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    bool writtenWhileOpen = false;
    const bool seen = WhileModal(
        [&] { host.Monitor().NuevoArchivo(); },
        [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) {
                static_cast<QDialog*>(modal)->reject();
                return;
            }
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            buttons = box->standardButtons();
            defaultButton = box->standardButton(box->defaultButton());
            line.Send(NumberedMessage(1));
            writtenWhileOpen = QTest::qWaitFor(
                [&] { return ReadFile(first).find(NumberedFields(1).hour) != std::string::npos; },
                5000);
            QTest::mouseClick(box->button(QMessageBox::Cancel), Qt::LeftButton);
        });
    QVERIFY(seen);
    QCOMPARE(text, QStringLiteral("The selected file already exists.\r\nPress OK to overwrite."));
    QCOMPARE(title, QStringLiteral("RHEOTRACKPANEL"));
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok | QMessageBox::Cancel));
    QCOMPARE(defaultButton, QMessageBox::Ok);
    QVERIFY(writtenWhileOpen);
    QVERIFY(ListShows(host, 1));
    // Cancel: the first session goes on, the second file is untouched.
    QCOMPARE(host.Monitor().windowTitle(), QString::fromStdString("Incoming data - " + first));
    QCOMPARE(ReadFile(second), std::string("keep me\r\n"));
    QVERIFY(line.Send(NumberedMessage(2)));
    QTRY_VERIFY(ReadFile(first).find(NumberedFields(2).hour) != std::string::npos);
}

QTEST_MAIN(PortMarksTest)
#include "PortMarksTest.moc"
