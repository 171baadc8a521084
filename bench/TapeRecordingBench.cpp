#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "media/tape/TapeRecording.h"
#include "media/tape/TapeSignal.h"
#include "media/tape/TapeSource.h"

namespace {

// Three records of 20 blocks, both copies of each, as the tape interface plays them: about two
// minutes of signal, most of it blocks.
const std::string& Recording() {
    static const std::string wav = [] {
        std::vector<std::vector<uint8_t>> records;
        uint32_t seed = 1;
        for (int r = 0; r < 3; ++r) {
            std::vector<uint8_t> data;
            for (int n = 19; n >= 0; --n) {
                std::vector<uint8_t> block = {static_cast<uint8_t>(n), 0,
                                              static_cast<uint8_t>(r | (n == 19 ? 0x80 : 0)), 8};
                for (int i = 0; i < 128; ++i) {
                    seed = seed * 1103515245 + 12345;
                    block.push_back(static_cast<uint8_t>(seed >> 16));
                }
                unsigned sum = 0;
                for (uint8_t b : block) sum += b;
                block.push_back(static_cast<uint8_t>(~sum));
                data.insert(data.end(), block.begin(), block.end());
                data.insert(data.end(), block.begin(), block.end());
            }
            records.push_back(data);
        }
        return tape::SignalFile(tape::PlaySignal(records));
    }();
    return wav;
}

// Seconds of recording decoded per second: the decoder's speed as a multiple of real time.
void BM_DecodeRecording(benchmark::State& state) {
    const std::string& wav = Recording();
    double seconds = 0;
    for (auto _ : state) {
        MemoryTapeSource source(wav);
        const tape::RecordingResult result = tape::DecodeRecording(source);
        if (result.records.size() != 3) state.SkipWithError("the records were not found");
        seconds += result.seconds;
    }
    state.counters["times_real_time"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeRecording)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
