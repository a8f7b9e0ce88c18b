// rheotrack-replay's work on a 25 MB capture with many error words, its session file and its
// event log on tmpfs (/dev/shm when there is one): the engine wired as the tool wires it, fed
// in the tool's 64 KiB reads. Beside it, the same with the live program's event log, which
// opens, appends and closes the file for every entry.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string_view>

#include "EngineRig.h"
#include "InstrumentStream.h"
#include "recording/BufferedEventLog.h"
#include "recording/BufferedSessionFile.h"
#include "support/TempDir.h"

namespace rheo::bench {
namespace {

constexpr std::size_t kCaptureSize = 25 << 20;
constexpr std::size_t kReadSize = 1 << 16;

const InstrumentStream& Capture() {
    static const InstrumentStream capture = MakeInstrumentStream(kCaptureSize);
    return capture;
}

std::filesystem::path MemoryDirectory() {
    std::error_code error;
    return std::filesystem::is_directory("/dev/shm", error) ? std::filesystem::path("/dev/shm")
                                                            : std::filesystem::path();
}

template <typename LogType>
void Replay(benchmark::State& state) {
    const InstrumentStream& capture = Capture();
    test::TempDir directory(MemoryDirectory());
    const std::string output = directory.File("out.csv");
    const std::string logFile = directory.File("vlog.txt");
    const std::string_view bytes = capture.bytes;
    bool written = true;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(logFile);
        state.ResumeTiming();
        Configuration configuration;
        ConstantClock clock;  // as --date and --time give it
        LogType log(logFile, clock);
        BufferedSessionFile file;
        NoMonitorView view;
        CountingBoxes boxes;
        ReadingHistory history;
        Engine engine(configuration, clock, log, file, view, boxes, history);
        engine.StartSession(output, SessionStart::New, true);
        for (std::size_t at = 0; at < bytes.size(); at += kReadSize) {
            engine.Feed(bytes.substr(at, kReadSize));
        }
        written = file.Finish() && boxes.shown == 0 && written;
        if constexpr (std::is_same_v<LogType, BufferedEventLog>) {
            written = log.Finish() && written;
        }
    }
    if (!written) {
        state.SkipWithError("the session file or the log could not be written");
        return;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
    state.counters["log_MB"] = static_cast<double>(std::filesystem::file_size(logFile)) / (1 << 20);
}

// The tool: one buffered handle for the log, opened once.
void BM_Replay25MB_BufferedLog(benchmark::State& state) {
    Replay<BufferedEventLog>(state);
}
// The program's log: opened, appended and closed for every entry.
void BM_Replay25MB_PerEntryLog(benchmark::State& state) {
    Replay<EventLog>(state);
}

// Rates on the process's CPU time, user and kernel (the files' system calls included), as for
// the decoder: the tool runs on one thread and tmpfs never waits for a device, so on a quiet
// machine the elapsed time is the same, and on a busy one this is the figure that holds.
BENCHMARK(BM_Replay25MB_BufferedLog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Replay25MB_PerEntryLog)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace rheo::bench
