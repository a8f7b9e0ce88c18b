// The reading list of the monitor window with the real engine behind it: the layout, the rows
// after readings fed as instrument text, the unit titles, and a picture of the window for the
// reviewer.
#include <QDir>
#include <QFontInfo>
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

// The widest date, hour, speed and torque are drawn whole at the list's narrow widths: each
// text's advance in the list's face is within its column less the cell's two text margins.
void GuiTest::ValuesShowWholeInTheirColumns() {
    TestHost host;
    QVERIFY(host.Start());
    QTreeView* list = host.List();
    QVERIFY(host.form->Engine().Feed(Message("00:34:12", "200", "27.5C", "cP: 00001250", "100")));
    // The face the Debian package depends on, not a wider one put in its place.
    QCOMPARE(QFontInfo(list->font()).family(), QStringLiteral("Liberation Sans Narrow"));
    const QFontMetrics metrics(list->font());
    const int margins =
        2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
    const std::pair<int, QString> widest[] = {
        {0, "07/12/2026"}, {1, "00:34:12"}, {3, "200"}, {8, "100.0"}};
    for (const auto& [column, text] : widest) {
        const int room = list->header()->sectionSize(column) - margins;
        QVERIFY2(metrics.horizontalAdvance(text) <= room,
                 qPrintable(QStringLiteral("%1: %2 > %3")
                                .arg(text)
                                .arg(metrics.horizontalAdvance(text))
                                .arg(room)));
    }
    QCOMPARE(RowCells(list, 0).mid(1, 3), (QStringList{"00:34:12", "LCP", "200"}));
    QDir().mkpath(QStringLiteral(RHEO_ARTEFACTS_DIR));
    QVERIFY(list->grab().save(QStringLiteral(RHEO_ARTEFACTS_DIR "/reading-list-values.png")));
}
