#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "machine/ChipCpu8080P.h"
#include "machine/ChipMemory.h"
#include "machine/IfGPIO.h"
#include "machine/IfInterrupt.h"
#include "machine/IfSerial.h"
#include "machine/IfTape.h"
#include "machine/IfTimer.h"
#include "machine/MemoryOrganizer.h"
#include "machine/SystemPIO.h"

namespace {

// The machine's chips around the processor, running code that is mostly noise but programs the
// timer, the interrupt unit, the system PIO and the USART often. One copy is stepped with the
// tick-by-tick timer and a listener call after every instruction (the reference); the other
// runs with the lazy timer and merged listener calls, and skips the hand-over before accesses to
// the PIOs and the interrupt unit. They must never differ. Chained is the
// program with counter 0 as a prescaler clocking counter 1, whose interrupts then come from a
// count of counter 0's periods.
enum class Style { Noise, Program, Chained };

struct ChipMachine {
    ChipMachine(uint32_t seed, bool reference, Style style = Style::Noise)
        : memory(organizer),
          cpu(memory),
          pio(SystemPIO::ScrollOutput{}, &interrupts),
          timer(&interrupts),
          serial(&interrupts),
          gpio(&cpu) {
        memory.AllocatePages(0xE0, 16, false);
        for (int w = 0; w < 16; ++w) organizer.SetPageRegister(w, static_cast<uint8_t>(0xE0 + w));
        organizer.EnablePaging();
        std::mt19937 rng(seed);
        static constexpr uint8_t kPorts[] = {0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6,
                                             0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xD0, 0xD1,
                                             0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7};
        // Timer control words that make the counters do things: modes 0-5, both byte orders,
        // latch commands.
        static constexpr uint8_t kTimerControls[] = {0x36, 0x74, 0xB6, 0x30, 0x72, 0xB4, 0x12,
                                                     0x5A, 0x96, 0x38, 0x00, 0x40, 0x80, 0x3C};
        for (int page = 0xE0; page <= 0xEF; ++page) {
            uint8_t* p = memory.PagePointer(page);
            for (int i = 0; i < 4096; ++i) p[i] = static_cast<uint8_t>(rng());
        }
        // Sprinkle port instructions with meaningful values: MVI A,v; OUT p / IN p.
        for (int n = 0; n < 3000; ++n) {
            uint16_t at = static_cast<uint16_t>(rng() % 0xFFF0);
            uint8_t port = kPorts[rng() % sizeof kPorts];
            uint8_t value = static_cast<uint8_t>(rng());
            if (port == 0xD3) value = kTimerControls[rng() % sizeof kTimerControls];
            if ((port & 0xFC) == 0xD0 && port != 0xD3) value = static_cast<uint8_t>(rng() % 40);
            const uint8_t code[] = {0x3E, value, static_cast<uint8_t>((rng() & 3) ? 0xD3 : 0xDB),
                                    port, static_cast<uint8_t>((rng() & 7) ? 0x00 : 0xFB)};
            for (size_t i = 0; i < sizeof code; ++i)
                memory.Write(static_cast<uint16_t>(at + i), code[i]);
        }
        // Noise that happens to be IN or OUT talks to the chips rather than faulting at once;
        // most halts go, so that the processor spends its time running.
        for (int i = 0; i < 0xFFFF; ++i) {
            uint8_t b = memory.Peek(static_cast<uint16_t>(i));
            if (b == 0x76 && (rng() & 15) != 0) memory.Write(static_cast<uint16_t>(i), 0x00);
            if (b == 0xD3 || b == 0xDB) {
                memory.Write(static_cast<uint16_t>(i + 1), kPorts[rng() % sizeof kPorts]);
            }
        }
        // Every restart jumps to a routine that acknowledges the timer, re-arms the unit and
        // returns with interrupts enabled.
        for (int vector = 0; vector < 8; ++vector) {
            const uint8_t jump[] = {0xC3, 0x40, 0x00};
            for (int i = 0; i < 3; ++i)
                memory.Write(static_cast<uint16_t>(vector * 8 + i), jump[i]);
        }
        const uint8_t isr[] = {0xF5, 0x3E, 0x0C, 0xD3, 0xC3, 0x3E, 0x0D, 0xD3,
                               0xC3, 0x3E, 0x07, 0xD3, 0xD4, 0xF1, 0xFB, 0xC9};
        for (size_t i = 0; i < sizeof isr; ++i)
            memory.Write(static_cast<uint16_t>(0x40 + i), isr[i]);
        if (style != Style::Noise) WriteProgram(rng);
        cpu.SetInterruptController(&interrupts);
        cpu.AttachPort(0xD4, 0xFC, false, &interrupts);
        cpu.AttachPort(0xC0, 0xFC, true, &pio);
        cpu.AttachPort(0xC4, 0xFC, true, &gpio);
        cpu.AttachPort(0xD0, 0xFC, false, &timer);
        cpu.AttachPort(0xC8, 0xFC, true, &serial);
        timer.ConnectSerial(&serial);
        tape.Attach(serial);
        timer.SetClockOptions((seed & 1) != 0, (seed & 4) == 0, (seed & 2) != 0);
        if (reference) {
            cpu.AddTickListener(TickListener::Bind<&IfTimer::OnTickExact>(&timer));
            cpu.AddTickListener(TickListener::Bind<&IfSerial::OnTick>(&serial));
            cpu.AddTickListener(TickListener::Bind<&IfInterrupt::OnTick>(&interrupts));
        } else {
            cpu.AddTickListener(TickListener::Bind<&IfTimer::OnTick>(&timer),
                                QuietQuery::Bind<&IfTimer::QuietTicks>(&timer));
            cpu.AddTickListener(TickListener::Bind<&IfSerial::OnTick>(&serial),
                                QuietQuery::Bind<&IfSerial::QuietTicks>(&serial));
            cpu.AddTickListener(TickListener::Bind<&IfInterrupt::OnTick>(&interrupts),
                                QuietQuery::Bind<&IfInterrupt::QuietTicks>(&interrupts));
        }
        cpu.PC = static_cast<uint16_t>(rng());
        cpu.SP = static_cast<uint16_t>(rng());
        // Start with the interrupt path open, as a ROM would leave it: counter 1 as a rate
        // generator on interrupt line 6, PC6 high, the unit enabled, the USART programmed.
        pio.PortWrite(0xC3, 0x80, 0);
        pio.PortWrite(0xC3, 0x0D, 0);
        timer.PortWrite(0xD3, 0x74, 0);
        timer.PortWrite(0xD1, static_cast<uint8_t>(200 + seed * 13), 0);
        timer.PortWrite(0xD1, 0x01, 0);
        timer.PortWrite(0xD3, 0xB6, 0);
        timer.PortWrite(0xD2, 13, 0);
        timer.PortWrite(0xD2, 0, 0);
        serial.PortWrite(0xC9, 0x4E, 0);
        // The programs keep line 0 selected, where the recorder clocks the idle receiver.
        serial.PortWrite(0xC9, style == Style::Noise ? 0x05 : 0x37, 0);
        interrupts.PortWrite(0xD4, 0x07, 0);
        if (style == Style::Chained) {
            timer.SetClockOptions(false, false, true);
            timer.PortWrite(0xD3, (seed & 1) ? 0x36 : 0x34, 0);  // square wave or rate generator
            timer.PortWrite(0xD0, static_cast<uint8_t>(7 + seed), 0);
            timer.PortWrite(0xD0, 0, 0);
        }
        cpu.SetInte(true);
    }

    // Ordinary code: a long loop of register and memory work with the odd character sent to
    // the USART, and an interrupt routine that acknowledges the timer and now and then gives
    // counter 1 a new count. Port accesses are rare, so the listeners' calls are merged over
    // long stretches and their timing decides where interrupts land.
    void WriteProgram(std::mt19937& rng) {
        std::vector<uint8_t> code = {0x31, 0x00, 0x80, 0xFB};  // LXI SP,8000h; EI
        const uint16_t loop = static_cast<uint16_t>(0x0100 + code.size());
        code.insert(code.end(), {0x21, static_cast<uint8_t>(rng()), 0x20});  // LXI H,20xxh
        static constexpr uint8_t kSafe[] = {
            0x00, 0x04, 0x05, 0x0C, 0x0D, 0x14, 0x15, 0x1C, 0x1D, 0x3C, 0x3D, 0x03, 0x0B, 0x13,
            0x1B, 0x23, 0x07, 0x0F, 0x17, 0x1F, 0x27, 0x2F, 0x37, 0x3F, 0x34, 0x35, 0x40, 0x41,
            0x47, 0x48, 0x4F, 0x50, 0x57, 0x5A, 0x5F, 0x46, 0x4E, 0x56, 0x5E, 0x7E, 0x70, 0x71,
            0x77, 0x78, 0x79, 0x7A, 0x7B, 0x7C, 0x7D, 0x80, 0x81, 0x86, 0x88, 0x8E, 0x90, 0x96,
            0x98, 0x9E, 0xA0, 0xA6, 0xA8, 0xAE, 0xB0, 0xB6, 0xB8, 0xBE, 0xC5, 0xC1, 0xD5, 0xD1};
        int length = 200 + static_cast<int>(rng() % 400);
        for (int i = 0; i < length; ++i) {
            uint32_t pick = rng() % 100;
            if (pick < 2) {
                code.insert(code.end(), {0x3E, static_cast<uint8_t>(rng()), 0xD3, 0xC8});
            } else if (pick < 4) {
                code.insert(code.end(), {0xE6, static_cast<uint8_t>(rng()), 0xF6,
                                         static_cast<uint8_t>(rng())});  // ANI; ORI
            } else {
                uint8_t op = kSafe[rng() % sizeof kSafe];
                // PUSH is always followed by its POP a little later, keeping the stack level.
                if (op == 0xC5 || op == 0xD5) {
                    code.insert(code.end(), {op, 0x00, static_cast<uint8_t>(op - 4)});
                } else if (op != 0xC1 && op != 0xD1) {
                    code.push_back(op);
                }
            }
        }
        code.insert(code.end(),
                    {0xC3, static_cast<uint8_t>(loop), static_cast<uint8_t>(loop >> 8)});
        for (size_t i = 0; i < code.size(); ++i)
            memory.Write(static_cast<uint16_t>(0x100 + i), code[i]);
        // The interrupt routine, with a counter 1 reload every fourth interrupt.
        const uint8_t isr[] = {0xF5, 0xE5,                          // PUSH PSW; PUSH H
                               0x3E, 0x0C, 0xD3, 0xC3,              // PC6 low
                               0x3E, 0x0D, 0xD3, 0xC3,              // PC6 high
                               0x21, 0x00, 0x70, 0x34,              // LXI H,7000h; INR M
                               0x7E, 0xE6, 0x03, 0xC2, 0x6E, 0x00,  // MOV A,M; ANI 3; JNZ skip
                               0x7E, 0xE6, 0x7F, 0xC6, 0x25, 0xD3,
                               0xD1, 0xAF, 0xD3, 0xD1,   // new count
                               0x3E, 0x07, 0xD3, 0xD4,   // skip (at 006Eh): re-arm the unit
                               0xE1, 0xF1, 0xFB, 0xC9};  // POP H; POP PSW; EI; RET
        for (size_t i = 0; i < sizeof isr; ++i)
            memory.Write(static_cast<uint16_t>(0x50 + i), isr[i]);
        for (int vector = 0; vector < 8; ++vector)
            memory.Write(static_cast<uint16_t>(vector * 8 + 1), 0x50);
        memory.Write(0x7000, 0);
        cpu.PC = 0x100;
    }

    void ClearFaults() {
        cpu.PortFault = false;
        memory.ClearFault();
        cpu.PC = static_cast<uint16_t>(cpu.PC + 1);
    }

    MemoryOrganizer organizer;
    ChipMemory memory;
    ChipCpu8080P cpu;
    IfInterrupt interrupts;
    SystemPIO pio;
    IfTimer timer;
    IfSerial serial;
    IfTape tape;
    IfGPIO gpio;
};

void ExpectSame(ChipMachine& a, ChipMachine& b, const std::string& where) {
    ASSERT_EQ(a.cpu.PC, b.cpu.PC) << where;
    ASSERT_EQ(a.cpu.PSW(), b.cpu.PSW()) << where;
    ASSERT_EQ(a.cpu.HL(), b.cpu.HL()) << where;
    ASSERT_EQ(a.cpu.SP, b.cpu.SP) << where;
    ASSERT_EQ(a.cpu.PeriodTicks, b.cpu.PeriodTicks) << where;
    ASSERT_EQ(a.cpu.ClockTicks, b.cpu.ClockTicks) << where;
    ASSERT_EQ(a.cpu.InstructionCount, b.cpu.InstructionCount) << where;
    ASSERT_EQ(a.cpu.Inte, b.cpu.Inte) << where;
    ASSERT_EQ(a.cpu.IntAck, b.cpu.IntAck) << where;
    ASSERT_EQ(a.cpu.IsrTicks, b.cpu.IsrTicks) << where;
    ASSERT_EQ(a.cpu.IsrSP, b.cpu.IsrSP) << where;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(a.timer.Chip().GetCounter(i) == b.timer.Chip().GetCounter(i)) << where << i;
    ASSERT_EQ(a.timer.ElapsedClocks(), b.timer.ElapsedClocks()) << where;
    ASSERT_TRUE(a.serial.Chip().GetState() == b.serial.Chip().GetState()) << where;
    ASSERT_EQ(a.serial.Chip().GetState().RxClockCount, b.serial.Chip().GetState().RxClockCount)
        << where;
    ASSERT_EQ(a.serial.Chip().GetState().RxC, b.serial.Chip().GetState().RxC) << where;
    ASSERT_TRUE(a.interrupts.Chip().GetState() == b.interrupts.Chip().GetState()) << where;
    ASSERT_EQ(0, std::memcmp(&a.interrupts.GetState(), &b.interrupts.GetState(),
                             sizeof(IfInterrupt::State)))
        << where;
    ASSERT_EQ(0, std::memcmp(&a.pio.Chip().GetState(), &b.pio.Chip().GetState(),
                             sizeof(ChipPIO8255::State)))
        << where;
    ASSERT_EQ(0, std::memcmp(&a.gpio.Chip().GetState(), &b.gpio.Chip().GetState(),
                             sizeof(ChipPIO8255::State)))
        << where;
    for (int page = 0xE0; page <= 0xEF; ++page) {
        ASSERT_EQ(0, std::memcmp(a.memory.PagePointer(page), b.memory.PagePointer(page), 4096))
            << where;
    }
}

class MergedTicks : public ::testing::TestWithParam<Style> {};

TEST_P(MergedTicks, RunWithQuietListenersEqualsSteppingWithTheExactTimer) {
    int interruptsTaken = 0;
    for (uint32_t seed = 1; seed <= 16; ++seed) {
        auto reference = std::make_unique<ChipMachine>(seed, true, GetParam());
        auto fast = std::make_unique<ChipMachine>(seed, false, GetParam());
        for (int slice = 0; slice < 40; ++slice) {
            int32_t budget = 4000;
            while (reference->cpu.PeriodTicks < budget) {
                if (reference->cpu.IntAck) ++interruptsTaken;
                reference->cpu.Step();
                if (reference->cpu.PortFault || reference->memory.Fault()) break;
            }
            fast->cpu.Run(budget);
            std::string where = "seed " + std::to_string(seed) + " slice " + std::to_string(slice);
            ExpectSame(*reference, *fast, where);
            if (reference->cpu.PortFault || reference->memory.Fault()) {
                reference->ClearFaults();
                fast->ClearFaults();
            }
            if (reference->cpu.PeriodTicks >= budget) {
                reference->cpu.PeriodTicks -= budget;
                fast->cpu.PeriodTicks -= budget;
            }
        }
    }
    EXPECT_GT(interruptsTaken, 100) << "the programs should take interrupts";
}

INSTANTIATE_TEST_SUITE_P(Programs, MergedTicks,
                         ::testing::Values(Style::Noise, Style::Program, Style::Chained),
                         [](const auto& info) {
                             return info.param == Style::Noise     ? std::string("Noise")
                                    : info.param == Style::Program ? std::string("Program")
                                                                   : std::string("Chained");
                         });

}  // namespace
