// The reading list of the monitor window with the real engine behind it: the layout, the rows
// after readings fed as instrument text, the unit titles, and values drawn whole.
#include <QDir>
#include <QFontInfo>
#include <QHeaderView>
#include <QScreen>
#include <algorithm>

#include "GuiTestSupport.h"

using namespace rheo;
using namespace rheo::test;

static QString Columns(const QTreeView* list) {
    QStringList columns;
    for (int column = 0; column < list->model()->columnCount(); ++column) {
        columns.append(list->model()->headerData(column, Qt::Horizontal).toString() + " " +
                       QString::number(list->header()->sectionSize(column)));
    }
    return columns.join(", ");
}

void GuiTest::ReadingListThroughWrappingAndUnits() {
    TestHost host;
    QVERIFY(host.form->Start());
    FormMonitor& monitor = host.Monitor();
    QTreeView* list = host.List();
    QCOMPARE(
        (QVariantList{monitor.minimumSize(), monitor.maximumSize(), monitor.Toolbar1()->geometry(),
                      list->geometry(), list->header()->isHidden()}),
        (QVariantList{QSize(560, 352), QSize(560, 352), QRect(0, 0, 560, 47),
                      QRect(0, 48, 561, 305), false}));
    QVERIFY((monitor.geometry().center() - monitor.screen()->availableGeometry().center())
                .manhattanLength() <= 2);
    QCOMPARE(Columns(list),
             "Date 53, Hour 40, Spindle 33, RPM 20, Temp 47, Error T 33, "
             "Viscosity 87, Error V 40, % 20");

    // No rows before the first reading; from then on twenty: the last twenty readings at most,
    // the oldest on top, then blank rows; all twenty seen without scrolling.
    int fed = 0;
    for (int count : {0, 1, 20, 21, 25}) {
        while (fed < count) {
            QVERIFY(host.Feed(++fed));
        }
        QCOMPARE(list->model()->rowCount(), count == 0 ? 0 : 20);
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            const int n = std::max(1, count - 19) + row;
            QCOMPARE(RowCells(list, row), n <= count ? NumberedCells(n) : QStringList(9, ""));
        }
    }
    QVERIFY(list->visualRect(list->model()->index(19, 0)).bottom() < list->viewport()->height());

    // The unit titles follow the instrument, with the masculine ordinal; the longest value the
    // decoder takes is cut to what a cell shows.
    QVERIFY(host.form->Engine().Feed(NumberedMessage(26, "F", "mPas")));
    QVERIFY(Columns(list).contains(
        QString::fromUtf8("Temp [\u00BAF] 47, Error T 33, Viscosity [mPas] 87")));
    QVERIFY(host.form->Engine().Feed(
        "10:00:00 sp: LCP rpm: 100 T: 27.5C\rcP: " + std::string(4096, '7') + "\r %: 1\r"));
    QCOMPARE(RowCells(list, 19)[6], QString(259, '7'));
}

// The widest date, hour, speed and torque are drawn whole at the list's narrow widths: each
// text's advance in the list's face is within its column less the cell's two text margins.
void GuiTest::ValuesShowWholeInTheirColumns() {
    TestHost host;
    QVERIFY(host.form->Start());
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
        QVERIFY2(metrics.horizontalAdvance(text) <= room, qPrintable(text));
    }
    QCOMPARE(RowCells(list, 0).mid(1, 3), (QStringList{"00:34:12", "LCP", "200"}));
    QDir().mkpath(QStringLiteral(RHEO_ARTEFACTS_DIR));
    QVERIFY(list->grab().save(QStringLiteral(RHEO_ARTEFACTS_DIR "/reading-list-values.png")));
}
