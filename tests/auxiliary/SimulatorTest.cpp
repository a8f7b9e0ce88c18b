// The instrument simulator: its text and period, and the simulator window writing to a real
// serial link (QtSerialLink on a pseudo-terminal that socat joins to a pipe read here).
// (rheotrack-sim through the program on a real line: the demonstration, auxiliary_demo.)
#include <gtest/gtest.h>

#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <limits>

#include "app/PortMap.h"
#include "app/SettingsStore.h"
#include "app/SimulatorText.h"
#include "auxiliary/FormDebug.h"
#include "platform/posix/FileRegistry.h"
#include "platform/qt/QtSerialLink.h"
#include "platform/qt/QtText.h"
#include "support/Fakes.h"

namespace rheo::test {
namespace {

TEST(SimulatorText, IsTheInstrumentsThreeLines) {
    EXPECT_EQ(SimulatorText("14:05:09", "0.3"),
              "14:05:09   sp: LCP    rpm: 0.3   T: 27.5C\rcP: 00000000\r %: 10.2\r");
}

TEST(SimulatorPeriodMs, IsOneRevolutionRoundedHalfToEven) {
    for (const auto& [rpm, period] : std::vector<std::pair<double, int>>{
             {24000, 2}, {8000, 8}, {7, 8571}, {1e-9, std::numeric_limits<int>::max()}}) {
        EXPECT_EQ(SimulatorPeriodMs(rpm), period) << rpm;  // 2.5 ms gives 2, 7.5 ms gives 8
    }
}

// Written with a point whatever the user's locale; anything else is no speed.
TEST(ParseSpeed, TakesOnlyAPositiveNumberWithAPoint) {
    for (std::string_view bad : {"1,5", "", "fast", "0", "-2", "2 "}) {
        EXPECT_FALSE(ParseSpeed(bad)) << bad;
    }
}

// What the simulator window takes from its typed speed: one byte a character, "?" for one the code
// page lacks, a character beyond the basic plane included.
TEST(QtText, OneByteACharacter) {
    EXPECT_EQ(FromQString(QString::fromUtf8("\u20AC \U0001F600 \u00BA")), "\x80 ? \xBA");
    EXPECT_EQ(ToQString("\x80\xBA\x81"), QString::fromUtf8("\u20AC\u00BA\u0081"));
}

TEST(FormDebug, RunsAtOneRevolutionOfTheChosenSpeedWritingOnlyToAnOpenPort) {
    TempDir dir;
    QProcess socat;
    socat.start("socat", {QString::fromStdString("pty,raw,echo=0,link=" + dir.File("tty")), "-"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(dir.File("tty")); }));
    WriteFile(dir.File("settings"),
              "[Software\\Kavrel\\Quelmar]\n\"Port1\"=\"" + dir.File("tty") + "\"\n");
    FileRegistry registry(dir.File("settings"));
    PortMap ports({{registry, registry.File()}});
    QtSerialLink link(ports.Devices());
    link.SetPortNumber(1);
    FixedClock clock("06/12/2026", "14:05:09");
    FormDebug form(link, clock);
    form.show();
    auto* combo = form.findChild<QComboBox*>("Combo1");
    auto* start = form.findChild<QPushButton*>("Command1");
    auto* stop = form.findChild<QPushButton*>("Command2");
    auto* timer = form.findChild<QTimer*>("Timer1");
    ASSERT_TRUE(combo && start && stop && timer);
    const auto choose = [&](const char* speed) {
        combo->setCurrentIndex(combo->findText(speed));
        start->click();
    };

    start->click();  // no speed chosen: nothing to run at
    EXPECT_FALSE(timer->isActive());
    choose("0.3");
    EXPECT_EQ(timer->interval(), 200000);
    choose("200");
    QTest::qWait(400);  // a tick with the port closed: nothing written, still running
    ASSERT_TRUE(link.Open());
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 300);
    EXPECT_EQ(socat.readAllStandardOutput(), "");
    combo->setCurrentIndex(combo->findText("100"));  // the text changes at once, the period not
    const QByteArray text = QByteArray::fromStdString(SimulatorText("14:05:09", "100"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return socat.bytesAvailable() >= text.size(); }));
    stop->click();
    EXPECT_EQ(std::pair(timer->isActive(), timer->interval()), std::pair(false, 300));
    EXPECT_EQ(socat.readAllStandardOutput().left(text.size()), text);
}

}  // namespace
}  // namespace rheo::test
