// The trend window with the real engine behind it: opened once by its button and its menu item,
// the readings reaching the plots and the statistics table (as a screen reader reads it), Ctrl+C,
// a change of unit, the limits kept for the user, Clear and a new session starting anew.
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QClipboard>
#include <QToolButton>

#include "GuiTestSupport.h"
#include "monitor/FormTrend.h"

using namespace rheo;
using namespace rheo::test;

namespace {

QString Cell(QTableWidget* table, int row, int column) {
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(table);
    QAccessibleInterface* cell = access->tableInterface()->cellAt(row, column);
    return cell == nullptr ? QStringLiteral("<none>") : cell->text(QAccessible::Name);
}

}  // namespace

void GuiTest::TrendWindowFollowsTheEngine() {
    TestHost host;
    QVERIFY(host.form->Start());
    FormMonitor& monitor = host.Monitor();
    host.Feed(1);  // before the window is opened: held all the same

    QTest::mouseClick(monitor.Toolbar1()->findChild<QToolButton*>("BTrend"), Qt::LeftButton);
    monitor.MArch()->MArchTrend->trigger();
    auto* trend = qobject_cast<FormTrend*>(host.form->TrendWindow());
    QVERIFY(trend != nullptr);
    QVERIFY(trend->isVisible());
    QCOMPARE(std::ranges::count(QApplication::topLevelWidgets(), QStringLiteral("FormTrend"),
                                &QWidget::objectName),
             1);
    QCOMPARE(trend->windowTitle(), QStringLiteral("Trend - No file selected"));
    QCOMPARE(monitor.Toolbar1()->findChild<QToolButton*>("BTrend")->toolTip(),
             QStringLiteral("Show the trend of the readings"));
    // Added after the nine items, which keep their positions; a separator before it.
    QString keys;
    for (int position = 1; position <= MonitorToolbar::kItems; ++position) {
        QToolButton* button = monitor.Toolbar1()->Button(position);
        keys += (button ? button->objectName() : QStringLiteral("-")) + ' ';
    }
    QCOMPARE(keys, QStringLiteral("BNuevo BAbrir BCerrar - BLog - BPort - BAbout - BTrend "));

    host.Feed(2);
    host.Feed(3);
    trend->Refresh();
    TrendPlot* plot = trend->Plot();
    QCOMPARE(plot->Curve(TrendSeries::Viscosity)->data()->size(), 3);
    QCOMPARE(plot->Curve(TrendSeries::Torque)->data()->at(2)->value, 13.3);
    QTableWidget* table = trend->StatisticsTable();
    const QStringList viscosity = {"3", "1037", "1111", "1074.0", "37.0", "3.4"};
    for (int column = 0; column < 6; ++column) {
        QCOMPARE(Cell(table, 0, column), viscosity[column]);
    }
    QCOMPARE(trend->findChild<QLabel*>("Scope")->text(), QStringLiteral("All readings"));
    QCOMPARE(trend->findChild<QLabel*>("OutsideTorque")->text(),
             QStringLiteral("Outside 10-100 % torque: 0"));

    QApplication::clipboard()->clear();
    QApplication::setActiveWindow(trend);
    QTest::keyClick(trend, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text().section('\n', 0, 1),
             QStringLiteral(
                 "\tn\tMin\tMax\tMean\tSD\tCV %\nViscosity\t3\t1037\t1111\t1074.0\t37.0\t3.4"));

    // A change of unit: the axis says so, the earlier unit is left out and counted.
    host.form->Engine().Feed(NumberedMessage(4, "F", "mPas"));
    trend->Refresh();
    const QString temperatureAxis =
        plot->Rect(TrendSeries::Temperature)->axis(QCPAxis::atLeft)->label();
    QVERIFY2(temperatureAxis.startsWith(QStringLiteral("Temperature [\u00baF]\n(\u00baC before ")),
             qPrintable(temperatureAxis));
    QCOMPARE(Cell(table, 1, 0), QStringLiteral("1"));
    QCOMPARE(trend->findChild<QLabel*>("LeftOut")->text(),
             QStringLiteral("3 readings in mPas left out; 3 readings in \u00baC left out")
                 .replace("mPas", "cP"));

    // Limits: readings outside are counted and drawn apart; the limits stay the user's.
    trend->LowLimit()->setValue(1200.0);
    trend->Refresh();
    QCOMPARE(trend->findChild<QLabel*>("OutsideLimits")->text(),
             QStringLiteral("Outside limits: 1"));
    QCOMPARE(plot->OutsideLimits()->data()->size(), 4);
    trend->LowLimit()->selectAll();  // emptied as the user empties it
    QTest::keyClick(trend->LowLimit(), Qt::Key_Delete);
    QTest::keyClick(trend->LowLimit(), Qt::Key_Return);
    trend->HighLimit()->setValue(1100.0);
    QCOMPARE(trend->LowLimit()->Limit(), std::nullopt);
    trend->resize(900, 600);
    trend->hide();
    {
        FormTrend again(host.form->Trend(), Configuration{});
        QCOMPARE(again.LowLimit()->Limit(), std::nullopt);
        QCOMPARE(again.HighLimit()->Limit(), std::optional(1100.0));
        QCOMPARE(again.size(), QSize(900, 600));
    }
    trend->show();

    // The picture, kept; then Clear and a new session each start the trend anew.
    QDir().mkpath(RHEO_ARTEFACTS_DIR);
    QVERIFY(trend->SavePicture(RHEO_ARTEFACTS_DIR "/trend-window.png"));
    QVERIFY(trend->SavePicture(RHEO_ARTEFACTS_DIR "/trend-window.pdf"));
    QTest::mouseClick(trend->findChild<QPushButton*>("Clear"), Qt::LeftButton);
    QCOMPARE(plot->Curve(TrendSeries::Viscosity)->data()->size(), 0);
    host.Feed(5);
    host.dialog.answer = host.dir.File("run.csv");
    monitor.NuevoArchivo();
    trend->Refresh();
    QCOMPARE(plot->Curve(TrendSeries::Viscosity)->data()->size(), 0);
    QCOMPARE(trend->windowTitle(), QString::fromStdString("Trend - " + host.dir.File("run.csv")));

    // Zoomed to the newest two readings: the table covers them; Follow keeps the width on the
    // newest reading; Reset view shows all again.
    for (int n = 6; n <= 8; ++n) {
        QTest::qWait(30);
        host.Feed(n);
    }
    trend->Refresh();
    const TrendStore& store = host.form->Trend();
    QCPAxis* time = plot->Rect(TrendSeries::Torque)->axis(QCPAxis::atBottom);
    time->setRange(store.TimeSeconds(1) - 0.005, store.TimeSeconds(2) + 0.005);  // as a drag
    trend->Refresh();
    QVERIFY(trend->findChild<QLabel*>("Scope")->text().startsWith("In view: "));
    QCOMPARE(Cell(table, 0, 0), QStringLiteral("2"));
    const double width = plot->TimeRange().size();
    QTest::qWait(30);
    host.Feed(9);
    trend->Refresh();
    QVERIFY(plot->TimeRange().contains(store.TimeSeconds(3)));
    QVERIFY(!plot->TimeRange().contains(store.TimeSeconds(1)));
    QCOMPARE(plot->TimeRange().size(), width);
    QTest::mouseClick(trend->findChild<QPushButton*>("ResetView"), Qt::LeftButton);
    QCOMPARE(trend->findChild<QLabel*>("Scope")->text(), QStringLiteral("All readings"));
    QCOMPARE(Cell(table, 0, 0), QStringLiteral("4"));
}
