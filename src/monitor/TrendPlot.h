#pragma once
#include <qcustomplot.h>

#include <array>
#include <cstdint>

#include "trend/TrendStore.h"

namespace rheo {

// The trend's three plots stacked over one time axis (the computer's clock when each reading was
// recorded): viscosity, temperature, torque. The curves copy the store's readings as they come
// (a gap for a value that is no number, a break where a unit changes) and are drawn through
// QCustomPlot's adaptive sampling. Readings outside the viscosity limits are drawn in a warning
// colour, readings outside 10-100 % torque are marked on all three curves.
//
// The time axis shows all the readings and grows with them until the user zooms (mouse wheel)
// or pans (dragging); with Follow on it then keeps the chosen width and moves with the newest
// reading. Nothing here replots by itself: the window does, at most ten times a second.
class TrendPlot : public QCustomPlot {
    Q_OBJECT
  public:
    TrendPlot(const TrendStore& store, QWidget* parent);

    // Brings the curves up to the store and fits the axes; true when there was anything to do
    // (new readings, a Clear, or a view or limits that changed since the last call).
    bool Sync();
    void SetLimits(const TrendLimits& limits);
    void SetFollow(bool follow);
    // Reset view: all the readings again.
    void ShowAll();
    bool ShowsAll() const { return showsAll_; }
    QCPRange TimeRange() const;

    QCPAxisRect* Rect(TrendSeries series) const { return rects_[Index(series)]; }
    QCPGraph* Curve(TrendSeries series) const { return curves_[Index(series)]; }
    QCPGraph* TorqueMarks(TrendSeries series) const { return torqueMarks_[Index(series)]; }
    QCPGraph* OutsideLimits() const { return outsideLimits_; }

  signals:
    // The user zoomed or panned the time axis.
    void ViewChanged();

  private:
    static std::size_t Index(TrendSeries series) { return static_cast<std::size_t>(series); }
    void Restart();
    void AppendNewReadings();
    void RebuildOutsideLimits();
    bool OutsideLimit(double viscosity) const;
    void UpdateAxisTitles();
    void FitAxes();
    void OnTimeRangeChanged(const QCPRange& range);

    const TrendStore& store_;
    // The value range of each curve over all its readings, kept as they come.
    std::array<QCPRange, kTrendSeriesCount> allValues_{};
    std::array<bool, kTrendSeriesCount> anyValue_{};
    std::array<QCPAxisRect*, kTrendSeriesCount> rects_{};
    std::array<QCPGraph*, kTrendSeriesCount> curves_{};
    std::array<QCPGraph*, kTrendSeriesCount> torqueMarks_{};
    QCPGraph* outsideLimits_ = nullptr;
    std::array<QCPItemStraightLine*, 2> limitLines_{};

    std::uint64_t generation_ = 0;
    std::size_t shown_ = 0;  // readings copied into the curves
    std::size_t segmentsShown_ = 0;
    TrendLimits limits_;
    bool showsAll_ = true;
    bool follow_ = true;
    bool dirty_ = true;
    bool adjusting_ = false;  // the time axis is being set by the program, not the user
};

}  // namespace rheo
