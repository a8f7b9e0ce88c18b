#include "monitor/TrendWindow.h"

#include "monitor/FormTrend.h"

namespace rheo {

bool TrendWindowAvailable() {
    return true;
}

std::unique_ptr<QWidget> MakeTrendWindow(TrendStore& store, const Configuration& configuration,
                                         QWidget& monitor) {
    auto window = std::make_unique<FormTrend>(store, configuration);
    window->ShowSessionCaption(monitor.windowTitle());
    QObject::connect(&monitor, &QWidget::windowTitleChanged, window.get(),
                     &FormTrend::ShowSessionCaption);
    return window;
}

}  // namespace rheo
