// The splash and about window as a real (offscreen) window, shown modally the way start-up and
// the about command show it, with real timers and synthesized pointer events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>

#include "AuxTestSupport.h"
#include "auxiliary/Splash.h"

namespace rheo::test {
namespace {

// Runs `during` on the shown window from inside its modal loop, then shows it modally;
// returns how long the modal show lasted.
qint64 ShowWithProbe(SplashMode mode, int probeAfterMs,
                     const std::function<void(QDialog&)>& during) {
    QTimer::singleShot(probeAfterMs, Qt::PreciseTimer, [&] {
        auto* splash = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(splash, nullptr);
        ASSERT_EQ(splash->objectName(), "Splash");
        during(*splash);
    });
    // A window that a failed check left open must not hang the tests.
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] {
        if (auto* left = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "the window was still open";
            left->done(QDialog::Rejected);
        }
    });
    safety.start(probeAfterMs + 10000);
    QElapsedTimer clock;
    clock.start();
    Splash::ShowModal(mode);
    return clock.elapsed();
}

QLabel* Child(QDialog& splash, const char* name) {
    return splash.findChild<QLabel*>(QString::fromLatin1(name));
}

QColor Background(QLabel* label) {
    return label->palette().color(QPalette::Window);
}
QColor Foreground(QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

TEST(Splash, StartupModeClosesByItselfAfterThreeSecondsWithCloseHidden) {
    bool checked = false;
    QPointer<QDialog> shown;
    const qint64 elapsed = ShowWithProbe(SplashMode::Startup, 200, [&](QDialog& splash) {
        shown = &splash;
        QLabel* close = Child(splash, "Label5");
        ASSERT_NE(close, nullptr);
        EXPECT_FALSE(close->isVisible());
        // A click where the hidden label is does not end it early.
        QTest::mouseClick(&splash, Qt::LeftButton, {}, QPoint(390, 327));
        EXPECT_TRUE(splash.isVisible());
        EXPECT_EQ(splash.size(), QSize(427, 433));
        EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
        EXPECT_EQ(splash.windowTitle(), "Acerca de...");
        checked = true;
    });
    EXPECT_TRUE(checked);
    EXPECT_GE(elapsed, 2950);
    EXPECT_LT(elapsed, 4500);
    EXPECT_TRUE(shown.isNull());  // closing destroyed it
}

TEST(Splash, AboutModeStaysUntilCloseIsClickedWithItsHoverColours) {
    const QPalette system = QApplication::palette();
    bool checked = false;
    const qint64 elapsed = ShowWithProbe(SplashMode::About, 3500, [&](QDialog& splash) {
        QLabel* close = Child(splash, "Label5");
        ASSERT_NE(close, nullptr);
        EXPECT_TRUE(close->isVisible());
        EXPECT_EQ(close->text(), "   Close  ");
        // Before any movement: the system's window colours.
        EXPECT_EQ(Background(close), system.color(QPalette::Window));
        EXPECT_EQ(Foreground(close), system.color(QPalette::WindowText));

        QTest::mouseMove(close, QPoint(20, 7));
        EXPECT_EQ(Background(close), QColor(0, 0, 0));
        EXPECT_EQ(Foreground(close), QColor(255, 255, 255));
        // Jumping onto another control keeps it inverted...
        QTest::mouseMove(Child(splash, "Label3"), QPoint(10, 5));
        QTest::mouseMove(Child(splash, "Picture2"), QPoint(200, 150));
        EXPECT_EQ(Background(close), QColor(0, 0, 0));
        // ...until the pointer moves over the window's own surface (Shape1 lets it through).
        QTest::mouseMove(&splash, QPoint(200, 395));
        EXPECT_EQ(Background(close), QColor(255, 255, 255));
        EXPECT_EQ(Foreground(close), QColor(0, 0, 0));
        QTest::mouseMove(&splash, QPoint(0, 200));  // the outline at the window's edge
        EXPECT_EQ(Background(close), QColor(255, 255, 255));
        QTest::mouseMove(close, QPoint(5, 5));
        EXPECT_EQ(Background(close), QColor(0, 0, 0));

        EXPECT_TRUE(splash.isVisible());  // 3.5 s and still there
        QTest::keyClick(&splash, Qt::Key_Escape);
        EXPECT_TRUE(splash.isVisible());  // only "Close" ends it
        checked = true;
        QTest::mouseClick(close, Qt::LeftButton);
    });
    EXPECT_TRUE(checked);
    EXPECT_GE(elapsed, 3300);  // the probe ran 3.5 s after it was set, just before the show
    EXPECT_LT(elapsed, 6000);
}

TEST(Splash, ReceptionTimersKeepRunningWhileItIsShown) {
    int ticks = 0;
    QTimer receive;
    receive.setInterval(100);
    QObject::connect(&receive, &QTimer::timeout, [&] { ++ticks; });
    receive.start();
    Splash::ShowModal(SplashMode::Startup);
    EXPECT_GE(ticks, 20);  // 3 s of a 100 ms timer, with room for a slow machine
}

TEST(Splash, ShowsItsOwnPicturesInTheirPlaces) {
    Splash splash;
    ASSERT_NE(Child(splash, "Picture2"), nullptr);
    EXPECT_EQ(Child(splash, "Picture2")->pixmap().size(), QSize(425, 306));
    EXPECT_EQ(Child(splash, "Picture2")->geometry(), QRect(1, 1, 425, 306));
    EXPECT_EQ(Child(splash, "Picture1")->pixmap().size(), QSize(69, 14));
    EXPECT_EQ(Child(splash, "Picture1")->geometry(), QRect(344, 408, 69, 14));
    const QCursor cursor = Child(splash, "Picture1")->cursor();
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32));
    EXPECT_FALSE(splash.windowIcon().isNull());
    EXPECT_EQ(splash.windowIcon().availableSizes().value(0), QSize(16, 16));

    EXPECT_EQ(Child(splash, "Label6")->text().count('\n'), 1);  // the copyright's two lines
    auto* timer = splash.findChild<QTimer*>("Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 3000);
    EXPECT_TRUE(timer->isActive());  // enabled from creation, as the window is made
    splash.SetMode(SplashMode::About);
    EXPECT_FALSE(timer->isActive());

    // The outline is drawn in RGB(0, 0, 192) around the whole window.
    QWidget* shape = splash.findChild<QWidget*>("Shape1");
    ASSERT_NE(shape, nullptr);
    const QImage image = splash.grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 200), QColor(0, 0, 192));
    EXPECT_EQ(image.pixelColor(426, 432), QColor(0, 0, 192));
    EXPECT_EQ(image.pixelColor(213, 0), QColor(0, 0, 192));
}

TEST(Splash, TheLinkOpensTheWebPageAndTheStartupSplashStillClosesOnTime) {
    struct Shell : DesktopShell {
        int FindExecutable(const std::string&) override { return 33; }
        bool Open(const std::string& target, bool) override {
            opened.push_back(target);
            return true;
        }
        std::vector<std::string> opened;
    } shell;
    ScriptedBoxes boxes;
    TempDir program;
    Splash::SetWebLink(&shell, &boxes, program.Path().string());
    const qint64 elapsed = ShowWithProbe(SplashMode::Startup, 500, [&](QDialog& splash) {
        QTest::mouseClick(Child(splash, "Picture1"), Qt::LeftButton);
    });
    Splash::SetWebLink(nullptr, nullptr);
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], "www.kavrel.example");
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(program.File("TempHTM.htm")));
    EXPECT_GE(elapsed, 2950);
    EXPECT_LT(elapsed, 4500);
}

}  // namespace
}  // namespace rheo::test
