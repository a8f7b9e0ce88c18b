#include "monitor/LimitSpinBox.h"

namespace rheo {

namespace {
constexpr double kNone = -1.0;  // below any viscosity
}

LimitSpinBox::LimitSpinBox(QWidget* parent) : QDoubleSpinBox(parent) {
    setRange(kNone, 1.0e9);
    setDecimals(2);
    setValue(kNone);
    setKeyboardTracking(false);
}

std::optional<double> LimitSpinBox::Limit() const {
    return value() <= kNone ? std::nullopt : std::optional(value());
}

void LimitSpinBox::SetLimit(std::optional<double> limit) {
    setValue(limit ? *limit : kNone);
}

QString LimitSpinBox::textFromValue(double value) const {
    return value <= kNone ? QString() : QDoubleSpinBox::textFromValue(value);
}

double LimitSpinBox::valueFromText(const QString& text) const {
    return text.trimmed().isEmpty() ? kNone : QDoubleSpinBox::valueFromText(text);
}

QValidator::State LimitSpinBox::validate(QString& text, int& position) const {
    if (text.trimmed().isEmpty()) {
        return QValidator::Acceptable;
    }
    return QDoubleSpinBox::validate(text, position);
}

}  // namespace rheo
