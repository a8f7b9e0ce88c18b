#pragma once
#include <QPointer>
#include <QWidget>

#include "platform/Dialogs.h"

namespace rheo {

// Message boxes as modal QMessageBox windows. The box runs its own event loop, so timers
// (reception above all) keep running while it waits for the user.
class QtMessageBoxes : public MessageBoxes {
  public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}

    // The window the boxes are centred on; while it is hidden they appear on their own.
    void SetParent(QWidget* parent) { parent_ = parent; }

    MessageAnswer Show(const Text& text, const Text& title, MessageIcon icon,
                       MessageButtons buttons) override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace rheo
