#include "monitor/TrendPlot.h"

#include <QDateTime>
#include <cmath>
#include <limits>

#include "platform/qt/QtText.h"

namespace rheo {

namespace {

constexpr double kGap = std::numeric_limits<double>::quiet_NaN();
constexpr std::array<QRgb, kTrendSeriesCount> kCurveColours = {0x1f5fa8, 0xc25a00, 0x2e7d32};
constexpr QRgb kWarningColour = 0xd50000;
constexpr QRgb kTorqueMarkColour = 0x8e24aa;

QString UnitText(TrendSeries series, const Text& unit) {
    if (series == TrendSeries::Torque) {
        return QStringLiteral("%");
    }
    if (unit.empty()) {
        return {};
    }
    // "C" and "F" are shown as the list shows them, after "º" (U+00BA).
    return series == TrendSeries::Temperature ? QStringLiteral("\u00ba") + ToQString(unit)
                                              : ToQString(unit);
}

QString AxisTitle(TrendSeries series, const Text& unit) {
    static constexpr std::array<const char*, kTrendSeriesCount> kNames = {"Viscosity",
                                                                          "Temperature", "Torque"};
    const QString text = UnitText(series, unit);
    const QString name = QString::fromLatin1(kNames[static_cast<std::size_t>(series)]);
    return text.isEmpty() ? name : name + QStringLiteral(" [") + text + QStringLiteral("]");
}

Text UnitOf(const TrendSegment& segment, TrendSeries series) {
    return series == TrendSeries::Viscosity     ? segment.viscosityUnit
           : series == TrendSeries::Temperature ? segment.temperatureUnit
                                                : Text{};
}

// The curves' points, grown in steps of a fixed size rather than doubled, so that a million
// readings take what they need and not up to twice that.
class GrowingPoints : public QCPGraphDataContainer {
  public:
    static constexpr qsizetype kStep = 16384;
    void MakeRoomFor(qsizetype more) {
        if (mData.capacity() < mData.size() + more) {
            mData.reserve(mData.size() + more + kStep);
        }
    }
};

void Append(QCPGraph* graph, const QVector<double>& keys, const QVector<double>& values) {
    static_cast<GrowingPoints*>(graph->data().data())->MakeRoomFor(keys.size());
    graph->addData(keys, values, true);
}

QCPGraph* Marks(QCPAxisRect* rect, QRgb colour, QCPScatterStyle::ScatterShape shape) {
    auto* graph =
        rect->parentPlot()->addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
    graph->setData(QSharedPointer<GrowingPoints>::create());
    graph->setLineStyle(QCPGraph::lsNone);
    graph->setScatterStyle(QCPScatterStyle(shape, QColor(colour), 6));
    return graph;
}

}  // namespace

TrendPlot::TrendPlot(const TrendStore& store, QWidget* parent)
    : QCustomPlot(parent), store_(store) {
    setObjectName("TrendPlot");
    setAccessibleName(QStringLiteral("Trend plots"));
    setNotAntialiasedElements(QCP::aeAll);
    setPlottingHint(QCP::phFastPolylines, true);
    plotLayout()->clear();

    auto* margins = new QCPMarginGroup(this);
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat(QStringLiteral("HH:mm:ss"));
    ticker->setDateTimeSpec(Qt::LocalTime);
    for (std::size_t s = 0; s < kTrendSeriesCount; ++s) {
        auto* rect = new QCPAxisRect(this);
        plotLayout()->addElement(static_cast<int>(s), 0, rect);
        rect->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
        rect->setRangeDrag(Qt::Horizontal);
        rect->setRangeZoom(Qt::Horizontal);
        QCPAxis* time = rect->axis(QCPAxis::atBottom);
        time->setTicker(ticker);
        time->setTickLabels(s + 1 == kTrendSeriesCount);
        connect(time, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
                &TrendPlot::OnTimeRangeChanged);
        rects_[s] = rect;

        QCPGraph* curve = addGraph(time, rect->axis(QCPAxis::atLeft));
        curve->setPen(QPen(QColor(kCurveColours[s]), 1.5));
        curve->setData(QSharedPointer<GrowingPoints>::create());
        curve->setAdaptiveSampling(true);
        curves_[s] = curve;
        torqueMarks_[s] = Marks(rect, kTorqueMarkColour, QCPScatterStyle::ssTriangleInverted);
    }
    outsideLimits_ = Marks(rects_[0], kWarningColour, QCPScatterStyle::ssDisc);
    for (auto*& line : limitLines_) {
        line = new QCPItemStraightLine(this);
        line->setClipAxisRect(rects_[0]);
        for (QCPItemPosition* point : {line->point1, line->point2}) {
            point->setAxes(rects_[0]->axis(QCPAxis::atBottom), rects_[0]->axis(QCPAxis::atLeft));
        }
        line->setPen(QPen(QColor(kWarningColour), 1, Qt::DashLine));
        line->setVisible(false);
    }
    // The torque range within which the reading is accurate.
    for (double torque : {kLowestAccurateTorque, kHighestAccurateTorque}) {
        auto* line = new QCPItemStraightLine(this);
        line->setClipAxisRect(rects_[2]);
        for (QCPItemPosition* point : {line->point1, line->point2}) {
            point->setAxes(rects_[2]->axis(QCPAxis::atBottom), rects_[2]->axis(QCPAxis::atLeft));
        }
        line->point1->setCoords(0, torque);
        line->point2->setCoords(1, torque);
        line->setPen(QPen(QColor(kTorqueMarkColour), 1, Qt::DotLine));
    }
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    UpdateAxisTitles();
}

bool TrendPlot::Sync() {
    if (generation_ != store_.Generation()) {
        Restart();
    }
    if (shown_ == store_.Size() && !dirty_) {
        return false;
    }
    AppendNewReadings();
    if (segmentsShown_ != store_.Segments().size()) {
        segmentsShown_ = store_.Segments().size();
        UpdateAxisTitles();
    }
    FitAxes();
    dirty_ = false;
    return true;
}

void TrendPlot::Restart() {
    generation_ = store_.Generation();
    shown_ = 0;
    segmentsShown_ = 0;
    for (std::size_t s = 0; s < kTrendSeriesCount; ++s) {
        curves_[s]->data()->clear();
        torqueMarks_[s]->data()->clear();
    }
    outsideLimits_->data()->clear();
    anyValue_ = {};
    showsAll_ = true;
    dirty_ = true;
}

void TrendPlot::AppendNewReadings() {
    const std::size_t size = store_.Size();
    if (shown_ == size) {
        return;
    }
    const auto& segments = store_.Segments();
    std::array<QVector<double>, kTrendSeriesCount> keys, values, markKeys, markValues;
    QVector<double> warnKeys, warnValues;
    for (auto& k : keys) {
        k.reserve(static_cast<qsizetype>(size - shown_) + 8);
    }
    for (auto& v : values) {
        v.reserve(static_cast<qsizetype>(size - shown_) + 8);
    }
    // The segment of the first new reading, then on through the later ones.
    std::size_t segment = 0;
    while (segment + 1 < segments.size() && segments[segment + 1].first <= shown_) {
        ++segment;
    }
    for (std::size_t i = shown_; i < size; ++i) {
        const double time = store_.TimeSeconds(i);
        const bool segmentStarts = segments[segment].first == i && i > 0;
        const bool torqueOutside = store_.OutsideTorqueRange(i);
        for (std::size_t s = 0; s < kTrendSeriesCount; ++s) {
            const auto series = static_cast<TrendSeries>(s);
            if (segmentStarts &&
                UnitOf(segments[segment], series) != UnitOf(segments[segment - 1], series)) {
                keys[s].append(time);  // the curve breaks where its unit changes
                values[s].append(kGap);
            }
            const auto value = store_.Value(series, i);
            const double number = value ? value->Value() : kGap;
            keys[s].append(time);
            values[s].append(number);
            if (value) {
                if (!anyValue_[s]) {
                    allValues_[s] = QCPRange(number, number);
                    anyValue_[s] = true;
                }
                allValues_[s].expand(number);
            }
            if (value && torqueOutside) {
                markKeys[s].append(time);
                markValues[s].append(number);
            }
            if (value && s == 0 && OutsideLimit(number)) {
                warnKeys.append(time);
                warnValues.append(number);
            }
        }
        if (segment + 1 < segments.size() && segments[segment + 1].first == i + 1) {
            ++segment;
        }
    }
    for (std::size_t s = 0; s < kTrendSeriesCount; ++s) {
        Append(curves_[s], keys[s], values[s]);
        if (!markKeys[s].isEmpty()) {
            Append(torqueMarks_[s], markKeys[s], markValues[s]);
        }
    }
    if (!warnKeys.isEmpty()) {
        Append(outsideLimits_, warnKeys, warnValues);
    }
    shown_ = size;
}

bool TrendPlot::OutsideLimit(double viscosity) const {
    return (limits_.low && viscosity < *limits_.low) || (limits_.high && viscosity > *limits_.high);
}

void TrendPlot::SetLimits(const TrendLimits& limits) {
    if (limits == limits_) {
        return;
    }
    limits_ = limits;
    const std::array<std::optional<double>, 2> values = {limits.low, limits.high};
    for (std::size_t k = 0; k < 2; ++k) {
        limitLines_[k]->setVisible(values[k].has_value());
        if (values[k]) {
            limitLines_[k]->point1->setCoords(0, *values[k]);
            limitLines_[k]->point2->setCoords(1, *values[k]);
        }
    }
    RebuildOutsideLimits();
    dirty_ = true;
}

void TrendPlot::RebuildOutsideLimits() {
    QVector<double> keys, values;
    for (std::size_t i = 0; i < shown_; ++i) {
        const auto value = store_.Value(TrendSeries::Viscosity, i);
        if (value && OutsideLimit(value->Value())) {
            keys.append(store_.TimeSeconds(i));
            values.append(value->Value());
        }
    }
    outsideLimits_->data()->clear();
    Append(outsideLimits_, keys, values);
}

void TrendPlot::UpdateAxisTitles() {
    const auto& segments = store_.Segments();
    for (std::size_t s = 0; s < kTrendSeriesCount; ++s) {
        const auto series = static_cast<TrendSeries>(s);
        QString title = AxisTitle(series, store_.CurrentUnit(series));
        // After a change of unit the axis says which unit the earlier part of the curve has.
        for (std::size_t k = segments.size(); k-- > 1;) {
            const Text before = UnitOf(segments[k - 1], series);
            if (before != UnitOf(segments[k], series)) {
                const QString at =
                    QDateTime::fromMSecsSinceEpoch(
                        static_cast<qint64>(store_.TimeSeconds(segments[k].first) * 1000.0))
                        .toString(QStringLiteral("HH:mm:ss"));
                title +=
                    QStringLiteral("\n(%1 before %2)")
                        .arg(before.empty() ? QStringLiteral("no unit") : UnitText(series, before),
                             at);
                break;
            }
        }
        rects_[s]->axis(QCPAxis::atLeft)->setLabel(title);
    }
}

void TrendPlot::SetFollow(bool follow) {
    follow_ = follow;
    dirty_ = true;
}

void TrendPlot::ShowAll() {
    showsAll_ = true;
    dirty_ = true;
}

QCPRange TrendPlot::TimeRange() const {
    return rects_[0]->axis(QCPAxis::atBottom)->range();
}

void TrendPlot::FitAxes() {
    adjusting_ = true;
    const std::size_t size = store_.Size();
    if (size > 0) {
        const double first = store_.TimeSeconds(0);
        const double last = store_.TimeSeconds(size - 1);
        QCPRange range = TimeRange();
        if (showsAll_) {
            const double margin = std::max((last - first) * 0.02, 1.0);
            range = QCPRange(first - margin, last + margin);
        } else if (follow_) {
            const double width = range.size();
            range = QCPRange(last - width * 0.98, last + width * 0.02);
        }
        for (QCPAxisRect* rect : rects_) {
            rect->axis(QCPAxis::atBottom)->setRange(range);
        }
    }
    for (std::size_t s = 0; s < kTrendSeriesCount; ++s) {
        bool found = anyValue_[s];
        QCPRange values = allValues_[s];
        if (!showsAll_) {  // only what is in view
            values = curves_[s]->getValueRange(found, QCP::sdBoth, TimeRange());
        }
        if (found) {
            const double margin = std::max(values.size() * 0.08, std::fabs(values.upper) * 0.01);
            values = QCPRange(values.lower - margin, values.upper + margin + (margin == 0 ? 1 : 0));
            if (s == 0) {  // the limits stay in sight
                for (const auto& limit : {limits_.low, limits_.high}) {
                    if (limit) {
                        values.expand(*limit);
                    }
                }
            }
            rects_[s]->axis(QCPAxis::atLeft)->setRange(values);
        }
    }
    adjusting_ = false;
}

void TrendPlot::OnTimeRangeChanged(const QCPRange& range) {
    if (adjusting_) {
        return;
    }
    // The user zoomed or panned one plot: the others follow, and the view is the user's now.
    adjusting_ = true;
    for (QCPAxisRect* rect : rects_) {
        rect->axis(QCPAxis::atBottom)->setRange(range);
    }
    adjusting_ = false;
    showsAll_ = false;
    dirty_ = true;
    emit ViewChanged();
}

}  // namespace rheo
