// The processor alone: how many emulated megahertz (standard-timing cycles per second of host
// time) it reaches on the SuperSoft CPU test, with paging on and an empty tick-listener list.

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "CpmMachine.h"

namespace {

std::vector<uint8_t> ReadProgram(const char* name) {
    std::ifstream file(std::string(TEVRIN_CPU_TESTDATA) + "/" + name, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
}

void RunCpmProgram(benchmark::State& state, const char* name, bool machineTiming) {
    std::vector<uint8_t> program = ReadProgram(name);
    if (program.empty()) {
        state.SkipWithError("CP/M test program not found");
        return;
    }
    uint64_t cycles = 0;
    for (auto _ : state) {
        CpmMachine machine(machineTiming);
        machine.Load(program);
        if (machine.Run(0, nullptr) != CpmMachine::Outcome::Finished) {
            state.SkipWithError("program did not finish");
            return;
        }
        cycles += machine.Cycles();
    }
    state.counters["emulated_MHz"] =
        benchmark::Counter(static_cast<double>(cycles) / 1e6, benchmark::Counter::kIsRate);
}

void BM_ProcessorAlone_CPUTEST(benchmark::State& state) {
    RunCpmProgram(state, "CPUTEST.COM", false);
}
void BM_ProcessorAloneMachineTiming_CPUTEST(benchmark::State& state) {
    RunCpmProgram(state, "CPUTEST.COM", true);
}

}  // namespace

BENCHMARK(BM_ProcessorAlone_CPUTEST)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ProcessorAloneMachineTiming_CPUTEST)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
