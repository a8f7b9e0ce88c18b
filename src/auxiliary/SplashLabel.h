#pragma once
#include <QLabel>

namespace rheo {

// A label of the splash window that reports clicks and, when mouse tracking is on, the pointer
// moving over it. It keeps both events to itself, so they never reach the window underneath.
class SplashLabel : public QLabel {
    Q_OBJECT
  public:
    explicit SplashLabel(QWidget* parent = nullptr);

  signals:
    void clicked();
    void pointerMoved();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
};

}  // namespace rheo
