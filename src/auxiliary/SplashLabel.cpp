#include "auxiliary/SplashLabel.h"

#include <QMouseEvent>

namespace rheo {

SplashLabel::SplashLabel(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_NoMousePropagation);
}

void SplashLabel::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

// A click is a press and a release of the left button over the label.
void SplashLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}

void SplashLabel::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    emit pointerMoved();
}

}  // namespace rheo
