// DecodeCharacter throughput on realistic serial-line traffic, against the line's 960
// characters per second (9600 baud, 10 bits per character).
#include <benchmark/benchmark.h>

#include "EngineRig.h"
#include "InstrumentStream.h"
#include "platform/LiveSessionFile.h"

namespace rheo::bench {
namespace {

constexpr double kLineRate = 960.0;           // characters per second at 9600 baud, 8N1
constexpr std::size_t kStreamSize = 1 << 20;  // 1 MiB of traffic per pass

const InstrumentStream& Traffic() {
    static const InstrumentStream stream = MakeInstrumentStream(kStreamSize);
    return stream;
}

// No session is open: every reading goes to the history and the (absent) list only.
template <typename ClockType>
void DecodeTraffic(benchmark::State& state) {
    const InstrumentStream& traffic = Traffic();
    EngineRig<LiveSessionFile, ClockType> rig;
    Decoder& decoder = rig.engine.Decoder();

    for (auto _ : state) {
        for (const char c : traffic.bytes) {
            decoder.DecodeCharacter(c);
        }
        benchmark::DoNotOptimize(rig.engine.Output().History().HistoryIndex);
    }

    const auto bytes = static_cast<double>(traffic.bytes.size());
    const auto passes = static_cast<double>(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(traffic.bytes.size()));
    state.counters["messages/s"] = benchmark::Counter(
        static_cast<double>(traffic.messages) * passes, benchmark::Counter::kIsRate);
    // How many times faster than the serial line delivers characters.
    state.counters["x_line_rate"] =
        benchmark::Counter(bytes * passes / kLineRate, benchmark::Counter::kIsRate);
}

// The program's clock: today's date in the user's format, taken twice per message.
void BM_DecodeCharacter_SystemClock(benchmark::State& state) {
    DecodeTraffic<SystemClock>(state);
}
// Fixed date texts: the decoder and the history alone.
void BM_DecodeCharacter_FixedClock(benchmark::State& state) {
    DecodeTraffic<ConstantClock>(state);
}

BENCHMARK(BM_DecodeCharacter_SystemClock)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeCharacter_FixedClock)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace rheo::bench
