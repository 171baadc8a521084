// The machine's history: what recording costs while the machine runs (target: under 5 % of the
// unthrottled speed) and how long stepping back one instruction takes (target: under 20 ms), on
// the machine the delivered configuration builds with the built-in ROM at its prompt.

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "DeliveredBoard.h"

namespace {

struct HistoryBoard : DeliveredBoard {
    bool Build(benchmark::State& state, bool history, double speed) {
        if (!DeliveredBoard::Build(state)) return false;
        machine->History().SetEnabled(history);
        machine->WarmReset();
        machine->SetSpeedFactor(speed);
        machine->SetThrottled(false);
        machine->SetPaused(false);
        return true;
    }
};

// Emulated MHz with the history off (0) and on (1), at speed 1.0 (a period of 4000 ticks, as
// --speed max runs them back to back) and at speed 8 (32000 ticks a period).
void BM_HistoryRecording(benchmark::State& state) {
    HistoryBoard board;
    if (!board.Build(state, state.range(0) != 0, static_cast<double>(state.range(1)))) return;
    for (int i = 0; i < 2000; ++i) board.machine->CpuTimerEvent();  // start-up done
    // Then a whole depth of history (and a little more), so that what is measured is the steady
    // state: the log's ring and the checkpoints' buffers are reused from then on, while filling
    // them touches fresh memory, which costs most under a hypervisor and only in the first minute.
    const int64_t fillTo =
        board.machine->EmulatedTicks() +
        (MachineHistory::kDefaultDepthSeconds + 2) * MachineHistory::kTicksPerSecond;
    while (board.machine->EmulatedTicks() < fillTo) board.machine->CpuTimerEvent();
    const int64_t ticksBefore = board.machine->EmulatedTicks();
    const int64_t instructionsBefore = board.machine->ExecutedInstructions();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (int i = 0; i < 500; ++i) board.machine->CpuTimerEvent();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.counters["emulated_MHz"] =
        static_cast<double>(board.machine->EmulatedTicks() - ticksBefore) / seconds / 1e6;
    state.counters["instructions_per_tick"] =
        static_cast<double>(board.machine->ExecutedInstructions() - instructionsBefore) /
        static_cast<double>(board.machine->EmulatedTicks() - ticksBefore);
    state.counters["checkpoints"] = static_cast<double>(board.machine->History().CheckpointCount());
    state.counters["history_MB"] =
        static_cast<double>(board.machine->History().MemoryBytes()) / 1e6;
}

// One instruction back after a minute of emulated time, again and again: each goes back from
// the nearest checkpoint.
void BM_HistoryStepBack(benchmark::State& state) {
    HistoryBoard board;
    if (!board.Build(state, true, 1.0)) return;
    for (int i = 0; i < 30000; ++i) board.machine->CpuTimerEvent();
    board.machine->SetPaused(true);
    MachineHistory& history = board.machine->History();
    state.counters["history_MB"] = static_cast<double>(history.MemoryBytes()) / 1e6;
    state.counters["checkpoints"] = static_cast<double>(history.CheckpointCount());
    for (auto _ : state) {
        if (history.StepBack(1).outcome != MachineHistory::Outcome::Done) {
            state.SkipWithError("the step back failed");
            break;
        }
    }
}

}  // namespace

BENCHMARK(BM_HistoryRecording)
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 8})
    ->Args({1, 8})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryStepBack)->Unit(benchmark::kMillisecond)->Iterations(200);
