#include <benchmark/benchmark.h>

#include <initializer_list>
#include <memory>

#include "machine/ChipCpu8080P.h"
#include "machine/ChipMemory.h"
#include "machine/IfInterrupt.h"
#include "machine/IfSerial.h"
#include "machine/IfTimer.h"
#include "machine/MemoryOrganizer.h"
#include "machine/SystemPIO.h"

namespace {

constexpr int32_t kPeriodTicks = 4000;  // one 2 ms emulation period at normal speed
constexpr int kPeriodsPerIteration = 50;

// The processor with 64 KB of RAM running a memory-walking loop; the interrupt routine at 0x0008
// acknowledges the timer (PC6 low, then high) and rearms the interrupt unit, as a ROM would.
struct Rig {
    MemoryOrganizer organizer;
    ChipMemory memory{organizer};
    ChipCpu8080P cpu{memory};

    Rig() {
        memory.AllocatePages(0xE0, 16, false);
        for (int window = 0; window < 16; ++window)
            organizer.SetPageRegister(window, 0xE0 + window);
        organizer.EnablePaging();
        Load(0x0008, {0xF5, 0x3E, 0x0C, 0xD3, 0xC3, 0x3E, 0x0D, 0xD3, 0xC3, 0x3E, 0x07, 0xD3, 0xD4,
                      0xF1, 0xFB, 0xC9});
        Load(0x0100, {0x31, 0x00, 0x80,                    // LXI SP,8000h
                      0xFB,                                // EI
                      0x21, 0x00, 0x20,                    // LXI H,2000h
                      0x06, 0x07,                          // MVI B,7
                      0x7E, 0x80, 0x77, 0x23,              // loop: MOV A,M; ADD B; MOV M,A; INX H
                      0x0D, 0xC2, 0x09, 0x01,              // DCR C; JNZ loop
                      0x7C, 0xE6, 0x3F, 0xF6, 0x20, 0x67,  // keep H inside 2000h-3FFFh
                      0xC3, 0x09, 0x01});                  // JMP loop
        cpu.PC = 0x0100;
    }
    void Load(uint16_t address, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) memory.Write(address++, b);
    }
    // What the run loop does for one period (with no breakpoint set).
    void RunPeriod() {
        cpu.Run(kPeriodTicks);
        cpu.PeriodTicks -= kPeriodTicks;
    }
};

void Run(benchmark::State& state, Rig& rig) {
    int64_t ticks = 0;
    for (auto _ : state) {
        for (int i = 0; i < kPeriodsPerIteration; ++i) rig.RunPeriod();
        ticks += int64_t{kPeriodTicks} * kPeriodsPerIteration;
    }
    if (rig.memory.Fault() || rig.cpu.PortFault) state.SkipWithError("the program faulted");
    state.counters["emulated_MHz"] =
        benchmark::Counter(static_cast<double>(ticks) / 1e6, benchmark::Counter::kIsRate);
}

void BM_ProcessorAlone(benchmark::State& state) {
    Rig rig;
    Run(state, rig);
}

// The floor under any device work: three listeners that do nothing.
struct NullListener {
    int32_t last = 0;
    void OnTick(int32_t periodTicks, int32_t) { last = periodTicks; }
};

void BM_ProcessorWithIdleListeners(benchmark::State& state) {
    Rig rig;
    NullListener listeners[3];
    for (NullListener& l : listeners)
        rig.cpu.AddTickListener(TickListener::Bind<&NullListener::OnTick>(&l));
    Run(state, rig);
}

// The machine's hot path: counter 2 in mode 3 as the serial clock (9600 baud ×16), counter 1 in
// mode 2 raising a 50 Hz interrupt, the USART programmed and idle on line 3 with its receiver
// clocked; listeners in the machine's order.
template <bool kExactTimer>
void BM_ProcessorWithTimerAndSerial(benchmark::State& state) {
    Rig rig;
    IfInterrupt interrupts;
    SystemPIO pio(SystemPIO::ScrollOutput{}, &interrupts);
    IfTimer timer(&interrupts);
    IfSerial serial(&interrupts);
    rig.cpu.SetInterruptController(&interrupts);
    rig.cpu.AttachPort(0xD4, 0xFC, false, &interrupts);
    rig.cpu.AttachPort(0xC0, 0xFC, true, &pio);
    rig.cpu.AttachPort(0xD0, 0xFC, false, &timer);
    rig.cpu.AttachPort(0xC8, 0xFC, true, &serial);
    timer.ConnectSerial(&serial);
    timer.SetClockOptions(false, true, false);
    // The exact variant clocks the timer tick by tick after every instruction; the fast one is
    // what the machine does: lazy counters and merged listener calls across quiet stretches.
    if constexpr (kExactTimer) {
        rig.cpu.AddTickListener(TickListener::Bind<&IfTimer::OnTickExact>(&timer));
        rig.cpu.AddTickListener(TickListener::Bind<&IfSerial::OnTick>(&serial));
        rig.cpu.AddTickListener(TickListener::Bind<&IfInterrupt::OnTick>(&interrupts));
    } else {
        rig.cpu.AddTickListener(TickListener::Bind<&IfTimer::OnTick>(&timer),
                                QuietQuery::Bind<&IfTimer::QuietTicks>(&timer));
        rig.cpu.AddTickListener(TickListener::Bind<&IfSerial::OnTick>(&serial),
                                QuietQuery::Bind<&IfSerial::QuietTicks>(&serial));
        rig.cpu.AddTickListener(TickListener::Bind<&IfInterrupt::OnTick>(&interrupts),
                                QuietQuery::Bind<&IfInterrupt::QuietTicks>(&interrupts));
    }

    pio.Reset(0);
    pio.PortWrite(0xC3, 0x80, 0);
    pio.PortWrite(0xC3, 0x0D, 0);  // PC6 high: timer interrupts enabled
    timer.PortWrite(0xD3, 0xB6, 0);
    timer.PortWrite(0xD2, 13, 0);
    timer.PortWrite(0xD2, 0, 0);
    timer.PortWrite(0xD3, 0x74, 0);
    timer.PortWrite(0xD1, 0x40, 0);  // 40000
    timer.PortWrite(0xD1, 0x9C, 0);
    serial.PortWrite(0xC9, 0x4E, 0);
    serial.PortWrite(0xC9, 0x05, 0);
    interrupts.PortWrite(0xD4, 0x07, 0);
    Run(state, rig);
    state.counters["timer_interrupts"] = static_cast<double>(rig.cpu.IsrMax > 0);
}

BENCHMARK(BM_ProcessorAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessorWithIdleListeners)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_ProcessorWithTimerAndSerial, false)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_ProcessorWithTimerAndSerial, true)->Unit(benchmark::kMillisecond);

}  // namespace
