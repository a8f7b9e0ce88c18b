#pragma once
#include <QWidget>

#include "platform/Clock.h"
#include "platform/SerialLink.h"

class QComboBox;
class QPushButton;
class QTimer;

namespace rheo {

// The instrument simulator: once per spindle revolution at the chosen speed it writes one
// fake measurement to the serial link the program has open. A developer's test aid.
class FormDebug : public QWidget {
    Q_OBJECT
  public:
    FormDebug(SerialLink& link, const Clock& clock, QWidget* parent = nullptr);

    // Opens the window (destroyed again when it is closed), or brings the open one forward.
    static FormDebug* ShowWindow(SerialLink& link, const Clock& clock, QWidget* parent = nullptr);

    void Start();  // Command1
    void Stop();   // Command2

  private:
    void Tick();

    SerialLink& link_;
    const Clock& clock_;
    QComboBox* Combo1_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QPushButton* Command2_ = nullptr;
    QTimer* Timer1_ = nullptr;
};

}  // namespace rheo
