// The Qt side of the dialog interfaces and the code-page conversion, used for real: the file
// dialog and the message boxes driven as a user would, and Windows-1252 against the toolkit's
// own codec.
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringDecoder>

#include "GuiTestSupport.h"
#include "platform/qt/QtFileDialog.h"
#include "platform/qt/QtMessageBoxes.h"

using namespace rheo;
using namespace rheo::guitest;

namespace {

std::string AllBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes.push_back(static_cast<char>(b));
    }
    return bytes;
}

struct SeenDialog {
    QString title;
    QStringList filters;
    QString selectedFilter;
    bool save = false;
    bool confirmsOverwrite = true;
    QString defaultSuffix;
};

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void Windows1252AgreesWithTheCodec();
    void Windows1252BackToBytes();
    void FileDialogReturnsTheNameAsChosen();
    void FileDialogCancelled();
    void MessageBoxAnswers();
    void MessageBoxLook();
};

void DialogsTest::Windows1252AgreesWithTheCodec() {
    const std::string bytes = AllBytes();
    const QString table = FromWindows1252Table(bytes);
    QCOMPARE(table.size(), 256);
    // Latin-1 outside 0x80-0x9F; the code page's own characters inside.
    for (int b = 0; b < 256; ++b) {
        if (b < 0x80 || b > 0x9F) {
            QCOMPARE(table.at(b).unicode(), char16_t(b));
        }
    }
    QCOMPARE(table.at(0x80), QChar(0x20AC));  // euro sign
    QCOMPARE(table.at(0x8A), QChar(0x0160));  // S with caron
    QCOMPARE(table.at(0x99), QChar(0x2122));  // trade mark
    QCOMPARE(table.at(0x9F), QChar(0x0178));  // Y with diaeresis
    QCOMPARE(table.at(0xBA), QChar(0x00BA));  // masculine ordinal of "Temp [ºC]"
    QCOMPARE(FromWindows1252("Temp [\xBA"
                             "C]"),
             QString::fromUtf8("Temp [\u00BAC]"));

    QStringDecoder codec("windows-1252", QStringDecoder::Flag::Stateless);
    if (!codec.isValid()) {
        QSKIP("this Qt has no windows-1252 codec; the table is all there is");
    }
    // The table and the codec give the same text for every defined byte.
    const QString decoded = FromWindows1252(bytes);
    QCOMPARE(decoded.size(), 256);
    for (int b = 0; b < 256; ++b) {
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
            continue;  // unused by the code page: codecs differ, the table keeps the C1 code
        }
        QVERIFY2(decoded.at(b) == table.at(b), qPrintable(QString::number(b, 16)));
    }
}

void DialogsTest::Windows1252BackToBytes() {
    const std::string bytes = AllBytes();
    QCOMPARE(ToWindows1252(FromWindows1252Table(bytes)), bytes);
    QCOMPARE(ToWindows1252Table(FromWindows1252Table(bytes)), bytes);
    QCOMPARE(ToWindows1252(QString::fromUtf8("Temp [\u00BAF] \u20AC")), std::string("Temp [\xBA"
                                                                                    "F] \x80"));
    // Characters the code page lacks become "?".
    QCOMPARE(ToWindows1252(QString::fromUtf8("\u2192\u00B0\u0100x")), std::string("?\xB0?x"));
}

void DialogsTest::FileDialogReturnsTheNameAsChosen() {
    TempDir dir;
    QWidget window;
    QtFileDialog dialog(&window);
    QCOMPARE(dialog.Dialog()->objectName(), QStringLiteral("DialogFile"));
    QCOMPARE(window.findChild<QFileDialog*>("DialogFile"), dialog.Dialog());
    const std::vector<FileFilter> newFilters = {{"Comma Separated text *.csv", "*.csv"}};
    const std::vector<FileFilter> openFilters = {{"Comma separated text *.csv", "*.csv"},
                                                 {"All files *.*", "*.*"}};

    const auto choose = [&](const std::vector<FileFilter>& filters, const QString& typed,
                            SeenDialog& seen) {
        std::optional<std::string> chosen;
        const bool shown = WhileModal(
            [&] { chosen = dialog.ChooseFile("Select destination file", filters, "*.csv"); },
            [&](QWidget* modal) {
                auto* d = qobject_cast<QFileDialog*>(modal);
                if (d == nullptr) {
                    static_cast<QDialog*>(modal)->reject();
                    return;
                }
                seen = {d->windowTitle(),
                        d->nameFilters(),
                        d->selectedNameFilter(),
                        d->acceptMode() == QFileDialog::AcceptSave,
                        !d->testOption(QFileDialog::DontConfirmOverwrite),
                        d->defaultSuffix()};
                d->setDirectory(QString::fromStdString(dir.Path().string()));
                // Typed into the name field, as the user does.
                if (auto* edit = d->findChild<QLineEdit*>("fileNameEdit")) {
                    edit->setText(typed);
                }
                QMetaObject::invokeMethod(d, "accept");
                // No overwrite question of the dialog's own follows.
                if (QApplication::activeModalWidget() == d) {
                    d->reject();
                }
            });
        return shown ? chosen : std::optional<std::string>("(no dialog)");
    };

    // An existing file: returned as it is, without a question.
    WriteFile(dir.File("old.csv"), "x");
    SeenDialog seen;
    QCOMPARE(choose(newFilters, QStringLiteral("old.csv"), seen),
             std::optional<std::string>(dir.File("old.csv")));
    QCOMPARE(seen.title, QStringLiteral("Select destination file"));
    QCOMPARE(seen.filters, QStringList({"Comma Separated text *.csv (*.csv)"}));
    // The user sees the description alone, and the filter the preset names is chosen.
    QCOMPARE(seen.selectedFilter, QStringLiteral("Comma Separated text *.csv"));
    QVERIFY(seen.save);
    QVERIFY(!seen.confirmsOverwrite);
    QVERIFY(seen.defaultSuffix.isEmpty());
    QCOMPARE(ReadFile(dir.File("old.csv")), std::string("x"));

    // A typed name without extension comes back unchanged: the commands add it.
    QCOMPARE(choose(openFilters, QStringLiteral("run1"), seen),
             std::optional<std::string>(dir.File("run1")));
    QCOMPARE(seen.filters,
             QStringList({"Comma separated text *.csv (*.csv)", "All files *.* (*)"}));
    QCOMPARE(seen.selectedFilter, QStringLiteral("Comma separated text *.csv"));
    QVERIFY(!std::filesystem::exists(dir.File("run1")));

    // A name outside ASCII comes back in the file system's encoding.
    const QString name = QString::fromUtf8("medici\u00F3n\u00BA.csv");
    QCOMPARE(choose(newFilters, name, seen),
             std::optional<std::string>(dir.File(name.toUtf8().toStdString())));
}

void DialogsTest::FileDialogCancelled() {
    QWidget window;
    QtFileDialog dialog(&window);
    std::optional<std::string> chosen = "unset";
    QString selected;
    QVERIFY(WhileModal(
        [&] {
            chosen =
                dialog.ChooseFile("Select destination file",
                                  {{"All files *.*", "*.*"}, {"Text *.txt", "*.txt"}}, "*.txt");
        },
        [&](QWidget* modal) {
            if (auto* d = qobject_cast<QFileDialog*>(modal)) {
                selected = d->selectedNameFilter();
            }
            static_cast<QDialog*>(modal)->reject();
        }));
    QVERIFY(!chosen.has_value());
    // The default-extension preset chose the filter it names, not the first one.
    QCOMPARE(selected, QStringLiteral("Text *.txt"));
}

void DialogsTest::MessageBoxAnswers() {
    QtMessageBoxes boxes;
    struct Case {
        MessageButtons buttons;
        std::function<void(QMessageBox*)> act;
        MessageAnswer expected;
    };
    const std::vector<Case> cases = {
        {MessageButtons::OkCancel,
         [](QMessageBox* b) { QTest::mouseClick(b->button(QMessageBox::Ok), Qt::LeftButton); },
         MessageAnswer::Ok},
        {MessageButtons::OkCancel,
         [](QMessageBox* b) { QTest::mouseClick(b->button(QMessageBox::Cancel), Qt::LeftButton); },
         MessageAnswer::Cancel},
        // Enter takes the default, OK.
        {MessageButtons::OkCancel, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Return); },
         MessageAnswer::Ok},
        // Closing the box counts as Cancel.
        {MessageButtons::OkCancel, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); },
         MessageAnswer::Cancel},
        {MessageButtons::OkCancel, [](QMessageBox* b) { b->close(); }, MessageAnswer::Cancel},
        // A box with OK alone answers OK however it is closed.
        {MessageButtons::Ok, [](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); },
         MessageAnswer::Ok},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        MessageAnswer answer =
            cases[i].expected == MessageAnswer::Ok ? MessageAnswer::Cancel : MessageAnswer::Ok;
        QVERIFY(WhileModal(
            [&] {
                answer =
                    boxes.Show("question", "RHEOTRACKPANEL", MessageIcon::None, cases[i].buttons);
            },
            [&](QWidget* modal) {
                if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                    cases[i].act(box);
                }
                if (QApplication::activeModalWidget() == modal) {
                    static_cast<QDialog*>(modal)->done(0);
                }
            }));
        QVERIFY2(answer == cases[i].expected, qPrintable(QString::number(i)));
    }
}

void DialogsTest::MessageBoxLook() {
    QtMessageBoxes boxes;
    struct Look {
        MessageIcon icon;
        MessageButtons buttons;
        QMessageBox::Icon shownIcon;
        QMessageBox::StandardButtons shownButtons;
    };
    const std::vector<Look> looks = {
        {MessageIcon::Critical, MessageButtons::Ok, QMessageBox::Critical, QMessageBox::Ok},
        {MessageIcon::Information, MessageButtons::Ok, QMessageBox::Information, QMessageBox::Ok},
        {MessageIcon::None, MessageButtons::OkCancel, QMessageBox::NoIcon,
         QMessageBox::Ok | QMessageBox::Cancel},
    };
    for (const Look& look : looks) {
        QString text;
        QString title;
        QMessageBox::Icon icon = QMessageBox::Warning;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QVERIFY(WhileModal(
            [&] {
                boxes.Show("Cannot access file. Process aborted \xBA\x80", "Atenci\xF3n", look.icon,
                           look.buttons);
            },
            [&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                if (box != nullptr) {
                    text = box->text();
                    title = box->windowTitle();
                    icon = box->icon();
                    buttons = box->standardButtons();
                    defaultButton = box->standardButton(box->defaultButton());
                }
                static_cast<QDialog*>(modal)->done(0);
            }));
        QCOMPARE(text, QString::fromUtf8("Cannot access file. Process aborted \u00BA\u20AC"));
        QCOMPARE(title, QString::fromUtf8("Atenci\u00F3n"));
        QCOMPARE(icon, look.shownIcon);
        QCOMPARE(buttons, look.shownButtons);
        QCOMPARE(defaultButton, QMessageBox::Ok);
    }
}

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
