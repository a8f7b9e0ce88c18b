// The trend's core: values as numbers for the plots, the statistics table and the store of
// readings with its reset rules, fed through the real engine.
#include <gtest/gtest.h>

#include "support/Fakes.h"
#include "trend/StatisticsTable.h"
#include "trend/TrendStore.h"

namespace rheo::test {
namespace {

TEST(TrendValues, NumbersWithEitherSeparatorAndNothingForErrorsOrEmptyFields) {
    EXPECT_EQ(ParsePlotValue("27.5", "."), (PlotValue{275, 1}));
    EXPECT_EQ(ParsePlotValue("27,5", ","), (PlotValue{275, 1}));
    EXPECT_EQ(ParsePlotValue("27.5", ","), (PlotValue{275, 1}));  // the point is always one
    EXPECT_EQ(ParsePlotValue("00001250", "."), (PlotValue{1250, 0}));
    EXPECT_EQ(ParsePlotValue("1::25", "::"), (PlotValue{125, 2}));
    EXPECT_DOUBLE_EQ(ParsePlotValue("10,25", ",")->Value(), 10.25);
    for (const char* text : {"", "Lw", "Hih", "---", "--", "LOW", "HIGH", "ERROR", "Out of Range",
                             "2.7.5", "27,5", ".", "1 0", "99999999999", "1.12345678"}) {
        EXPECT_EQ(ParsePlotValue(text, "."), std::nullopt) << text;
    }
    // A value beside an error word is the decoder's stand-in, never a measurement.
    for (const char* error : {"LOW", "HIGH", "ERROR", "Out of Range"}) {
        EXPECT_EQ(ParseMeasuredValue("0", error, "."), std::nullopt) << error;
    }
    EXPECT_EQ(ParseMeasuredValue("27.5", "", "."), (PlotValue{275, 1}));
}

TrendSummary SummaryOf(const std::vector<double>& values, std::uint8_t decimals) {
    TrendSummary summary;
    for (double value : values) {
        summary.series[0].Add(value, decimals);
    }
    return summary;
}

TEST(TrendStatistics, FiguresAgainstHandComputedValues) {
    // 1.0, 2.0, 3.0, 4.0: mean 2.5, SD sqrt(5/3) = 1.29099, CV 51.640 %.
    auto cells = StatisticsTexts(SummaryOf({1.0, 2.0, 3.0, 4.0}, 1), ",");
    EXPECT_EQ(cells[0], (std::array<Text, 6>{"4", "1,0", "4,0", "2,50", "1,29", "51,64"}));
    // None: only the count. One: no SD nor CV. A constant series: SD and CV zero.
    cells = StatisticsTexts(SummaryOf({}, 0), ".");
    EXPECT_EQ(cells[0], (std::array<Text, 6>{"0", "", "", "", "", ""}));
    cells = StatisticsTexts(SummaryOf({1250}, 0), ".");
    EXPECT_EQ(cells[0], (std::array<Text, 6>{"1", "1250", "1250", "1250.0", "", ""}));
    cells = StatisticsTexts(SummaryOf({7.25, 7.25, 7.25}, 2), ".");
    EXPECT_EQ(cells[0], (std::array<Text, 6>{"3", "7.25", "7.25", "7.250", "0.000", "0.000"}));
    // A zero mean has no CV.
    cells = StatisticsTexts(SummaryOf({0, 0}, 0), ".");
    EXPECT_EQ(cells[0][5], "");

    EXPECT_EQ(StatisticsTsv(StatisticsTexts(SummaryOf({1, 3}, 0), ".")),
              "\tn\tMin\tMax\tMean\tSD\tCV %\n"
              "Viscosity\t2\t1\t3\t2.0\t1.4\t70.7\n"
              "Temperature\t0\t\t\t\t\t\n"
              "Torque\t0\t\t\t\t\t\n");
}

struct TrendStoreTest : EngineOnDisk {
    TrendStore store{configuration};
    TrendStoreTest() { engine.Output().AddObserver(store); }
    std::optional<double> ValueAt(TrendSeries series, std::size_t i) const {
        const auto value = store.Value(series, i);
        return value ? std::optional(value->Value()) : std::nullopt;
    }
};

TEST_F(TrendStoreTest, HoldsEveryRecordedReadingWithGapsForErrors) {
    engine.Feed(Message("10:00:00", "100", "27.5C", "cP: 00001250", "10.2"));
    engine.Feed(Message("10:00:01", "100", "Lw", "cP: Out of Range", "5.0"));
    engine.Feed(Message("10:00:02", "100", "27.9C", "cP: 00001300", "--"));
    ASSERT_EQ(store.Size(), 3u);
    EXPECT_EQ(ValueAt(TrendSeries::Viscosity, 0), 1250.0);
    EXPECT_EQ(ValueAt(TrendSeries::Temperature, 0), 27.5);
    EXPECT_EQ(ValueAt(TrendSeries::Torque, 0), 10.2);
    EXPECT_EQ(ValueAt(TrendSeries::Viscosity, 1), std::nullopt);
    EXPECT_EQ(ValueAt(TrendSeries::Temperature, 1), std::nullopt);
    EXPECT_TRUE(store.OutsideTorqueRange(1));
    EXPECT_FALSE(store.OutsideTorqueRange(0));
    EXPECT_LE(store.TimeSeconds(0), store.TimeSeconds(2));

    const TrendSummary summary = store.Summarise(0, store.Size(), {1260.0, std::nullopt});
    EXPECT_EQ(summary.series[0].Count(), 2u);  // the error is not counted, never a zero
    EXPECT_EQ(summary.series[1].Count(), 2u);
    EXPECT_EQ(summary.series[2].Count(), 3u);  // "--" is recorded as 0.0: a torque of 0
    EXPECT_EQ(summary.outsideLimits, 1u);
    EXPECT_EQ(summary.outsideTorqueRange, 2u);
}

TEST_F(TrendStoreTest, AUnitChangeStartsASegmentAndLeavesTheOldUnitOut) {
    engine.Feed(Message("10:00:00", "100", "27.5C"));
    engine.Feed(Message("10:00:01", "100", "27.6C"));
    engine.Feed(Message("10:00:02", "100", "81.7F", "mPas: 1300"));
    ASSERT_EQ(store.Segments().size(), 2u);
    EXPECT_EQ(store.Segments()[1].first, 2u);
    EXPECT_EQ(store.CurrentUnit(TrendSeries::Temperature), "F");
    EXPECT_EQ(store.CurrentUnit(TrendSeries::Viscosity), "mPas");
    const TrendSummary summary = store.Summarise(0, 3, {});
    EXPECT_EQ(summary.series[1].Count(), 1u);
    EXPECT_EQ(summary.leftOut[1], 2u);
    EXPECT_EQ(summary.leftOutUnit[1], "C");
    EXPECT_EQ(summary.leftOut[0], 2u);
    EXPECT_EQ(summary.leftOutUnit[0], "cP");
    EXPECT_EQ(summary.leftOut[2], 0u);
    // A stretch within the old unit's readings: only what is in view counts.
    EXPECT_EQ(store.Summarise(0, 2, {}).leftOut[1], 2u);
    EXPECT_EQ(store.Summarise(2, 3, {}).leftOut[1], 0u);
}

TEST_F(TrendStoreTest, StartsAnewAtEveryNewOrOpenedSessionAndAtClear) {
    engine.Feed(Message());
    engine.Feed(Message());
    const auto generation = store.Generation();
    OpenNewSession(engine, dir.File("run.csv"));
    EXPECT_EQ(store.Size(), 0u);
    EXPECT_NE(store.Generation(), generation);
    engine.Feed(Message());
    ASSERT_TRUE(engine.StartSession(dir.File("run.csv"), SessionStart::Append));
    EXPECT_EQ(store.Size(), 0u);
    engine.Feed(Message());
    engine.Output().EndSession();  // closing keeps the readings
    engine.Feed(Message());
    EXPECT_EQ(store.Size(), 2u);
    store.Clear();
    EXPECT_EQ(store.Size(), 0u);
    EXPECT_TRUE(store.Segments().empty());
    engine.Feed(Message());
    EXPECT_EQ(store.Size(), 1u);
    EXPECT_EQ(store.Segments().size(), 1u);
}

TEST(TrendStoreMemory, AMillionReadingsFitFourteenBytesEach) {
    Configuration configuration;
    TrendStore store(configuration);
    const Reading reading{"05/12/2026", "10:00:00", "LCP", "100", "27.5",
                          "",           "00001250", "",    "10.2"};
    const Text date = "05/12/2026", celsius = "C", centipoise = "cP";
    const auto start = std::chrono::system_clock::now();
    for (int i = 0; i < 1'000'000; ++i) {
        store.ReadingRecorded(
            {reading, date, celsius, centipoise, start + std::chrono::seconds(i)});
    }
    EXPECT_LE(store.BytesHeld(), 14u * 1'000'000u);
    EXPECT_EQ(store.FirstAtOrAfter(store.TimeSeconds(0) + 500'000.0), 500'000u);
}

}  // namespace
}  // namespace rheo::test
