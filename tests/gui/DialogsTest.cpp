// The message boxes of the platform layer driven as a user would: what they show and what
// they answer; and Windows-1252, alone and against the toolkit's codec.
#include "GuiTestSupport.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/Windows1252.h"

using namespace rheo;
using namespace rheo::test;

void GuiTest::MessageBoxLooksAndAnswers() {
    QtMessageBoxes boxes;
    // Icon, buttons, the key pressed on the box (0: the box is closed), the icon shown, the answer.
    const struct {
        MessageIcon icon;
        MessageButtons buttons;
        int key;
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
        const auto handle = [&](QWidget* modal) {
            looks = Looks(modal);
            if (c.key != 0) {
                QTest::keyClick(modal, Qt::Key(c.key));
            }
            modal->close();
        };
        WithModals(
            [&] {
                answer = boxes.Show("Cannot access file. Process aborted \xBA\x80", "Atenci\xF3n",
                                    c.icon, c.buttons);
            },
            {handle});
        const auto buttons = c.buttons == MessageButtons::Ok
                                 ? QMessageBox::StandardButtons(QMessageBox::Ok)
                                 : QMessageBox::Ok | QMessageBox::Cancel;
        QCOMPARE(looks, QString::fromUtf8("Cannot access file. Process aborted \u00BA\u20AC/"
                                          "Atenci\u00F3n/%1/%2/%3")
                            .arg(c.shownIcon)
                            .arg(buttons.toInt())
                            .arg(QMessageBox::Ok));
        QVERIFY(answer == c.answer);
    }
}

void GuiTest::Windows1252() {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes.push_back(static_cast<char>(b));
    }
    // Latin-1 but for 0x80 to 0x9F, where the unused codes stay the controls of their number.
    QString expected = QString::fromLatin1(bytes.data(), 256);
    expected.replace(0x80, 32,
                     QString::fromUtf16(u"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6"
                                        u"\u2030\u0160\u2039\u0152\u008D\u017D\u008F\u0090\u2018"
                                        u"\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161"
                                        u"\u203A\u0153\u009D\u017E\u0178"));
    QCOMPARE(FromWindows1252Table(bytes), expected);
    QCOMPARE(ToWindows1252Table(expected), bytes);
    QCOMPARE(ToWindows1252(expected), bytes);
    QCOMPARE(ToWindows1252(QString::fromUtf8("\u2192\u00B0\u0100x")), std::string("?\xB0?x"));
    // The toolkit's codec, when there is one, agrees on every code the code page defines.
    QString decoded = FromWindows1252(bytes);
    QCOMPARE(decoded.size(), 256);
    for (int unused : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        decoded[unused] = expected[unused];
    }
    QCOMPARE(decoded, expected);
}
