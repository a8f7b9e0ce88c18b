#include "monitor/FormTrend.h"

#include <QClipboard>
#include <QDateTime>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QSettings>
#include <QShortcut>
#include <QVBoxLayout>
#include <memory>

#include "monitor/Pictures.h"
#include "platform/qt/QtText.h"
#include "trend/StatisticsTable.h"

namespace rheo {

namespace {

constexpr int kDefaultWidth = 860;
constexpr int kDefaultHeight = 640;
const QString kMonitorCaptionStart = QStringLiteral("Incoming data - ");

// The user's own settings of the trend window (geometry, limits): an INI file in the user's
// configuration folder, ~/.config/rheotrackpanel/trend.ini or %APPDATA%\rheotrackpanel.
std::unique_ptr<QSettings> UserSettings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("rheotrackpanel"), QStringLiteral("trend"));
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, const char* tip) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(QString::fromLatin1(caption));
    button->setToolTip(QString::fromLatin1(tip));
    return button;
}

QLabel* Label(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QString Clock(double seconds) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(seconds * 1000.0))
        .toString(QStringLiteral("HH:mm:ss"));
}

}  // namespace

FormTrend::FormTrend(TrendStore& store, const Configuration& configuration, QWidget* parent)
    : QWidget(parent, Qt::Window), store_(store), configuration_(configuration) {
    setObjectName("FormTrend");
    setWindowIcon(ApplicationIcon());
    ShowSessionCaption(kMonitorCaptionStart + QStringLiteral("No file selected"));
    resize(kDefaultWidth, kDefaultHeight);

    follow_ =
        Button(this, "Follow", "Follow", "Keep the chosen width of time on the newest reading");
    follow_->setCheckable(true);
    follow_->setChecked(true);
    QPushButton* reset = Button(this, "ResetView", "Reset view", "Show all the readings");
    QPushButton* clear = Button(this, "Clear", "Clear", "Forget the readings shown so far");
    QPushButton* copy = Button(this, "Copy", "Copy", "Copy the statistics as tab-separated text");
    QPushButton* save =
        Button(this, "SavePicture", "Save Picture...", "Save the plots as a PNG or PDF picture");
    low_ = new LimitSpinBox(this);
    low_->setObjectName("LowLimit");
    low_->setAccessibleName(QStringLiteral("Low viscosity limit"));
    high_ = new LimitSpinBox(this);
    high_->setObjectName("HighLimit");
    high_->setAccessibleName(QStringLiteral("High viscosity limit"));

    auto* commands = new QHBoxLayout;
    for (QWidget* widget :
         {static_cast<QWidget*>(follow_), static_cast<QWidget*>(reset),
          static_cast<QWidget*>(clear), static_cast<QWidget*>(copy), static_cast<QWidget*>(save)}) {
        commands->addWidget(widget);
    }
    commands->addStretch();
    auto* lowLabel = new QLabel(QStringLiteral("Low limit"), this);
    lowLabel->setBuddy(low_);
    auto* highLabel = new QLabel(QStringLiteral("High limit"), this);
    highLabel->setBuddy(high_);
    commands->addWidget(lowLabel);
    commands->addWidget(low_);
    commands->addWidget(highLabel);
    commands->addWidget(high_);

    plot_ = new TrendPlot(store_, this);
    scope_ = Label(this, "Scope");
    scope_->setAccessibleName(QStringLiteral("Readings covered"));

    table_ = new QTableWidget(static_cast<int>(kTrendSeriesCount),
                              static_cast<int>(kStatisticsColumns), this);
    table_->setObjectName("StatisticsTable");
    table_->setAccessibleName(QStringLiteral("Statistics"));
    QStringList header, rows;
    for (const char* title : kStatisticsHeader) {
        header.append(QString::fromLatin1(title));
    }
    for (const char* row : kStatisticsRows) {
        rows.append(QString::fromLatin1(row));
    }
    table_->setHorizontalHeaderLabels(header);
    table_->setVerticalHeaderLabels(rows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (int row = 0; row < table_->rowCount(); ++row) {
        for (int column = 0; column < table_->columnCount(); ++column) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(row, column, item);
        }
    }
    table_->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    table_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    leftOut_ = Label(this, "LeftOut");
    outsideLimits_ = Label(this, "OutsideLimits");
    outsideTorque_ = Label(this, "OutsideTorque");
    auto* counts = new QHBoxLayout;
    counts->addWidget(leftOut_);
    counts->addStretch();
    counts->addWidget(outsideLimits_);
    counts->addSpacing(24);
    counts->addWidget(outsideTorque_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(commands);
    layout->addWidget(plot_, 1);
    layout->addWidget(scope_);
    layout->addWidget(table_);
    layout->addLayout(counts);

    connect(follow_, &QPushButton::toggled, this, [this](bool on) {
        plot_->SetFollow(on);
        Refresh();
    });
    connect(reset, &QPushButton::clicked, this, [this] {
        plot_->ShowAll();
        Refresh();
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        store_.Clear();
        Refresh();
    });
    connect(copy, &QPushButton::clicked, this, &FormTrend::CopyTable);
    auto* copyKeys = new QShortcut(QKeySequence::Copy, this);
    copyKeys->setObjectName("CopyShortcut");
    connect(copyKeys, &QShortcut::activated, this, &FormTrend::CopyTable);
    connect(save, &QPushButton::clicked, this, &FormTrend::ChooseAndSavePicture);
    connect(plot_, &TrendPlot::ViewChanged, this, [this] { viewChanged_ = true; });

    const auto settings = UserSettings();
    const auto limit = [&](const char* key) -> std::optional<double> {
        const QVariant value = settings->value(QString::fromLatin1(key));
        bool ok = false;
        const double number = value.toDouble(&ok);
        return value.isValid() && ok ? std::optional(number) : std::nullopt;
    };
    low_->SetLimit(limit("lowLimit"));
    high_->SetLimit(limit("highLimit"));
    restoreGeometry(settings->value(QStringLiteral("geometry")).toByteArray());
    LimitsChanged();
    connect(low_, &QDoubleSpinBox::valueChanged, this, &FormTrend::LimitsChanged);
    connect(high_, &QDoubleSpinBox::valueChanged, this, &FormTrend::LimitsChanged);

    // The redraw runs on its own timer, never from inside the receive tick.
    Timer1_ = new QTimer(this);
    Timer1_->setObjectName("Timer1");
    Timer1_->setInterval(kRefreshIntervalMs);
    connect(Timer1_, &QTimer::timeout, this, &FormTrend::Refresh);

    // The program ends at once, without closing its windows: the geometry is kept as it changes.
    geometryTimer_ = new QTimer(this);
    geometryTimer_->setSingleShot(true);
    geometryTimer_->setInterval(500);
    connect(geometryTimer_, &QTimer::timeout, this, &FormTrend::SaveGeometry);
}

FormTrend::~FormTrend() {
    SaveGeometry();
}

void FormTrend::ShowSessionCaption(const QString& monitorCaption) {
    const QString file = monitorCaption.startsWith(kMonitorCaptionStart)
                             ? monitorCaption.mid(kMonitorCaptionStart.size())
                             : monitorCaption;
    setWindowTitle(QStringLiteral("Trend - ") + file);
}

void FormTrend::Refresh() {
    const bool changed = plot_->Sync();
    if (changed || viewChanged_) {
        viewChanged_ = false;
        UpdateTable();
        plot_->replot();
    }
}

void FormTrend::UpdateTable() {
    const TrendLimits limits{low_->Limit(), high_->Limit()};
    TrendSummary inView;
    const bool all = plot_->ShowsAll() || store_.Size() == 0;
    if (all) {
        scope_->setText(QStringLiteral("All readings"));
    } else {
        const QCPRange range = plot_->TimeRange();
        const std::size_t first = store_.FirstAtOrAfter(range.lower);
        const std::size_t last =
            store_.FirstAtOrAfter(std::nextafter(range.upper, range.upper + 1.0));
        scope_->setText(
            QStringLiteral("In view: %1 - %2").arg(Clock(range.lower), Clock(range.upper)));
        inView = store_.Summarise(first, last, limits);
    }
    const TrendSummary& summary = all ? SummaryOfAll(limits) : inView;
    const StatisticsCells cells = StatisticsTexts(summary, configuration_.DecimalSeparator);
    for (std::size_t row = 0; row < kTrendSeriesCount; ++row) {
        for (std::size_t column = 0; column < kStatisticsColumns; ++column) {
            table_->item(static_cast<int>(row), static_cast<int>(column))
                ->setText(ToQString(cells[row][column]));
        }
    }
    QStringList leftOut;
    for (std::size_t s = 0; s < kTrendSeriesCount; ++s) {
        if (summary.leftOut[s] > 0) {
            const Text& unit = summary.leftOutUnit[s];
            const QString shown = unit.empty() ? QStringLiteral("no unit")
                                  : s == static_cast<std::size_t>(TrendSeries::Temperature)
                                      ? QStringLiteral("\u00ba") + ToQString(unit)
                                      : ToQString(unit);
            leftOut.append(
                QStringLiteral("%1 readings in %2 left out").arg(summary.leftOut[s]).arg(shown));
        }
    }
    leftOut_->setText(leftOut.join(QStringLiteral("; ")));
    outsideLimits_->setText(QStringLiteral("Outside limits: %1").arg(summary.outsideLimits));
    outsideTorque_->setText(
        QStringLiteral("Outside 10-100 % torque: %1").arg(summary.outsideTorqueRange));
}

const TrendSummary& FormTrend::SummaryOfAll(const TrendLimits& limits) {
    const Text temperature = store_.CurrentUnit(TrendSeries::Temperature);
    const Text viscosity = store_.CurrentUnit(TrendSeries::Viscosity);
    if (all_.generation != store_.Generation() || all_.limits != limits ||
        all_.temperatureUnit != temperature || all_.viscosityUnit != viscosity ||
        all_.summarised > store_.Size()) {
        all_ = AllReadings{store_.Generation(), limits, temperature, viscosity, 0, {}};
    }
    store_.SummariseInto(all_.summary, all_.summarised, store_.Size(), limits, temperature,
                         viscosity);
    all_.summarised = store_.Size();
    return all_.summary;
}

void FormTrend::LimitsChanged() {
    plot_->SetLimits({low_->Limit(), high_->Limit()});
    const auto settings = UserSettings();
    const auto store = [&](const char* key, std::optional<double> limit) {
        if (limit) {
            settings->setValue(QString::fromLatin1(key), *limit);
        } else {
            settings->remove(QString::fromLatin1(key));
        }
    };
    store("lowLimit", low_->Limit());
    store("highLimit", high_->Limit());
    viewChanged_ = true;
    if (isVisible()) {
        Refresh();
    }
}

QString FormTrend::TableText() const {
    StatisticsCells cells;
    for (std::size_t row = 0; row < kTrendSeriesCount; ++row) {
        for (std::size_t column = 0; column < kStatisticsColumns; ++column) {
            cells[row][column] =
                FromQString(table_->item(static_cast<int>(row), static_cast<int>(column))->text());
        }
    }
    return ToQString(StatisticsTsv(cells));
}

void FormTrend::CopyTable() {
    QGuiApplication::clipboard()->setText(TableText());
}

bool FormTrend::SavePicture(const QString& path) {
    if (path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        return plot_->savePdf(path);
    }
    return plot_->savePng(path);
}

void FormTrend::ChooseAndSavePicture() {
    const QString png = QStringLiteral("PNG picture (*.png)");
    const QString pdf = QStringLiteral("PDF document (*.pdf)");
    QString chosen = png;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Picture"), QString(),
                                                png + QStringLiteral(";;") + pdf, &chosen);
    if (path.isEmpty()) {
        return;
    }
    const QString extension = chosen == pdf ? QStringLiteral(".pdf") : QStringLiteral(".png");
    if (!path.endsWith(extension, Qt::CaseInsensitive)) {
        path += extension;
    }
    if (!SavePicture(path)) {
        QMessageBox::critical(this, QStringLiteral("RHEOTRACKPANEL"),
                              QStringLiteral("Cannot save the picture in ") + path);
    }
}

void FormTrend::SaveGeometry() {
    UserSettings()->setValue(QStringLiteral("geometry"), saveGeometry());
}

void FormTrend::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    viewChanged_ = true;
    Refresh();
    Timer1_->start();
}

void FormTrend::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (isVisible()) {
        geometryTimer_->start();
    }
}

void FormTrend::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (isVisible()) {
        geometryTimer_->start();
    }
}

void FormTrend::hideEvent(QHideEvent* event) {
    Timer1_->stop();
    SaveGeometry();
    QWidget::hideEvent(event);
}

}  // namespace rheo
