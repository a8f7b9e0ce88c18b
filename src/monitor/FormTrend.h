#pragma once
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>

#include "monitor/LimitSpinBox.h"
#include "monitor/TrendPlot.h"
#include "trend/TrendStore.h"
#include "vocabulary/Configuration.h"

namespace rheo {

// The trend window: the readings' curves against time (TrendPlot), the statistics of the
// readings in view (StatisticsTable) with what was left out or falls outside the limits and the
// accurate torque range, and the commands Follow, Reset view, Clear, Copy and Save Picture....
// It draws the store it is given, which holds the readings whether or not the window is open;
// while shown it brings plots and table up to date at most ten times a second (Timer1).
// Geometry and limits are kept per user.
class FormTrend : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kRefreshIntervalMs = 100;

    FormTrend(TrendStore& store, const Configuration& configuration, QWidget* parent = nullptr);
    ~FormTrend() override;

    // The main window's caption: "Incoming data - <file>" gives "Trend - <file>".
    void ShowSessionCaption(const QString& monitorCaption);
    // Brings plots and table up to the store now (what the timer does).
    void Refresh();
    // Writes the three plots as a PNG or PDF picture at the size shown (by the name's end).
    bool SavePicture(const QString& path);
    // The statistics table as tab-separated text with its header row.
    QString TableText() const;

    TrendPlot* Plot() const { return plot_; }
    QTableWidget* StatisticsTable() const { return table_; }
    LimitSpinBox* LowLimit() const { return low_; }
    LimitSpinBox* HighLimit() const { return high_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void UpdateTable();
    void LimitsChanged();
    void CopyTable();
    void ChooseAndSavePicture();
    void SaveGeometry();

    TrendStore& store_;
    const Configuration& configuration_;
    TrendPlot* plot_ = nullptr;
    QPushButton* follow_ = nullptr;
    LimitSpinBox* low_ = nullptr;
    LimitSpinBox* high_ = nullptr;
    QLabel* scope_ = nullptr;  // "All readings" or "In view: ..."
    QTableWidget* table_ = nullptr;
    QLabel* leftOut_ = nullptr;
    QLabel* outsideLimits_ = nullptr;
    QLabel* outsideTorque_ = nullptr;
    QTimer* Timer1_ = nullptr;
    QTimer* geometryTimer_ = nullptr;  // keeps the geometry a moment after a move or resize
    bool viewChanged_ = true;

    // The summary of all the readings, grown with them while the store, the limits and the
    // units shown stay the same; summarised anew otherwise.
    struct AllReadings {
        std::uint64_t generation = 0;
        TrendLimits limits;
        Text temperatureUnit;
        Text viscosityUnit;
        std::size_t summarised = 0;
        TrendSummary summary;
    };
    const TrendSummary& SummaryOfAll(const TrendLimits& limits);
    AllReadings all_;
};

}  // namespace rheo
