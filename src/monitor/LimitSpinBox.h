#pragma once
#include <QDoubleSpinBox>
#include <optional>

namespace rheo {

// A spin box for an optional limit: emptied, it holds no limit (its lowest value stands for
// none and shows as an empty box).
class LimitSpinBox : public QDoubleSpinBox {
    Q_OBJECT
  public:
    explicit LimitSpinBox(QWidget* parent);

    std::optional<double> Limit() const;
    void SetLimit(std::optional<double> limit);

  protected:
    QString textFromValue(double value) const override;
    double valueFromText(const QString& text) const override;
    QValidator::State validate(QString& text, int& position) const override;
};

}  // namespace rheo
