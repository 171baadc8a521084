// Reading language files: the delivered English file, and a hostile file of many sections and
// keys, which must still read in time proportional to its size.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "host/lang/IniFile.h"

namespace {

std::string DeliveredEnglish() {
    std::ifstream in(std::string(TEVRIN_SOURCE_DIR) + "/resources/Lang/english.ini",
                     std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void BM_ReadEnglish(benchmark::State& state) {
    const std::string text = DeliveredEnglish();
    for (auto _ : state) {
        IniFile ini;
        ini.LoadText(text);
        benchmark::DoNotOptimize(ini.Find("FormMain", "err.I41Lock.Message"));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ReadEnglish);

void BM_ReadManySections(benchmark::State& state) {
    std::string text;
    for (int64_t i = 0; i < state.range(0); ++i) {
        text += "[S" + std::to_string(i) + "]\nk" + std::to_string(i) + "=v\n";
    }
    for (auto _ : state) {
        IniFile ini;
        ini.LoadText(text);
        benchmark::DoNotOptimize(ini.Sections().size());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadManySections)->RangeMultiplier(10)->Range(1000, 100000)->Complexity();

}  // namespace
