// The real dialogs and the serial link as the monitor window shows them, on real
// pseudo-terminals: the message boxes' looks and answers, the port marks after openings that
// succeed or fail and while the port is lost, and readings listed and written while a dialog
// is open.
#include <QLineEdit>
#include <QToolButton>

#include "GuiTestSupport.h"
#include "platform/qt/QtMessageBoxes.h"

using namespace rheo;
using namespace rheo::test;

// Each box with its looks and what it answers to a key (0: the box is closed).
void GuiTest::MessageBoxLooksAndAnswers() {
    QStringList looks;
    std::vector<MessageAnswer> answers;
    WithModals(
        [&] {
            for (const auto& [icon, buttons] :
                 {std::pair(MessageIcon::Critical, MessageButtons::Ok),
                  {MessageIcon::Information, MessageButtons::Ok},
                  {MessageIcon::None, MessageButtons::OkCancel},
                  {MessageIcon::None, MessageButtons::OkCancel}}) {
                answers.push_back(QtMessageBoxes().Show("\xBA\x80", "Atenci\xF3n", icon, buttons));
            }
        },
        {Noting(looks, Qt::Key_Escape), Noting(looks), Noting(looks, Qt::Key_Return),
         Noting(looks)});
    const QString box = QString::fromUtf8("\u00BA\u20AC/Atenci\u00F3n/%1/%2/1024");
    const int okCancel = (QMessageBox::Ok | QMessageBox::Cancel).toInt();
    QCOMPARE(looks, QStringList({box.arg(3).arg(1024), box.arg(1).arg(1024),
                                 box.arg(0).arg(okCancel), box.arg(0).arg(okCancel)}));
    QVERIFY(answers == std::vector({MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::Ok,
                                    MessageAnswer::Cancel}));
}

static QString Marks(FormMonitor& monitor) {
    QString shown = monitor.Toolbar1()->findChild<QToolButton*>("BPort")->text();
    for (int entry = 1; entry <= 4; ++entry) {
        QAction* action = monitor.Toolbar1()->PortEntry(entry);
        shown += "|" + action->text() + (action->isEnabled() ? "" : " (off)");
    }
    return shown;
}

void GuiTest::PortMarksAndReceptionUnderTheRealDialogs() {
    TestHost host(true);
    PtyPair first(host.dir.Path(), "first");
    PtyPair second(host.dir.Path(), "second");
    WriteFile(host.dir.File("ports"), "[Software\\Kavrel\\Quelmar]\n\"Port1\"=\"" + first.device +
                                          "\"\n\"Port2\"=\"" + second.device +
                                          "\"\n\"Port3\"=\"/no/such/device\"\n");
    QVERIFY(host.form->Start());
    FormMonitor& monitor = host.Monitor();
    const CommandMenu* menu = monitor.MArch();
    QToolButton* port = monitor.Toolbar1()->findChild<QToolButton*>("BPort");
    const auto picture = [&] { return port->icon().pixmap(21, 21).toImage(); };
    const QImage normal = picture();
    const QString none = "Port|Port 1|Port 2|Port 3|Port 4";
    const QString open1 = "Port 1|> Port 1 (off)|Port 2|Port 3|Port 4";
    QCOMPARE(Marks(monitor), none);

    // The toolbar's entries and the menu's items reach their port (the rules behind the marks:
    // PortSelectionTest).
    const struct {
        QAction* command;
        QString marks;
    } steps[] = {{monitor.Toolbar1()->PortEntry(2), "Port 2|Port 1|> Port 2 (off)|Port 3|Port 4"},
                 {menu->MArchPorts[2], none},
                 {menu->MArchPorts[0], open1}};
    QStringList looks;
    for (const auto& step : steps) {
        WithModals([&] { step.command->trigger(); }, {Noting(looks)});
        QCOMPARE(Marks(monitor), step.marks);
    }

    // Open through the real file dialog, a name typed outside ASCII and without the extension;
    // a reading that arrives while the dialog is open is listed, the next one written.
    WithModals([&] { monitor.AbrirArchivo(); }, {[&](QWidget* modal) {
                   looks.append(Looks(modal));
                   first.Send(NumberedMessage(1));
                   QTRY_VERIFY(RowCells(host.List(), 0)[1] != "");
                   auto* dialog = static_cast<QFileDialog*>(modal);
                   dialog->setDirectory(QString::fromStdString(host.dir.Path().string()));
                   dialog->findChild<QLineEdit*>("fileNameEdit")->setText("medici\u00F3n");
                   QMetaObject::invokeMethod(modal, "accept");
               }});
    QCOMPARE(looks,
             QStringList({"Error opening port3, check the port is free/RHEOTRACKPANEL/0/1024/1024",
                          "Select destination file/Comma separated text *.csv "
                          "(*.csv)|All files *.* (*)/Comma separated text *.csv/save/"}));
    const std::string session = host.dir.File("medici\u00F3n.csv");
    QCOMPARE(monitor.windowTitle().toStdString(), "Incoming data - " + session);
    first.Send(NumberedMessage(2));
    QTRY_COMPARE(ReadFile(session), kHeader + NumberedRow(2));

    // While the port is lost the button warns (when it is lost and back: SerialLinkTest); as
    // before once it is back.
    monitor.ShowPortMarks(OpenMarks(1, true));
    QCOMPARE(port->toolTip(), QStringLiteral("Port 1 lost: waiting for the device"));
    QCOMPARE(Marks(monitor), open1);
    QVERIFY(picture() != normal);
    monitor.ShowPortMarks(OpenMarks(1));
    QCOMPARE(port->toolTip(), QStringLiteral("Select communication port"));
    QVERIFY(picture() == normal);
}
