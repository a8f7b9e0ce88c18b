// A build without the plotting library: no trend window, and its commands are hidden.
#include "monitor/TrendWindow.h"

namespace rheo {

bool TrendWindowAvailable() {
    return false;
}

std::unique_ptr<QWidget> MakeTrendWindow(TrendStore&, const Configuration&, QWidget&) {
    return nullptr;
}

}  // namespace rheo
