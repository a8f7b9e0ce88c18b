// The cost of today's date in the user's format: the decoder takes it twice per message (when
// the time stamp ends and when the reading completes), so it bounds the decoding throughput
// with the program's clock.
#include <benchmark/benchmark.h>

#include "platform/Clock.h"

namespace rheo::bench {
namespace {

void BM_SystemClock_DateText(benchmark::State& state) {
    SystemClock clock;
    for (auto _ : state) {
        Text date = clock.DateText();
        benchmark::DoNotOptimize(date);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_SystemClock_DateText);

}  // namespace
}  // namespace rheo::bench
