// The settings file as start-up reads it (the stored port, then the device of that port) when
// the file holds 40,000 values besides them (1 MB, under the size the store accepts).
#include <benchmark/benchmark.h>

#if !defined(_WIN32)
#include <fstream>
#include <string>

#include "app/SettingsStore.h"
#include "platform/posix/FileRegistry.h"
#include "support/TempDir.h"

namespace rheo::bench {
namespace {

void BM_SettingsStore_StartUpReads(benchmark::State& state) {
    test::TempDir dir;
    const std::string file = dir.File("settings");
    {
        std::ofstream out(file, std::ios::binary);
        out << "[Software\\Kavrel\\Quelmar]\r\n";
        for (int i = 0; i < state.range(0); ++i) {
            out << "\"v" << i << "\"=\"/dev/ttyS" << i % 4 << "\"\r\n";  // 1 MB in all
        }
        out << "\"Port3\"=\"/dev/ttyACM0\"\r\n\"Puerto\"=dword:00000003\r\n";
    }
    FileRegistry store(file);
    for (auto _ : state) {
        const int port = StoredPort(store);
        const SettingValue device =
            ReadSetting(store, kHkeyLocalMachine, kSettingsKeyPath, "Port" + std::to_string(port));
        if (port != 3 || device != SettingValue{std::string("/dev/ttyACM0")}) {
            state.SkipWithError("the store did not read back");
            break;
        }
    }
}
BENCHMARK(BM_SettingsStore_StartUpReads)->Arg(40000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace rheo::bench
#endif
