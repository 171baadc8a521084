#include <benchmark/benchmark.h>

#include <array>
#include <initializer_list>
#include <memory>
#include <utility>

#include "host/audio/SoundDriver.h"
#include "machine/ChipCpu8080P.h"
#include "machine/ChipMemory.h"
#include "machine/IfGPIO.h"
#include "machine/MemoryOrganizer.h"
#include "machine/Muse.h"
#include "machine/SystemPIO.h"

namespace {

constexpr int32_t kPeriodTicks = SoundDriver::kTicksPerPeriod;

// A device that never plays on its own: the benchmark takes each block itself, on the same
// thread, as the device's callback would.
class BenchStream : public SoundStream {
  public:
    bool Start() override { return active_ = true; }
    bool Stop() override { return !(active_ = false); }
    void Abort() override { active_ = false; }
    bool IsActive() const override { return active_; }
    bool IsStopped() const override { return !active_; }

  private:
    bool active_ = false;
};

std::unique_ptr<SoundDriver> MakeDriver(int channels) {
    return std::make_unique<SoundDriver>(
        0, channels, SoundDriver::Volumes{90, 50, 50}, nullptr,
        [](int, SoundStream::Fill) { return std::make_unique<BenchStream>(); });
}

// The device's share of one period: 88 frames (89 one period in five).
void DeviceTakesABlock(SoundDriver& driver) {
    std::array<SoundFrame, SoundDriver::kMaxFramesPerBlock> out;
    driver.FillOutput(out.data(), static_cast<unsigned long>(driver.BlockFrames()));
    benchmark::DoNotOptimize(out);
}

// One emulation period of the driver (the time per iteration): state.range(0) speaker changes
// spread over the period, closing the block, and the device taking it.
void BM_SoundPeriod(benchmark::State& state) {
    auto driver = MakeDriver(2);
    const int changes = static_cast<int>(state.range(0));
    int level = 0;
    for (auto _ : state) {
        for (int i = 0; i < changes; ++i) {
            level ^= 0x0F;
            driver->SetLevel(0, level, i * kPeriodTicks / changes);
        }
        benchmark::DoNotOptimize(driver->ProduceBlock());
        DeviceTakesABlock(*driver);
    }
}

// The same with the Muse generating on all six channels (tones, noise, an envelope).
void BM_SoundPeriodWithMuse(benchmark::State& state) {
    auto driver = MakeDriver(3);
    Muse muse(nullptr);
    driver->SetGenerator(muse.Generator());
    const std::initializer_list<std::pair<uint8_t, uint8_t>> registers = {
        {0x00, 0xFF}, {0x01, 0xFF}, {0x02, 0xFF}, {0x03, 0xFF}, {0x04, 0xFF},
        {0x05, 0xFF}, {0x08, 0x10}, {0x09, 0x50}, {0x0A, 0x90}, {0x0B, 0xC0},
        {0x0C, 0xE0}, {0x0D, 0xF0}, {0x10, 0x54}, {0x11, 0x76}, {0x12, 0x32},
        {0x14, 0x3F}, {0x15, 0x24}, {0x16, 0x20}, {0x18, 0x8A}, {0x1C, 0x01}};
    for (auto [reg, value] : registers) {
        SAASNDWriteAddress(muse.Handle(), reg);
        SAASNDWriteData(muse.Handle(), value);
    }
    int level = 0;
    for (auto _ : state) {
        for (int i = 0; i < 8; ++i) {
            level ^= 0x0F;
            driver->SetLevel(0, level, i * kPeriodTicks / 8);
        }
        benchmark::DoNotOptimize(driver->ProduceBlock());
        DeviceTakesABlock(*driver);
    }
    driver->SetGenerator({});
}

// The processor running a program that flips the speaker every 104 ticks (about 40 changes per
// period, a 9.6 kHz square wave: far busier than any real beeper), with the sound driver
// attached or not.
template <bool kWithSound>
void BM_ProcessorTogglingTheSpeaker(benchmark::State& state) {
    MemoryOrganizer organizer;
    ChipMemory memory(organizer);
    ChipCpu8080P cpu(memory);
    memory.AllocatePages(0xE0, 16, false);
    for (int window = 0; window < 16; ++window) organizer.SetPageRegister(window, 0xE0 + window);
    organizer.EnablePaging();
    SystemPIO pio(SystemPIO::ScrollOutput{}, nullptr);
    cpu.AttachPort(0xC0, 0xFC, true, &pio);
    pio.Reset(0);
    pio.PortWrite(0xC3, 0x80, 0);
    uint16_t address = 0x0100;
    for (uint8_t b : {0x3E, 0x0F,              // loop: MVI A,0Fh
                      0xD3, 0xC2,              //       OUT C2h
                      0x06, 0x04,              //       MVI B,4
                      0x05, 0xC2, 0x06, 0x01,  // wait: DCR B / JNZ wait
                      0xEE, 0x0F,              //       XRI 0Fh
                      0xD3, 0xC2,              //       OUT C2h
                      0x06, 0x04,              //       MVI B,4
                      0x05, 0xC2, 0x10, 0x01,  // wait: DCR B / JNZ wait
                      0xC3, 0x00, 0x01}) {     //       JMP loop
        memory.Write(address++, static_cast<uint8_t>(b));
    }
    cpu.PC = 0x0100;

    std::unique_ptr<SoundDriver> driver;
    if constexpr (kWithSound) {
        driver = MakeDriver(2);
        pio.SetSpeakerOutput(driver->LevelOutput());
    }
    int64_t ticks = 0;
    for (auto _ : state) {
        for (int period = 0; period < 50; ++period) {
            if constexpr (kWithSound) {
                benchmark::DoNotOptimize(driver->ProduceBlock());
                DeviceTakesABlock(*driver);
            }
            cpu.Run(kPeriodTicks);
            cpu.PeriodTicks -= kPeriodTicks;
        }
        ticks += int64_t{kPeriodTicks} * 50;
    }
    if (memory.Fault() || cpu.PortFault) state.SkipWithError("the program faulted");
    state.counters["emulated_MHz"] =
        benchmark::Counter(static_cast<double>(ticks) / 1e6, benchmark::Counter::kIsRate);
}

BENCHMARK(BM_SoundPeriod)->Arg(0)->Arg(8)->Arg(64)->Arg(400);
BENCHMARK(BM_SoundPeriodWithMuse);
BENCHMARK_TEMPLATE(BM_ProcessorTogglingTheSpeaker, false)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_ProcessorTogglingTheSpeaker, true)->Unit(benchmark::kMillisecond);

}  // namespace
