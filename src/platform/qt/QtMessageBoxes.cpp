#include "platform/qt/QtMessageBoxes.h"

#include <QMessageBox>
#include <QPushButton>

#include "platform/qt/QtText.h"

namespace rheo {
namespace {

QMessageBox::Icon IconOf(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

MessageAnswer QtMessageBoxes::Show(const Text& text, const Text& title, MessageIcon icon,
                                   MessageButtons buttons) {
    QWidget* parent = (parent_ && parent_->isVisible()) ? parent_.data() : nullptr;
    QMessageBox box(IconOf(icon), ToQString(title), ToQString(text), QMessageBox::NoButton, parent);
    box.setObjectName("MessageBox");
    box.setTextFormat(Qt::PlainText);
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    if (buttons == MessageButtons::OkCancel) {
        QPushButton* cancel = box.addButton(QMessageBox::Cancel);
        box.setEscapeButton(cancel);
    } else {
        box.setEscapeButton(ok);
    }
    box.setDefaultButton(ok);
    box.exec();
    // Closing the box without a button counts as Cancel where there is one.
    return box.clickedButton() == ok       ? MessageAnswer::Ok
           : buttons == MessageButtons::Ok ? MessageAnswer::Ok
                                           : MessageAnswer::Cancel;
}

}  // namespace rheo
