// RecordReading per reading: with no session, and with a session file on disk written the live
// program's way (every row flushed to the device, closed and reopened) or buffered as the
// replay tool does.
#include <benchmark/benchmark.h>

#include "EngineRig.h"
#include "InstrumentStream.h"
#include "platform/LiveSessionFile.h"
#include "recording/BufferedSessionFile.h"
#include "support/TempDir.h"

namespace rheo::bench {
namespace {

constexpr std::size_t kReadings = 64;  // a power of two: cycled with a mask
// The buffered file is started afresh after this many rows so that it stays small; the
// reopening flushes what was buffered, a cost the rows owe anyway.
constexpr std::int64_t kRowsPerFile = 1 << 16;

const std::vector<Reading>& Readings() {
    static const std::vector<Reading> readings = MakeReadings(kReadings);
    return readings;
}

void BM_RecordReading_NoSession(benchmark::State& state) {
    const auto& readings = Readings();
    EngineRig<LiveSessionFile> rig;
    const Text messageDate = "05/12/2026";
    std::size_t next = 0;
    for (auto _ : state) {
        rig.engine.Output().RecordReading(readings[next], messageDate, {});
        next = (next + 1) & (kReadings - 1);
    }
    benchmark::DoNotOptimize(rig.engine.Output().History().HistoryIndex);
    state.SetItemsProcessed(state.iterations());
}

template <typename FileType>
void RecordIntoSession(benchmark::State& state, std::int64_t rowsPerFile) {
    const auto& readings = Readings();
    test::TempDir directory;
    EngineRig<FileType> rig;
    const std::string path = directory.File("session.csv");
    if (!rig.OpenNewSession(path)) {
        state.SkipWithError("cannot create a session file in the temporary directory");
        return;
    }
    const Text messageDate = "05/12/2026";
    std::size_t next = 0;
    std::int64_t rows = 0;
    for (auto _ : state) {
        rig.engine.Output().RecordReading(readings[next], messageDate, {});
        next = (next + 1) & (kReadings - 1);
        if (++rows == rowsPerFile) {
            rows = 0;
            rig.OpenNewSession(path);
        }
    }
    rig.file.Close();
    if (rig.boxes.shown > 0 || rig.engine.Session().SessionFilePath.empty()) {
        state.SkipWithError("the session file could not be written");
        return;
    }
    state.SetItemsProcessed(state.iterations());
}

// Every row: write, fsync, close, reopen for appending.
void BM_RecordReading_LiveSessionFile(benchmark::State& state) {
    RecordIntoSession<LiveSessionFile>(state, 0);
}
// Every row into one stdio buffer.
void BM_RecordReading_BufferedSessionFile(benchmark::State& state) {
    RecordIntoSession<BufferedSessionFile>(state, kRowsPerFile);
}

BENCHMARK(BM_RecordReading_NoSession);
BENCHMARK(BM_RecordReading_LiveSessionFile)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_RecordReading_BufferedSessionFile)->UseRealTime();

}  // namespace
}  // namespace rheo::bench
