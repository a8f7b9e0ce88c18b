#pragma once
#include <QWidget>
#include <memory>

#include "trend/TrendStore.h"
#include "vocabulary/Configuration.h"

namespace rheo {

// Whether this build has the trend window (it needs the plotting library).
bool TrendWindowAvailable();

// The trend window on the store, its title following the caption of `monitor` from now on;
// null in a build without the window.
std::unique_ptr<QWidget> MakeTrendWindow(TrendStore& store, const Configuration& configuration,
                                         QWidget& monitor);

}  // namespace rheo
