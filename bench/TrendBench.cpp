// The trend window at its default size on Qt's offscreen platform: a replot of 100,000 and
// 1,000,000 readings, the redraw tick with one new reading, and the memory a reading takes in
// the store and in the plots.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "monitor/FormTrend.h"
#include "trend/TrendStore.h"

namespace {

using namespace rheo;

// A reading a second: a viscosity drifting and wavering around 1250 cP, a warming sample and a
// torque that one reading in fifty has below the accurate range.
class Readings {
  public:
    void Add(TrendStore& store) {
        const double t = static_cast<double>(n_);
        char viscosity[16], temperature[16], torque[16];
        std::snprintf(viscosity, sizeof viscosity, "%08d",
                      static_cast<int>(1250 + 80 * std::sin(t / 900.0) + (n_ * 7919 % 41) - 20));
        std::snprintf(temperature, sizeof temperature, "%.1f", 25.0 + 5.0 * std::sin(t / 5000.0));
        std::snprintf(torque, sizeof torque, "%.1f",
                      n_ % 50 == 0 ? 8.0 : 55.0 + 40.0 * std::sin(t / 300.0));
        reading_.Viscosity = viscosity;
        reading_.Temperature = temperature;
        reading_.Torque = torque;
        store.ReadingRecorded(
            {reading_, date_, celsius_, centipoise_, start_ + std::chrono::seconds(n_++)});
    }

  private:
    Reading reading_{"05/12/2026", "10:00:00", "LCP", "100", "", "", "", "", ""};
    Text date_ = "05/12/2026", celsius_ = "C", centipoise_ = "cP";
    std::chrono::system_clock::time_point start_ = std::chrono::system_clock::now();
    long n_ = 0;
};

std::size_t HeapInUse() {
    return mallinfo2().uordblks;
}

// The window open and drawn while empty, then given `count` readings: what they take in the
// store alone and with the plots, beyond the empty trend.
struct OpenTrend {
    explicit OpenTrend(std::int64_t count) {
        window = std::make_unique<FormTrend>(store, configuration);
        window->show();
        window->Refresh();
        const std::size_t empty = HeapInUse();
        for (std::int64_t i = 0; i < count; ++i) {
            readings.Add(store);
        }
        storeBytes = HeapInUse() - empty;
        window->Refresh();
        totalBytes = HeapInUse() - empty;
    }
    Configuration configuration;
    TrendStore store{configuration};
    Readings readings;
    std::unique_ptr<FormTrend> window;
    std::size_t storeBytes = 0;
    std::size_t totalBytes = 0;
};

void BM_TrendReplot(benchmark::State& state) {
    OpenTrend trend(state.range(0));
    for (auto _ : state) {
        trend.window->Plot()->replot();
    }
    const auto n = static_cast<double>(state.range(0));
    state.counters["store_B_per_reading"] = static_cast<double>(trend.storeBytes) / n;
    state.counters["with_plots_B_per_reading"] = static_cast<double>(trend.totalBytes) / n;
}
BENCHMARK(BM_TrendReplot)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// One tick of the open window with a new reading: the curves, the statistics table of all the
// readings and the replot.
void BM_TrendTickWithNewReading(benchmark::State& state) {
    OpenTrend trend(state.range(0));
    for (auto _ : state) {
        trend.readings.Add(trend.store);
        trend.window->Refresh();
    }
}
BENCHMARK(BM_TrendTickWithNewReading)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
