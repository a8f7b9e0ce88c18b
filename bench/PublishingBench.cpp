// Publishing: what the outbox adds to the recording of a reading (one committed insert, p99),
// and how fast an outbox of 50,000 messages, an hour of one instrument at full rate, drains to a
// local Mosquitto broker once it is back.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "InstrumentStream.h"
#include "publishing/MqttPublisher.h"
#include "publishing/Processes.h"
#include "publishing/PublishingObserver.h"
#include "support/TempDir.h"

namespace rheo::bench {
namespace {

using Clock = std::chrono::steady_clock;

struct Recorder {
    Configuration configuration;
    std::unique_ptr<Outbox> outbox;
    std::unique_ptr<PublishingObserver> observer;
    std::vector<Reading> readings = MakeReadings(64);
    std::size_t next = 0;

    explicit Recorder(const std::string& path) {
        std::string error;
        outbox = Outbox::Open(path, error);
        if (outbox) {
            observer = std::make_unique<PublishingObserver>(*outbox, configuration, "bench",
                                                            "visco-1", nullptr);
        }
    }
    void Record() {
        const Text date = "05/12/2026", c = "C", cp = "cP";
        observer->ReadingRecorded({readings[next], date, c, cp, std::chrono::system_clock::now()});
        next = (next + 1) & 63;
    }
};

// One reading into the outbox, committed to the disk (WAL, synchronous=FULL), as the observer
// does it inside the receive tick; p50, p99 and the worst in milliseconds. The argument is the
// pause between readings in ms: 0 back to back, 20 faster than the instrument's fastest (68 ms).
void BM_OutboxInsert(benchmark::State& state) {
    test::TempDir directory;
    Recorder recorder(directory.File("visco-1.outbox"));
    if (!recorder.outbox) {
        state.SkipWithError("cannot open the outbox");
        return;
    }
    // The publisher's network thread checkpoints the outbox once a second meanwhile.
    std::atomic<bool> done = false;
    std::thread checkpoints([&] {
        while (!done) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            recorder.outbox->Checkpoint();
        }
    });
    std::vector<double> times;
    const auto pause = std::chrono::milliseconds(state.range(0));
    for (auto _ : state) {
        const auto start = Clock::now();
        recorder.Record();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (pause.count() > 0) {
            state.PauseTiming();
            std::this_thread::sleep_for(pause);
            state.ResumeTiming();
        }
    }
    done = true;
    checkpoints.join();
    std::sort(times.begin(), times.end());
    state.counters["p50_ms"] = times[times.size() / 2];
    state.counters["p99_ms"] = times[times.size() * 99 / 100];
    state.counters["max_ms"] = times.back();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OutboxInsert)->Arg(0)->Arg(20)->Unit(benchmark::kMicrosecond);

// An outbox of `state.range(0)` readings drained to a broker on 127.0.0.1: from the start of
// the publisher to the outbox empty (every message acknowledged and removed).
void BM_OutboxDrain(benchmark::State& state) {
    const auto count = state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        test::TempDir directory;
        test::Broker broker(directory);
        {
            // Filled in memory (tmpfs), where a commit costs no flush, then put on the disk.
            test::TempDir memory(std::filesystem::exists("/dev/shm") ? "/dev/shm" : "");
            Recorder filler(memory.File("visco-1.outbox"));
            for (std::int64_t i = 0; i < count; ++i) {
                filler.Record();
            }
            filler.observer.reset();
            filler.outbox.reset();  // the last connection checkpoints everything
            std::filesystem::copy_file(memory.File("visco-1.outbox"),
                                       directory.File("visco-1.outbox"));
        }
        Recorder recorder(directory.File("visco-1.outbox"));
        PublishingOptions options;
        options.url = broker.Url();
        options.base = "bench";
        MqttPublisher publisher(options, "visco-1", *recorder.outbox, nullptr);
        std::string error;
        state.ResumeTiming();
        const auto start = Clock::now();
        publisher.Start(error);
        const bool drained = test::WaitUntil([&] { return recorder.outbox->Size() == 0; },
                                             std::chrono::seconds(120));
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (!drained) {
            state.SkipWithError("the outbox did not drain");
        }
        state.PauseTiming();
        publisher.Stop();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_OutboxDrain)->Arg(50'000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace rheo::bench
