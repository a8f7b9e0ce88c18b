// The real dialogs and the serial link as the monitor window shows them, on real
// pseudo-terminals: the message boxes' looks and answers, the port marks after openings that
// succeed or fail and while the line is away, and readings listed and written while a dialog
// is open.
#include <QLineEdit>
#include <QToolButton>

#include "GuiTestSupport.h"
#include "platform/qt/QtMessageBoxes.h"

using namespace rheo;
using namespace rheo::test;

void GuiTest::MessageBoxLooksAndAnswers() {
    const int ok = QMessageBox::Ok;
    const int okCancel = (QMessageBox::Ok | QMessageBox::Cancel).toInt();
    const struct {
        MessageIcon icon;
        MessageButtons buttons;
        int key;  // pressed on the box; 0: the box is closed
        int shownIcon;
        MessageAnswer answer;
    } cases[] = {
        {MessageIcon::Critical, MessageButtons::Ok, Qt::Key_Escape, 3, MessageAnswer::Ok},
        {MessageIcon::Information, MessageButtons::Ok, 0, 1, MessageAnswer::Ok},
        {MessageIcon::None, MessageButtons::OkCancel, Qt::Key_Return, 0, MessageAnswer::Ok},
        {MessageIcon::None, MessageButtons::OkCancel, 0, 0, MessageAnswer::Cancel}};
    for (const auto& c : cases) {
        QString looks;
        MessageAnswer answer = MessageAnswer::Ok;
        WithModals(
            [&] { answer = QtMessageBoxes().Show("\xBA\x80", "Atenci\xF3n", c.icon, c.buttons); },
            {[&](QWidget* modal) {
                looks = Looks(modal);
                if (c.key != 0) {
                    QTest::keyClick(modal, Qt::Key(c.key));
                }
                modal->close();
            }});
        QCOMPARE(looks, QString::fromUtf8("\u00BA\u20AC/Atenci\u00F3n/%1/%2/%3")
                            .arg(c.shownIcon)
                            .arg(c.buttons == MessageButtons::Ok ? ok : okCancel)
                            .arg(ok));
        QVERIFY(answer == c.answer);
    }
}

// The button caption and the four entries as the toolbar shows them, and as they should be
// with port `open` open (0: none).
static QString ShownMarks(FormMonitor& monitor) {
    QString shown = monitor.Toolbar1()->findChild<QToolButton*>("BPort")->text();
    for (int entry = 1; entry <= 4; ++entry) {
        QAction* action = monitor.Toolbar1()->PortEntry(entry);
        shown += "|" + action->text() + (action->isEnabled() ? "" : " (off)");
    }
    return shown;
}

static QString Marks(int open) {
    QString marks = open == 0 ? QStringLiteral("Port") : QStringLiteral("Port %1").arg(open);
    for (int entry = 1; entry <= 4; ++entry) {
        marks += QString(entry == open ? "|> Port %1 (off)" : "|Port %1").arg(entry);
    }
    return marks;
}

void GuiTest::PortMarksAndReceptionUnderTheRealDialogs() {
    TestHost host(true);
    PtyPair first(host.dir.Path(), "first");
    PtyPair second(host.dir.Path(), "second");
    host.MapPort(1, first.device);
    host.MapPort(2, second.device);
    host.MapPort(3, host.dir.File("no-such-device"));
    QVERIFY(host.form->Start());
    FormMonitor& monitor = host.Monitor();
    CommandMenu* menu = monitor.MArch();
    QCOMPARE(ShownMarks(monitor), Marks(0));

    // The toolbar's entries and the menu's items reach their port (the rules behind the marks:
    // PortSelectionTest).
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

    // Open through the real file dialog, a name typed outside ASCII and without the extension;
    // a reading that arrives while the dialog is open is listed, the next one written.
    WithModals([&] { monitor.AbrirArchivo(); }, {[&](QWidget* modal) {
                   looks.append(Looks(modal));
                   first.Send(NumberedMessage(1));
                   QVERIFY(WaitUntil([&] { return RowCells(host.List(), 0)[1] != ""; }));
                   auto* dialog = static_cast<QFileDialog*>(modal);
                   dialog->setDirectory(QString::fromStdString(host.dir.Path().string()));
                   dialog->findChild<QLineEdit*>("fileNameEdit")->setText("medici\u00F3n");
                   QMetaObject::invokeMethod(dialog, "accept");
               }});
    QCOMPARE(looks,
             QStringList({"Error opening port3, check the port is free/RHEOTRACKPANEL/0/1024/1024",
                          "Select destination file/Comma separated text *.csv "
                          "(*.csv)|All files *.* (*)/Comma separated text *.csv/save/"}));
    const std::string session = host.dir.File("medici\u00F3n.csv");
    QCOMPARE(monitor.windowTitle().toStdString(), "Incoming data - " + session);
    first.Send(NumberedMessage(2));
    QTRY_COMPARE(ReadFile(session), kHeader + NumberedRow(2));

    // The line goes away: the port button warns and nothing is said (the waiting itself:
    // SerialLinkTest); back under the same name, the button is as before.
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
}
