// The instrument simulator window writing to a real serial link: QtSerialLink on one end of a
// socat pseudo-terminal pair, what it writes read back at the other end and decoded by the
// engine.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "AuxTestSupport.h"
#include "app/Engine.h"
#include "app/SimulatorText.h"
#include "auxiliary/FormDebug.h"
#include "platform/LiveSessionFile.h"
#include "platform/posix/FileRegistry.h"
#include "platform/qt/QtSerialLink.h"

namespace rheo::test {
namespace {

class FormDebugTest : public ::testing::Test {
  protected:
    FormDebugTest()
        : environment_({{"XDG_CONFIG_DIRS", dir_.File("config")}}),
          pty_(dir_),
          link_(registry_),
          clock_("06/12/2026", "14:05:09"),
          form_(link_, clock_) {
        // Port 1 is the program's end of the pair, as a user's settings would map it.
        std::filesystem::create_directories(dir_.File("config/rheotrackpanel"));
        WriteFile(dir_.File("config/rheotrackpanel/settings"),
                  "[Software\\Kavrel\\Quelmar]\n\"Port1\"=\"" + pty_.Device() + "\"\n");
        link_.SetPortNumber(1);
        combo_ = form_.findChild<QComboBox*>("Combo1");
        start_ = form_.findChild<QPushButton*>("Command1");
        stop_ = form_.findChild<QPushButton*>("Command2");
        timer_ = form_.findChild<QTimer*>("Timer1");
    }

    void SetUp() override {
        ASSERT_TRUE(pty_.Ready());
        ASSERT_TRUE(link_.Open());
        ASSERT_TRUE(combo_ && start_ && stop_ && timer_);
        form_.show();
    }

    void Choose(const QString& speed) {
        const int index = combo_->findText(speed);
        ASSERT_GE(index, 0) << speed.toStdString();
        combo_->setCurrentIndex(index);
    }

    // Collects what arrives until it holds `messages` complete messages; the time from `since`
    // at which the last one was complete, or -1 on a time-out.
    qint64 ReceiveMessages(int messages, const QElapsedTimer& since, int timeoutMs = 3000) {
        qint64 at = -1;
        WaitUntil(
            [&] {
                received_ += pty_.Drain();
                if (std::count(received_.begin(), received_.end(), '\r') >= 3 * messages) {
                    at = since.elapsed();
                    return true;
                }
                return false;
            },
            timeoutMs);
        return at;
    }

    // The readings the engine makes of the bytes.
    static std::vector<Reading> Decode(const std::string& bytes,
                                       const Configuration& configuration) {
        FixedClock clock("06/12/2026", "23:59:59");
        RecordingLogger log;
        LiveSessionFile file;
        RecordingView view;
        ScriptedBoxes boxes;
        Engine engine(configuration, clock, log, file, view, boxes);
        engine.Feed(bytes);
        const ReadingHistory& history = engine.output().History();
        return {history.ReadingSlots.begin(), history.ReadingSlots.begin() + history.HistoryIndex};
    }

    TempDir dir_;
    ScopedEnvironment environment_;
    PtyPair pty_;
    FileRegistry registry_;
    QtSerialLink link_;
    FixedClock clock_;
    FormDebug form_;
    QComboBox* combo_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QTimer* timer_ = nullptr;
    std::string received_;
};

QWidget* NextTabStop(QWidget* widget) {
    QWidget* next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus)) {
        next = next->nextInFocusChain();
    }
    return next;
}

TEST_F(FormDebugTest, OpensStoppedWithTheNineteenSpeedsAndNoneChosen) {
    EXPECT_EQ(form_.windowTitle(), QString::fromUtf8("Simulaci\u00F3n de Viscos\u00EDmetro"));
    EXPECT_EQ(form_.size(), QSize(312, 213));
    ASSERT_EQ(combo_->count(), 19);
    EXPECT_EQ(combo_->itemText(0), "0.3");
    EXPECT_EQ(combo_->itemText(18), "200");
    EXPECT_FALSE(combo_->isEditable());
    EXPECT_EQ(combo_->currentIndex(), -1);
    EXPECT_EQ(start_->text(), "Start");
    EXPECT_EQ(stop_->text(), "Stop");
    EXPECT_EQ(NextTabStop(combo_), start_);
    EXPECT_EQ(NextTabStop(start_), stop_);
    EXPECT_FALSE(timer_->isActive());

    start_->click();  // no speed chosen: nothing to run at
    EXPECT_FALSE(timer_->isActive());
    Wait(400);
    EXPECT_EQ(pty_.Drain(), "");
}

TEST_F(FormDebugTest, StartGivesTheTimerOneRevolutionOfTheChosenSpeed) {
    for (const auto& [speed, period] :
         std::vector<std::pair<QString, int>>{{"0.3", 200000}, {"1.5", 40000}, {"200", 300}}) {
        Choose(speed);
        start_->click();
        EXPECT_TRUE(timer_->isActive()) << speed.toStdString();
        EXPECT_EQ(timer_->interval(), period) << speed.toStdString();
    }
    stop_->click();
    EXPECT_FALSE(timer_->isActive());
}

TEST_F(FormDebugTest, TheFirstTextGoesOutOnePeriodAfterStartAndDecodesToTheReading) {
    Choose("200");
    QElapsedTimer since;
    since.start();
    start_->click();
    Wait(150);
    EXPECT_EQ(pty_.Drain(), "");  // nothing at the press
    const qint64 first = ReceiveMessages(1, since);
    ASSERT_GE(first, 0);
    EXPECT_GE(first, 280);
    EXPECT_LT(first, 900);
    ASSERT_GE(ReceiveMessages(3, since), 0);
    stop_->click();

    const std::string one = SimulatorText("14:05:09", "200");
    EXPECT_EQ(received_.substr(0, one.size()), one);
    EXPECT_EQ(received_.find('\n'), std::string::npos);

    Reading expected;
    expected.Date = "06/12/2026";
    expected.Hour = "14:05:09";
    expected.Spindle = "LCP";
    expected.Rpm = "200";
    expected.Temperature = "27.5";
    expected.Viscosity = "00000000";
    expected.Torque = "10.2";
    const std::vector<Reading> readings = Decode(received_, Configuration{});
    ASSERT_EQ(readings.size(), 3u);
    for (const Reading& reading : readings) {
        EXPECT_EQ(reading, expected);
    }
    Configuration comma;
    comma.DecimalSeparator = ",";
    const std::vector<Reading> withComma = Decode(received_, comma);
    ASSERT_EQ(withComma.size(), 3u);
    EXPECT_EQ(withComma[0].Temperature, "27,5");
    EXPECT_EQ(withComma[0].Torque, "10,2");
    EXPECT_EQ(withComma[0].Rpm, "200");
}

TEST_F(FormDebugTest, StopThenStartRestartsTheCountWithTheNewSpeed) {
    Choose("200");
    start_->click();
    Wait(200);
    stop_->click();
    Wait(400);  // past the tick that was due at 300 ms
    EXPECT_EQ(pty_.Drain(), "");

    Choose("100");  // 600 ms
    QElapsedTimer since;
    since.start();
    start_->click();
    const qint64 first = ReceiveMessages(1, since);
    ASSERT_GE(first, 0);
    EXPECT_GE(first, 580);
    EXPECT_NE(received_.find("rpm: 100   T:"), std::string::npos);
}

TEST_F(FormDebugTest, ASpeedChosenWhileRunningChangesTheTextButNotThePeriod) {
    Choose("100");  // 600 ms
    QElapsedTimer since;
    since.start();
    start_->click();
    const qint64 first = ReceiveMessages(1, since);
    ASSERT_GE(first, 0);
    Choose("200");  // would be 300 ms, but only a new Start applies it
    const qint64 second = ReceiveMessages(2, since);
    ASSERT_GE(second, 0);
    EXPECT_GE(second - first, 500);
    EXPECT_EQ(timer_->interval(), 600);
    const std::vector<Reading> readings = Decode(received_, Configuration{});
    ASSERT_EQ(readings.size(), 2u);
    EXPECT_EQ(readings[0].Rpm, "100");
    EXPECT_EQ(readings[1].Rpm, "200");
}

TEST_F(FormDebugTest, WithoutAnOpenPortTicksWriteNothingAndTheSimulatorKeepsRunning) {
    link_.Close();
    Choose("200");
    start_->click();
    Wait(700);  // two ticks
    EXPECT_TRUE(timer_->isActive());
    ASSERT_TRUE(link_.Open());
    EXPECT_EQ(pty_.Drain(), "");
    QElapsedTimer since;
    since.start();
    EXPECT_GE(ReceiveMessages(1, since), 0);
}

}  // namespace
}  // namespace rheo::test
