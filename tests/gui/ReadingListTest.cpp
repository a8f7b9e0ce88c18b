// The reading list of the monitor window with the real engine behind it: readings fed as
// instrument text, the rows and cells the window then shows, the unit titles, the layout, and
// a picture of the window for the reviewer.
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>

#include "GuiTestSupport.h"
#include "platform/Clock.h"

using namespace rheo;
using namespace rheo::guitest;

class ReadingListTest : public QObject {
    Q_OBJECT

  private:
    // Feeds readings first..last and checks that the list shows the given readings, top to
    // bottom, followed by blank rows up to twenty.
    void FeedAndCheck(TestHost& host, int first, int last, const std::vector<int>& shown);

  private slots:
    void WindowLayoutBeforeAnyReading();
    void RowsFollowTheHistoryThroughWrapping();
    void UnitTitlesFollowTheInstrument();
    void SessionCommandsLeaveTheListAsItWas();
    void PictureOfTheWindowAfter25Readings();
};

void ReadingListTest::FeedAndCheck(TestHost& host, int first, int last,
                                   const std::vector<int>& shown) {
    for (int n = first; n <= last; ++n) {
        QVERIFY(host.form->engine().Feed(NumberedMessage(n)));
    }
    const std::string date = SystemClock().DateText();
    QTreeView* list = host.List();
    QCOMPARE(list->model()->rowCount(), 20);
    for (int row = 0; row < 20; ++row) {
        const QStringList expected =
            row < static_cast<int>(shown.size())
                ? CellsOf(NumberedReading(shown[static_cast<std::size_t>(row)], date))
                : QStringList(9, QString());
        QCOMPARE(RowCells(list, row), expected);
    }
}

void ReadingListTest::WindowLayoutBeforeAnyReading() {
    TestHost host;
    QVERIFY(host.Start());
    FormMonitor& monitor = host.Monitor();
    QVERIFY(monitor.isVisible());
    QCOMPARE(monitor.size(), QSize(560, 352));
    QCOMPARE(monitor.minimumSize(), QSize(560, 352));
    QCOMPARE(monitor.maximumSize(), QSize(560, 352));
    QCOMPARE(monitor.windowTitle(), QStringLiteral("Incoming data - No file selected"));
    QVERIFY(!monitor.windowIcon().isNull());
    // Centred on the screen.
    const QRect screen = monitor.screen()->availableGeometry();
    QVERIFY(qAbs(monitor.geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(monitor.geometry().center().y() - screen.center().y()) <= 1);

    QCOMPARE(monitor.Toolbar1()->geometry(), QRect(0, 0, 560, 47));
    QTreeView* list = host.List();
    QCOMPARE(list->objectName(), QStringLiteral("ListView2"));
    QCOMPARE(list->geometry(), QRect(0, 48, 561, 305));
    QVERIFY(!list->header()->isHidden());
    QCOMPARE(list->selectionMode(), QAbstractItemView::NoSelection);

    const QStringList titles = {"Date",    "Hour",      "Spindle", "RPM", "Temp",
                                "Error T", "Viscosity", "Error V", "%"};
    const QList<int> widths = {53, 40, 33, 20, 47, 33, 87, 40, 20};
    QCOMPARE(list->model()->columnCount(), 9);
    for (int column = 1; column <= 9; ++column) {
        QCOMPARE(ColumnTitle(list, column), titles[column - 1]);
        QCOMPARE(list->header()->sectionSize(column - 1), widths[column - 1]);
    }
    // No rows until the first reading.
    QCOMPARE(list->model()->rowCount(), 0);
}

void ReadingListTest::RowsFollowTheHistoryThroughWrapping() {
    TestHost host;
    QVERIFY(host.Start());
    // One reading: it fills row 1, rows 2 to 20 are blank.
    FeedAndCheck(host, 1, 1, {1});
    // Twenty: slots 0 to 19 in order, no blank row.
    std::vector<int> shown;
    for (int n = 1; n <= 20; ++n) {
        shown.push_back(n);
    }
    FeedAndCheck(host, 2, 20, shown);
    QVERIFY(host.form->History().HistoryWrapped);
    QCOMPARE(int(host.form->History().HistoryIndex), 0);
    // The 21st goes to slot 0 and shows as the last row.
    shown.erase(shown.begin());
    shown.push_back(21);
    FeedAndCheck(host, 21, 21, shown);
    // The 25th: slots 5 to 19, then 0 to 4; the oldest on top, the newest at the bottom.
    shown.clear();
    for (int n = 6; n <= 25; ++n) {
        shown.push_back(n);
    }
    FeedAndCheck(host, 22, 25, shown);
    // The list shows its first rows after every rebuild.
    QCOMPARE(host.List()->verticalScrollBar()->value(), 0);
    QVERIFY(host.List()->selectionModel() == nullptr ||
            !host.List()->selectionModel()->hasSelection());
}

void ReadingListTest::UnitTitlesFollowTheInstrument() {
    TestHost host;
    QVERIFY(host.Start());
    QTreeView* list = host.List();
    QVERIFY(host.form->engine().Feed(NumberedMessage(1, "C", "cP")));
    QCOMPARE(ColumnTitle(list, 5), QString::fromUtf8("Temp [\u00BAC]"));
    QCOMPARE(ColumnTitle(list, 7), QStringLiteral("Viscosity [cP]"));
    const QStringList first = RowCells(list, 0);

    QVERIFY(host.form->engine().Feed(NumberedMessage(2, "F", "mPas")));
    QCOMPARE(ColumnTitle(list, 5), QString::fromUtf8("Temp [\u00BAF]"));
    QCOMPARE(ColumnTitle(list, 7), QStringLiteral("Viscosity [mPas]"));
    // The masculine ordinal, never the degree sign.
    QCOMPARE(ColumnTitle(list, 5).at(6).unicode(), char16_t(0x00BA));
    // The rows keep their texts; the other titles stay.
    QCOMPARE(RowCells(list, 0), first);
    QCOMPARE(ColumnTitle(list, 4), QStringLiteral("RPM"));
    QCOMPARE(ColumnTitle(list, 6), QStringLiteral("Error T"));

    // A message whose temperature is an error word announces no unit: the title stays.
    QVERIFY(host.form->engine().Feed(rheo::test::Message("10:10:10", "100", "Lw")));
    QCOMPARE(ColumnTitle(list, 5), QString::fromUtf8("Temp [\u00BAF]"));
    QCOMPARE(RowCells(list, 2).at(5), QStringLiteral("LOW"));
}

void ReadingListTest::SessionCommandsLeaveTheListAsItWas() {
    TestHost host;
    QVERIFY(host.Start());
    for (int n = 1; n <= 3; ++n) {
        QVERIFY(host.form->engine().Feed(NumberedMessage(n)));
    }
    QList<QStringList> before;
    for (int row = 0; row < 20; ++row) {
        before.append(RowCells(host.List(), row));
    }
    host.dialog.answer = host.dir.File("kept");
    host.Monitor().NuevoArchivo();
    host.Monitor().CerrarArchivo();
    host.Monitor().AbrirArchivo();
    for (int row = 0; row < 20; ++row) {
        QCOMPARE(RowCells(host.List(), row), before[row]);
    }
}

void ReadingListTest::PictureOfTheWindowAfter25Readings() {
    TestHost host;
    QVERIFY(host.Start());
    host.dialog.answer = host.dir.File("run1");
    host.Monitor().NuevoArchivo();
    for (int n = 1; n <= 25; ++n) {
        QVERIFY(host.form->engine().Feed(NumberedMessage(n)));
    }
    // Twenty rows do not fit: the list shows its scroll bar once it has laid itself out.
    QTRY_VERIFY(host.List()->verticalScrollBar()->isVisibleTo(host.List()));
    QDir().mkpath(QStringLiteral(RHEO_ARTEFACTS_DIR));
    const QString file = QStringLiteral(RHEO_ARTEFACTS_DIR "/monitor-25.png");
    const QPixmap picture = host.Monitor().grab();
    QCOMPARE(picture.size() / picture.devicePixelRatio(), QSize(560, 352));
    QVERIFY(picture.save(file));
    qInfo("picture of the window: %s", qPrintable(file));
    // The file got the header and the 25 rows.
    const std::string written = ReadFile(host.dir.File("run1.csv"));
    QCOMPARE(std::count(written.begin(), written.end(), '\n'), 26L);
}

QTEST_MAIN(ReadingListTest)
#include "ReadingListTest.moc"
