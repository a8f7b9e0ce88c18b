// The reading list of the monitor window with the real engine behind it: the layout, the rows
// after readings fed as instrument text, the unit titles, and a picture of the window for the
// reviewer.
#include <QDir>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>

#include "GuiTestSupport.h"

using namespace rheo;
using namespace rheo::test;

void GuiTest::ReadingListThroughWrappingAndUnits() {
    TestHost host;
    QVERIFY(host.Start());
    FormMonitor& monitor = host.Monitor();
    QTreeView* list = host.List();
    const auto title = [&](int column) {
        return list->model()->headerData(column, Qt::Horizontal).toString();
    };

    // Fixed size, centred, the toolbar above the list, nine titled columns of their widths.
    QVERIFY(monitor.isVisible());
    QCOMPARE(monitor.minimumSize(), QSize(560, 352));
    QCOMPARE(monitor.maximumSize(), QSize(560, 352));
    const QPoint offCentre =
        monitor.geometry().center() - monitor.screen()->availableGeometry().center();
    QVERIFY(offCentre.manhattanLength() <= 2);
    QCOMPARE(monitor.windowTitle(), QStringLiteral("Incoming data - No file selected"));
    QCOMPARE(monitor.Toolbar1()->geometry(), QRect(0, 0, 560, 47));
    QCOMPARE(list->geometry(), QRect(0, 48, 561, 305));
    QVERIFY(!list->header()->isHidden());
    const QStringList titles = {"Date",    "Hour",      "Spindle", "RPM", "Temp",
                                "Error T", "Viscosity", "Error V", "%"};
    const int widths[] = {53, 40, 33, 20, 47, 33, 87, 40, 20};
    QCOMPARE(list->model()->columnCount(), 9);
    for (int column = 0; column < 9; ++column) {
        QCOMPARE(title(column), titles[column]);
        QCOMPARE(list->header()->sectionSize(column), widths[column]);
    }

    // No rows before the first reading; from then on twenty: the last twenty readings at most,
    // the oldest on top, then blank rows.
    int fed = 0;
    for (int count : {0, 1, 20, 21, 25}) {
        while (fed < count) {
            QVERIFY(host.Feed(++fed));
        }
        QCOMPARE(list->model()->rowCount(), count == 0 ? 0 : 20);
        const int first = std::max(1, count - 19);
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            const int n = first + row;
            QCOMPARE(RowCells(list, row), n <= count ? NumberedCells(n) : QStringList(9, ""));
        }
        QCOMPARE(list->verticalScrollBar()->value(), 0);
    }

    // All twenty rows fit, the newest reading at the bottom: no scrolling is needed to see it.
    const QRect last = list->visualRect(list->model()->index(19, 0));
    QVERIFY(last.bottom() < list->viewport()->height());
    QVERIFY(!list->verticalScrollBar()->isVisibleTo(list));
    QDir().mkpath(QStringLiteral(RHEO_ARTEFACTS_DIR));
    const QPixmap picture = monitor.grab();
    QCOMPARE(picture.size() / picture.devicePixelRatio(), QSize(560, 352));
    QVERIFY(picture.save(QStringLiteral(RHEO_ARTEFACTS_DIR "/monitor-25.png")));

    // The unit titles follow the instrument, with the masculine ordinal.
    QCOMPARE(title(4), QString::fromUtf8("Temp [\u00BAC]"));
    QCOMPARE(title(6), QStringLiteral("Viscosity [cP]"));
    QVERIFY(host.form->Engine().Feed(NumberedMessage(26, "F", "mPas")));
    QCOMPARE(title(4), QString::fromUtf8("Temp [\u00BAF]"));
    QCOMPARE(title(6), QStringLiteral("Viscosity [mPas]"));

    // The longest value the decoder takes is cut to what a cell shows.
    QVERIFY(host.form->Engine().Feed(
        "10:00:00 sp: LCP rpm: 100 T: 27.5C\rcP: " + std::string(4096, '7') + "\r %: 1\r"));
    QCOMPARE(RowCells(list, 19)[6], QString(259, '7'));
}
