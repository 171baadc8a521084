// The debugger's memory search: a pattern that is nowhere in memory makes the search pass all
// 64 KB before it gives up, the longest a user ever waits for F3. Target: under 5 ms.

#include <benchmark/benchmark.h>

#include "debugger/MemorySearch.h"
#include "machine/ChipMemory.h"
#include "machine/MemoryOrganizer.h"

namespace {

void BM_MemorySearchFullTurn(benchmark::State& state) {
    MemoryOrganizer organizer;
    ChipMemory memory(organizer);
    memory.AllocatePages(0, 16, false);
    for (int window = 0; window < 16; ++window) {
        organizer.SetPageRegister(window, static_cast<uint8_t>(window));
    }
    organizer.EnablePaging();
    // Memory full of near misses: every byte matches the first masked position.
    for (uint32_t a = 0; a < 0x10000; ++a) memory.Write(static_cast<uint16_t>(a), 0x3E);
    debugger::SearchPattern pattern;
    pattern.Values = {0x3E, 0x3E, 0x3E, 0x3E, 0x3E, 0x3E, 0x3E, 0x00};
    pattern.Masks = {0xFF, 0xF0, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF};
    debugger::MemorySearch search;
    for (auto _ : state) {
        auto outcome = search.FindNext(memory, pattern, true, 0x1234);
        benchmark::DoNotOptimize(outcome);
        if (outcome != debugger::SearchOutcome::NotFound) state.SkipWithError("found a match");
    }
}
BENCHMARK(BM_MemorySearchFullTurn)->Unit(benchmark::kMillisecond);

}  // namespace
