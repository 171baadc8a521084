// The whole machine as the program builds it, run unthrottled, the screen rendered every 20 ms of
// host time, as the window does:
//  - a busy program: the timer as the serial clock (counter 2, 9600 baud ×16), counters 0 and 1
//    chained and raising interrupts on line 6 (50 a second with counter 0 dividing by 2000 and
//    counter 1 by 20, or 100 a second with 100 and 200), or the chain off, the USART
//    programmed;
//  - the built-in ROM at its prompt, which reads latched counter values in a tight loop.

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "emulator/Machine.h"
#include "frontend/ScreenPresenter.h"
#include "host/config/ConfigDocument.h"
#include "host/config/Settings.h"

namespace {

std::vector<uint8_t> BusyRom(uint16_t divisor0, uint16_t divisor1) {
    std::vector<uint8_t> image(16384, 0xFF);
    size_t at = 0x3000;  // page FF: where the processor starts
    auto code = [&](std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) image[at++] = b;
    };
    code({0xC3, 0x00, 0x01});  // JMP 0100h, past the restart vectors
    at = 0x3100;
    // Window 0 stays on this ROM page, windows 1-F get RAM; paging on.
    code({0x3E, 0xFF, 0xD3, 0xE0});
    for (int w = 1; w < 16; ++w)
        code({0x3E, static_cast<uint8_t>(0xE0 + w), 0xD3, static_cast<uint8_t>(0xE0 + w)});
    code({0xD3, 0xD8, 0x31, 0x00, 0x80});  // paging on; LXI SP,8000h
    // System PIO: mode 0, PC6 high (timer interrupts enabled).
    code({0x3E, 0x80, 0xD3, 0xC3, 0x3E, 0x0D, 0xD3, 0xC3});
    // Counter 2: mode 3, count 13. Counters 0 and 1: mode 2 with the given counts.
    code({0x3E, 0xB6, 0xD3, 0xD3, 0x3E, 13, 0xD3, 0xD2, 0xAF, 0xD3, 0xD2});
    code({0x3E, 0x34, 0xD3, 0xD3, 0x3E, static_cast<uint8_t>(divisor0), 0xD3, 0xD0, 0x3E,
          static_cast<uint8_t>(divisor0 >> 8), 0xD3, 0xD0});
    code({0x3E, 0x74, 0xD3, 0xD3, 0x3E, static_cast<uint8_t>(divisor1), 0xD3, 0xD1, 0x3E,
          static_cast<uint8_t>(divisor1 >> 8), 0xD3, 0xD1});
    // USART: asynchronous ×16, 8 bits; transmitter and receiver enabled.
    code({0x3E, 0x4E, 0xD3, 0xC9, 0x3E, 0x05, 0xD3, 0xC9});
    code({0x3E, 0x07, 0xD3, 0xD4, 0xFB});  // interrupt unit armed; EI
    // Busy loop: walk the green plane adding to every byte.
    uint16_t loop = static_cast<uint16_t>(at - 0x3000);
    code({0x21, 0x00, 0xA0, 0x06, 0x07});  // LXI H,A000h; MVI B,7
    uint16_t inner = static_cast<uint16_t>(at - 0x3000);
    code({0x7E, 0x80, 0x77, 0x23, 0x7C, 0xFE,
          0xC0,  // MOV A,M; ADD B; MOV M,A; INX H; MOV A,H; CPI C0h
          0xC2, static_cast<uint8_t>(inner), static_cast<uint8_t>(inner >> 8), 0xC3,
          static_cast<uint8_t>(loop), static_cast<uint8_t>(loop >> 8)});
    // RST 1 (0008h): acknowledge through PC6, re-arm the unit, return.
    at = 0x3008;
    code({0xC3, 0x40, 0x00});
    at = 0x3040;
    code({0xF5, 0x3E, 0x0C, 0xD3, 0xC3, 0x3E, 0x0D, 0xD3, 0xC3, 0x3E, 0x07, 0xD3, 0xD4, 0xF1, 0xFB,
          0xC9});
    return image;
}

struct Rom {
    bool busy;  // the busy program, else the built-in ROM
    uint16_t divisor0, divisor1;
    bool chain01;
};

void RunWholeMachine(benchmark::State& state, const Rom& rom) {
    std::ifstream delivered(TEVRIN_DELIVERED_CONFIG);
    std::string text((std::istreambuf_iterator<char>(delivered)), std::istreambuf_iterator<char>());
    config::ConfigDocument document;
    if (document.LoadFromText(text) != config::ConfigLoadResult::Usable) {
        state.SkipWithError("delivered configuration not found");
        return;
    }
    config::Settings settings(document);
    if (rom.busy) {
        std::string romPath = std::string(TEVRIN_BIN_DIR) + "/bench-busy-" +
                              std::to_string(rom.divisor0) + "-" + std::to_string(rom.divisor1) +
                              ".rom";
        std::vector<uint8_t> image = BusyRom(rom.divisor0, rom.divisor1);
        std::ofstream(romPath, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()),
                   static_cast<std::streamsize>(image.size()));
        settings.SetPath(config::keys::kRomFile, romPath);
        settings.Set(config::keys::kChainTimer01, rom.chain01);
    } else {
        const std::string romPath = std::string(TEVRIN_BIN_DIR) + "/tevrin.rom";
        if (!std::ifstream(romPath)) {
            state.SkipWithError("built-in ROM not built");
            return;
        }
        settings.SetPath(config::keys::kRomFile, romPath);
    }

    // Measured without an audio device: away from speed 1.0 the machine does not wait for one.
    Machine machine(settings,
                    [](int, SoundStream::Fill) -> std::unique_ptr<SoundStream> { return nullptr; });
    ScreenPresenter presenter;
    machine.ApplySettings(config::GroupSet::All());
    presenter.ApplySettings(settings, config::GroupSet::All());
    machine.WarmReset();
    machine.SetThrottled(false);
    machine.SetPaused(false);
    // Past the set-up code, or for the ROM its start-up to the prompt.
    for (int i = 0; i < (rom.busy ? 100 : 2000); ++i) machine.CpuTimerEvent();

    int64_t ticksBefore = machine.EmulatedTicks();
    // The window renders every 20 ms of its own (wall) time, however fast the machine runs.
    auto nextRender = std::chrono::steady_clock::now();
    for (auto _ : state) {
        machine.CpuTimerEvent();
        if (std::chrono::steady_clock::now() >= nextRender) {
            presenter.Render(machine);
            nextRender += std::chrono::milliseconds(20);
        }
    }
    if (machine.FaultPending()) state.SkipWithError("the program faulted");
    state.counters["emulated_MHz"] =
        benchmark::Counter(static_cast<double>(machine.EmulatedTicks() - ticksBefore) / 1e6,
                           benchmark::Counter::kIsRate);
    if (rom.busy) state.counters["interrupts_measured"] = machine.Processor().isrMax > 0 ? 1 : 0;
    machine.SetPaused(true);
}

void BM_WholeMachineUnthrottled(benchmark::State& state) {
    RunWholeMachine(state, {true, 2000, 20, true});
}
// 100 interrupts a second through the chain: counter 0's output clocks counter 1 every 50 µs.
void BM_WholeMachineChainedTimer(benchmark::State& state) {
    RunWholeMachine(state, {true, 100, 200, true});
}
// The same program with the chain off: counter 1 has no clock (the delivered setting), no
// interrupts, counter 0 still counts.
void BM_WholeMachineUnchainedTimer(benchmark::State& state) {
    RunWholeMachine(state, {true, 100, 200, false});
}
void BM_WholeMachineRomPrompt(benchmark::State& state) {
    RunWholeMachine(state, {false, 0, 0, false});
}

}  // namespace

BENCHMARK(BM_WholeMachineUnthrottled)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WholeMachineChainedTimer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WholeMachineUnchainedTimer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WholeMachineRomPrompt)->Unit(benchmark::kMicrosecond);
