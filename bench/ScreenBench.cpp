// One full render of the three video planes into the screen's bitmap, as the 20 ms refresh does
// it on the window thread, at 100 % and at 200 %.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "frontend/ScreenPresenter.h"
#include "machine/MemoryLayout.h"

namespace {

void RenderFrame(benchmark::State& state, ScreenMode mode) {
    std::vector<uint8_t> planes(layout::kBluePlaneOffset + layout::kPlaneSize);
    std::mt19937 rng(42);
    layout::FillVideoPlanes(planes.data(), layout::ResetPattern::Snow, rng);
    ScreenPresenter screen(mode);
    uint8_t scroll = 0;
    for (auto _ : state) {
        screen.Render(planes.data(), scroll++);
        auto lock = screen.LockPicture();
        benchmark::DoNotOptimize(screen.Pixels()[scroll]);
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ScreenRender_100(benchmark::State& state) {
    RenderFrame(state, ScreenMode::Normal);
}
void BM_ScreenRender_200(benchmark::State& state) {
    RenderFrame(state, ScreenMode::Double);
}

BENCHMARK(BM_ScreenRender_100);
BENCHMARK(BM_ScreenRender_200);

}  // namespace
