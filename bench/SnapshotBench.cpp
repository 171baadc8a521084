// Saving and loading a whole-machine snapshot (target: each under 5 ms), on the machine the
// delivered configuration builds with the built-in ROM at its prompt, with the multiplier and
// the SD-ROM module fitted so that every section is written.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "DeliveredBoard.h"

namespace {

struct SnapshotBoard : DeliveredBoard {
    bool Build(benchmark::State& state) {
        const bool built = DeliveredBoard::Build(state, [](config::Settings& settings) {
            settings.Set(config::keys::kMultiplier, true);
            settings.Set(config::keys::kSdRomConnected, true);
            settings.SetPath(config::keys::kSdRomRootPath,
                             std::filesystem::temp_directory_path().string() + "/");
        });
        if (!built) return false;
        machine->WarmReset();
        machine->SetThrottled(false);
        machine->SetPaused(false);
        for (int i = 0; i < 1000; ++i) machine->CpuTimerEvent();
        machine->SetPaused(true);
        return true;
    }
};

void BM_SnapshotSave(benchmark::State& state) {
    SnapshotBoard board;
    if (!board.Build(state)) return;
    std::vector<uint8_t> bytes;
    for (auto _ : state) {
        board.machine->SaveSnapshot(bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
}

void BM_SnapshotLoad(benchmark::State& state) {
    SnapshotBoard board;
    if (!board.Build(state)) return;
    std::vector<uint8_t> bytes;
    board.machine->SaveSnapshot(bytes);
    for (auto _ : state) {
        if (board.machine->LoadSnapshot(bytes.data(), bytes.size()) != snapshot::LoadError::None) {
            state.SkipWithError("the snapshot did not load");
            break;
        }
    }
}

}  // namespace

BENCHMARK(BM_SnapshotSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SnapshotLoad)->Unit(benchmark::kMillisecond);
