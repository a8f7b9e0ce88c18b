// The instrument simulator: its text and period, the simulator window writing to a real serial
// link (QtSerialLink on a pseudo-terminal that socat joins to a pipe read here) and
// rheotrack-sim as a real process, with what they write decoded by the engine.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <limits>

#include "app/Engine.h"
#include "app/SettingsStore.h"
#include "app/SimulatorText.h"
#include "auxiliary/FormDebug.h"
#include "core/TestSupport.h"
#include "platform/LiveSessionFile.h"
#include "platform/posix/FileRegistry.h"
#include "platform/qt/QtSerialLink.h"

namespace rheo::test {
namespace {

// The readings the engine makes of the bytes on 06/12/2026.
std::vector<Reading> Decode(const std::string& bytes) {
    const Configuration configuration;
    FixedClock clock("06/12/2026", "23:59:59");
    RecordingLogger log;
    LiveSessionFile file;
    RecordingView view;
    ScriptedBoxes boxes;
    Engine engine(configuration, clock, log, file, view, boxes);
    engine.Feed(bytes);
    const ReadingHistory& history = engine.Output().History();
    return {history.ReadingSlots.begin(), history.ReadingSlots.begin() + history.HistoryIndex};
}

// The reading of the simulator's text written at 14:05:09.
Reading Simulated(const std::string& rpm) {
    return {"06/12/2026", "14:05:09", "LCP", rpm, "27.5", "", "00000000", "", "10.2"};
}

TEST(SimulatorText, IsThreeLinesAndThePeriodOneRevolutionRoundedHalfToEven) {
    EXPECT_EQ(SimulatorText("14:05:09", "0.3"),
              "14:05:09   sp: LCP    rpm: 0.3   T: 27.5C\rcP: 00000000\r %: 10.2\r");
    for (const auto& [rpm, period] : std::vector<std::pair<double, int>>{
             {24000, 2}, {8000, 8}, {7, 8571}, {1e-9, std::numeric_limits<int>::max()}}) {
        EXPECT_EQ(SimulatorPeriodMs(rpm), period) << rpm;  // 2.5 ms gives 2, 7.5 ms gives 8
    }
    for (std::string_view speed : kSimulatorSpeeds) {
        const int period = SimulatorPeriodMs(ParseSpeed(speed).value_or(-1));
        EXPECT_TRUE(period >= 300 && period <= 200000) << speed;
    }
    // Written with a point whatever the user's locale; anything else is no speed.
    for (std::string_view bad : {"1,5", "", "fast", "0", "-2", "2 "}) {
        EXPECT_FALSE(ParseSpeed(bad)) << bad;
    }
}

TEST(RheotrackSim, WritesTheTextOnePeriodApartAndItDecodesIntoReadings) {
    QElapsedTimer clock;
    clock.start();
    QProcess sim;
    sim.start(RHEO_SIM_TOOL, {"--count", "3", "--rpm", "200", "--time", "14:05:09"});
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_GE(clock.elapsed(), 890);  // 300 ms per message, the first one period after the start
    EXPECT_EQ(sim.exitCode(), 0);
    const std::string out = sim.readAllStandardOutput().toStdString();
    EXPECT_EQ(out, SimulatorText("14:05:09", "200") + SimulatorText("14:05:09", "200") +
                       SimulatorText("14:05:09", "200"));
    EXPECT_EQ(Decode(out), std::vector<Reading>(3, Simulated("200")));
}

class FormDebugTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Port 1 is a pseudo-terminal whose other end socat copies to its standard output.
        const std::string device = dir_.File("device");
        socat_.start("socat", {QString::fromStdString("pty,raw,echo=0,link=" + device), "-"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(device); }));
        WriteFile(dir_.File("settings"),
                  "[Software\\Kavrel\\Quelmar]\n\"Port1\"=\"" + device + "\"\n");
        link_.SetPortNumber(1);
        ASSERT_TRUE(link_.Open() && combo_ && start_ && stop_ && timer_);
        form_.show();
    }
    void TearDown() override {
        socat_.terminate();
        socat_.waitForFinished();
    }
    void Choose(const QString& speed) { combo_->setCurrentIndex(combo_->findText(speed)); }
    void Start() {
        since_.start();
        start_->click();
    }
    std::string Drain() { return socat_.readAllStandardOutput().toStdString(); }
    // Collects what arrives until it holds that many messages: the time from the last Start
    // at which they were complete, or -1 on a time-out.
    qint64 Receive(int messages) {
        const bool done = QTest::qWaitFor([&] {
            received_ += Drain();
            return std::count(received_.begin(), received_.end(), '\r') >= 3 * messages;
        });
        return done ? since_.elapsed() : -1;
    }

    TempDir dir_;
    QProcess socat_;
    FileRegistry registry_{dir_.File("settings")};
    QtSerialLink link_{MappedDevices(registry_)};
    FixedClock clock_{"06/12/2026", "14:05:09"};
    FormDebug form_{link_, clock_};
    QComboBox* combo_ = form_.findChild<QComboBox*>("Combo1");
    QPushButton* start_ = form_.findChild<QPushButton*>("Command1");
    QPushButton* stop_ = form_.findChild<QPushButton*>("Command2");
    QTimer* timer_ = form_.findChild<QTimer*>("Timer1");
    QElapsedTimer since_;
    std::string received_;
};

TEST_F(FormDebugTest, StartRunsAtOneRevolutionOfTheSpeedAndTicksWithoutAPortWriteNothing) {
    link_.Close();
    Start();  // no speed chosen: nothing to run at
    EXPECT_FALSE(timer_->isActive());
    for (const auto& [speed, period] :
         std::vector<std::pair<QString, int>>{{"0.3", 200000}, {"1.5", 40000}, {"200", 300}}) {
        Choose(speed);
        Start();
        EXPECT_EQ(timer_->isActive() ? timer_->interval() : 0, period) << speed.toStdString();
    }
    QTest::qWait(700);  // two ticks with the port closed: nothing written, still running
    ASSERT_TRUE(link_.Open());
    EXPECT_EQ(Drain(), "");
    EXPECT_GE(Receive(1), 0);
}

TEST_F(FormDebugTest, TicksComeOnePeriodAfterStartAndDecodeIntoTheReading) {
    Choose("100");  // 600 ms
    Start();
    QTest::qWait(150);
    EXPECT_EQ(Drain(), "");  // nothing at the press
    const qint64 first = Receive(1);
    EXPECT_GE(first, 580);
    Choose("200");  // the text changes at once, the period only with the next Start
    EXPECT_GE(Receive(2) - first, 500);
    EXPECT_EQ(timer_->interval(), 600);

    QTest::qWait(400);  // stopped in the middle of a period...
    stop_->click();
    QTest::qWait(400);
    EXPECT_EQ(Drain(), "");
    Start();  // ...and started again: a whole new period of 300 ms to the next text
    EXPECT_GE(Receive(3), 280);

    const std::string at200 = SimulatorText("14:05:09", "200");
    EXPECT_EQ(received_, SimulatorText("14:05:09", "100") + at200 + at200);
    EXPECT_EQ(Decode(received_),
              (std::vector<Reading>{Simulated("100"), Simulated("200"), Simulated("200")}));
}

}  // namespace
}  // namespace rheo::test
