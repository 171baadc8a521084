#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "machine/StateStream.h"
#include "support/CpuFixture.h"

namespace {

// One complete machine for the comparison: random code and data in RAM, ports everywhere and an
// interrupt source that accepts at random moments. Mixed: a window onto ROM, one onto absent
// memory, the colour-write hook on a window, a listener called after every instruction. Flat:
// all sixteen windows on one RAM block, a listener that merges calls, and a device that maps
// ROM in and out of window C and swaps two RAM pages, so runs keep switching between the flat
// path (pages in order, or out of order through the memory's view) and the others.
// Rom: the built-in ROM's mapping at its prompt (ROM in windows C-F, the green plane behind the
// hook in A-B) with code in ROM too, merged listener calls, and a device that maps RAM in and
// out of window C, absent memory in and out of window D and arms and disarms the hook.
enum class Layout { kMixed, kFlat, kRom };

struct RandomMachine {
    // Writes ending in 0 toggle window C between RAM and ROM, writes ending in 1 swap the pages
    // of windows 0 and 1 (RAM no longer in page order); with the Rom layout, writes ending in 1
    // toggle window D between ROM and nothing instead, and writes ending in 2 the hook.
    struct Remapper : RecordingDevice {
        MemoryOrganizer* organizer = nullptr;
        ChipMemory* memory = nullptr;
        bool romLayout = false;
        bool hookArmed = true;
        void PortWrite(uint8_t port, uint8_t value, int32_t ticks) override {
            RecordingDevice::PortWrite(port, value, ticks);
            if ((value & 0x0F) == 0) {
                const bool rom = organizer->PageRegister(0xC) == 0xFC;
                organizer->SetPageRegister(0xC, rom ? 0xEC : 0xFC);
            } else if (romLayout && (value & 0x0F) == 1) {
                const bool rom = organizer->PageRegister(0xD) == 0xFD;
                organizer->SetPageRegister(0xD, rom ? 0x33 : 0xFD);
            } else if ((value & 0x0F) == 1) {
                const uint8_t first = organizer->PageRegister(0);
                organizer->SetPageRegister(0, organizer->PageRegister(1));
                organizer->SetPageRegister(1, first);
            } else if (romLayout && (value & 0x0F) == 2) {
                hookArmed = !hookArmed;
                memory->SetWriteHookArmed(hookArmed);
            }
        }
    };

    RandomMachine(uint32_t seed, bool machineTiming, Layout layout = Layout::kMixed)
        : memory(organizer), cpu(memory), interruptRng(seed ^ 0x9E3779B9u) {
        memory.AllocatePages(0xFC, 4, true);
        memory.AllocatePages(0xE0, 16, false);
        std::mt19937 rng(seed);
        for (int w = 0; w < 16; ++w) organizer.SetPageRegister(w, static_cast<uint8_t>(0xE0 + w));
        if (layout == Layout::kMixed) {
            organizer.SetPageRegister(0xC, 0xFC);  // ROM
            organizer.SetPageRegister(0xD, 0x33);  // nothing
            organizer.SetPageRegister(0xE, 0xEA);  // green plane, behind the hook
        } else if (layout == Layout::kRom) {
            organizer.SetPageRegister(0xA, 0xEA);
            organizer.SetPageRegister(0xB, 0xEB);
            for (int w = 0xC; w <= 0xF; ++w)
                organizer.SetPageRegister(w, static_cast<uint8_t>(0xF0 + w));
        }
        organizer.EnablePaging();
        // Code in ROM too when it is mapped (F0-FB are absent).
        for (int page = 0xE0; page <= (layout == Layout::kRom ? 0xFF : 0xEF); ++page) {
            if (memory.PagePointer(page) == nullptr) continue;
            for (int i = 0; i < 4096; ++i)
                memory.PagePointer(page)[i] = static_cast<uint8_t>(rng());
        }
        // Fewer halts and more everyday instructions than pure noise would give.
        for (int i = 0; i < 0xC000; ++i) {
            uint8_t& b = memory.PagePointer(0xE0 + (i >> 12))[i & 0xFFF];
            if (b == 0x76 && (rng() & 7) != 0) b = 0x00;
        }
        cpu.SetMachineTiming(machineTiming);
        cpu.SetInterruptController(&controller);
        controller.bytes[0] = static_cast<uint8_t>(0xC7 | (seed & 7) << 3);
        cpu.AttachPort(0x00, 0x80, false, &low);
        cpu.AttachPort(0x80, 0xC0, false, &high);  // C0-FF unbound: port faults happen
        high.organizer = &organizer;
        high.memory = &memory;
        high.romLayout = layout == Layout::kRom;
        if (layout != Layout::kFlat) {
            memory.SetWriteHook(ChipMemory::WriteHook::Bind<&RandomMachine::Hook>(this));
        }
        if (layout == Layout::kMixed) {
            cpu.AddTickListener(TickListener::Bind<&RandomMachine::OnTicks>(this));
        } else {
            // Some interrupts supply a CALL, whose address bytes come from the unit too.
            if (seed % 3 == 0) {
                controller.bytes[0] = 0xCD;
                controller.bytes[1] = static_cast<uint8_t>(seed * 37);
                controller.bytes[2] = static_cast<uint8_t>(seed * 11 & 0xBF);
            }
            cpu.AddTickListener(TickListener::Bind<&RandomMachine::OnMergedTicks>(this),
                                QuietQuery::Bind<&RandomMachine::QuietTicks>(this));
        }
        cpu.SP = static_cast<uint16_t>(rng());
        cpu.PC = static_cast<uint16_t>(rng() & 0xBFFF);
    }

    bool Hook(uint8_t* page, uint16_t offset, uint8_t value) {
        ++hookWrites;
        page[offset] = static_cast<uint8_t>(value ^ 0x55);
        return true;
    }
    void OnTicks(int32_t period, int32_t ticks) {
        listenerSum += static_cast<int64_t>(period) * 31 + ticks;
        if ((interruptRng() & 63) == 0) cpu.AcceptInterrupt();
        if ((interruptRng() & 1023) == 0) cpu.SetInte(true);
    }
    // The same moments of interrupt, at random tick positions instead of random calls, so that
    // one call for many instructions' ticks has the effect of one call per instruction.
    void OnMergedTicks(int32_t period, int32_t ticks) {
        heardTicks += ticks;
        if (heardTicks != period) ++listenerSum;  // must have heard up to the processor's count
        if (heardTicks >= nextEvent) {
            nextEvent = heardTicks + 1 + static_cast<int64_t>(interruptRng() % 400);
            if ((interruptRng() & 1) == 0) cpu.SetInte(true);
            cpu.AcceptInterrupt();
        }
    }
    int32_t QuietTicks() { return static_cast<int32_t>(nextEvent - heardTicks); }
    // Clears a fault the way the main window does, so the comparison can go on.
    void ClearFaults() {
        cpu.PortFault = false;
        memory.ClearFault();
        cpu.PC = static_cast<uint16_t>(cpu.PC + 1);
    }

    MemoryOrganizer organizer;
    ChipMemory memory;
    ChipCpu8080P cpu;
    FakeInterruptController controller;
    RecordingDevice low;
    Remapper high;
    std::mt19937 interruptRng;
    int64_t listenerSum = 0;
    int64_t heardTicks = 0, nextEvent = 100;
    int64_t hookWrites = 0;
};

void ExpectSameState(RandomMachine& a, RandomMachine& b, const std::string& where) {
    const ChipCpu8080& x = a.cpu;
    const ChipCpu8080& y = b.cpu;
    ASSERT_EQ(x.PC, y.PC) << where;
    ASSERT_EQ(x.SP, y.SP) << where;
    ASSERT_EQ(x.PSW(), y.PSW()) << where;
    ASSERT_EQ(x.BC(), y.BC()) << where;
    ASSERT_EQ(x.DE(), y.DE()) << where;
    ASSERT_EQ(x.HL(), y.HL()) << where;
    ASSERT_EQ(x.PeriodTicks, y.PeriodTicks) << where;
    ASSERT_EQ(x.ClockTicks, y.ClockTicks) << where;
    ASSERT_EQ(x.LastTicks, y.LastTicks) << where;
    ASSERT_EQ(x.InstructionCount, y.InstructionCount) << where;
    ASSERT_EQ(x.PrevPC, y.PrevPC) << where;
    ASSERT_EQ(x.CurPC, y.CurPC) << where;
    ASSERT_EQ(x.Inte, y.Inte) << where;
    ASSERT_EQ(x.EiPending, y.EiPending) << where;
    ASSERT_EQ(x.EiArmed, y.EiArmed) << where;
    ASSERT_EQ(x.Halted, y.Halted) << where;
    ASSERT_EQ(x.IntAck, y.IntAck) << where;
    ASSERT_EQ(x.PortFault, y.PortFault) << where;
    ASSERT_EQ(x.FaultPort, y.FaultPort) << where;
    ASSERT_EQ(x.IsrSP, y.IsrSP) << where;
    ASSERT_EQ(x.IsrTicks, y.IsrTicks) << where;
    ASSERT_EQ(x.IsrMin, y.IsrMin) << where;
    ASSERT_EQ(x.IsrMax, y.IsrMax) << where;
    ASSERT_EQ(a.memory.Fault(), b.memory.Fault()) << where;
    ASSERT_EQ(a.memory.FaultAddress, b.memory.FaultAddress) << where;
    ASSERT_EQ(a.listenerSum, b.listenerSum) << where;
    ASSERT_EQ(a.heardTicks, b.heardTicks) << where;
    ASSERT_TRUE(a.low.log == b.low.log) << where;
    ASSERT_TRUE(a.high.log == b.high.log) << where;
    ASSERT_EQ(a.hookWrites, b.hookWrites) << where;
    for (int page = 0xE0; page <= 0xEF; ++page) {
        ASSERT_EQ(0, std::memcmp(a.memory.PagePointer(page), b.memory.PagePointer(page), 4096))
            << where << " page " << page;
    }
}

std::vector<uint8_t> SaveChips(RandomMachine& m) {
    std::vector<uint8_t> state;
    StateWriter out(state);
    m.cpu.SaveState(out);
    m.organizer.SaveState(out);
    m.memory.SaveState(out);
    return state;
}

// Puts a saved state back over another mapping and other memory contents: the processor must
// read what was saved, through the mapping that was saved.
void LoadChipsOverOtherMapping(RandomMachine& m, const std::vector<uint8_t>& state) {
    for (int w = 0; w < 16; ++w) m.organizer.SetPageRegister(w, static_cast<uint8_t>(0xEF - w));
    for (int page = 0xE0; page <= 0xEF; ++page) std::memset(m.memory.PagePointer(page), 0x76, 4096);
    StateReader in(state.data(), state.size());
    ASSERT_TRUE(m.cpu.LoadState(in));
    ASSERT_TRUE(m.organizer.LoadState(in));
    ASSERT_TRUE(m.memory.LoadState(in));
}

// Runs 24 seeds both ways, slice by slice; counts the slices that began on each path, the bytes
// the interrupt unit supplied, the writes the hook took and the seeds that reached a fault.
// Halfway through, the run's state is saved and loaded back over another mapping.
struct Coverage {
    int flatSlices = 0, viewedSlices = 0, windowedSlices = 0, interrupts = 0, seedsWithFaults = 0;
    int64_t hookWrites = 0;
};

void CompareRunWithSteps(Layout layout, Coverage& coverage) {
    auto& [flatSlices, viewedSlices, windowedSlices, interrupts, seedsWithFaults, hookWrites] =
        coverage;
    for (uint32_t seed = 1; seed <= 24; ++seed) {
        bool machineTiming = (seed & 1) != 0;
        auto stepped = std::make_unique<RandomMachine>(seed, machineTiming, layout);
        auto run = std::make_unique<RandomMachine>(seed, machineTiming, layout);
        int faults = 0;
        for (int slice = 0; slice < 60; ++slice) {
            if (slice == 30) LoadChipsOverOtherMapping(*run, SaveChips(*run));
            ++(run->cpu.FlatMemory()     ? flatSlices
               : run->cpu.ViewedMemory() ? viewedSlices
                                         : windowedSlices);
            int32_t budget = stepped->cpu.PeriodTicks + 1 +
                             static_cast<int32_t>((seed * 7919 + slice * 104729) % 3000);
            int64_t steps = 0;
            while (stepped->cpu.PeriodTicks < budget) {
                if (stepped->cpu.Step() != 0) ++steps;
                if (stepped->cpu.PortFault || stepped->memory.Fault()) break;
            }
            int64_t done = run->cpu.Run(budget);
            std::string where = "seed " + std::to_string(seed) + " slice " + std::to_string(slice);
            ASSERT_EQ(done, steps) << where;
            ExpectSameState(*stepped, *run, where);
            if (stepped->cpu.PortFault || stepped->memory.Fault()) {
                ++faults;
                stepped->ClearFaults();
                run->ClearFaults();
            }
        }
        if (faults > 0) ++seedsWithFaults;
        interrupts += static_cast<int>(run->controller.fetched.size());
        hookWrites += run->hookWrites;
    }
}

// Run() is the fast way through many instructions; it must leave exactly the state that the
// same instructions executed one Step() at a time leave, faults and interrupts included.
TEST(Cpu8080Run, RunEqualsRepeatedStepsOnRandomPrograms) {
    Coverage coverage;
    CompareRunWithSteps(Layout::kMixed, coverage);
    EXPECT_EQ(coverage.flatSlices, 0);
    EXPECT_EQ(coverage.seedsWithFaults, 24);
    EXPECT_GT(coverage.interrupts, 20);
}

// The same with the flat path and merged listener calls: while all memory is one RAM block Run
// reads and writes it through one pointer; a port write that maps ROM in must send it to the
// path that writes through the windows at once.
TEST(Cpu8080Run, RunEqualsRepeatedStepsWhileTheMappingTurnsFlatAndBack) {
    Coverage coverage;
    CompareRunWithSteps(Layout::kFlat, coverage);
    EXPECT_GT(coverage.flatSlices, 200);
    EXPECT_GT(coverage.viewedSlices + coverage.windowedSlices, 50);
    EXPECT_GT(coverage.seedsWithFaults, 12);
    EXPECT_GT(coverage.interrupts, 2000);
}

// The same on the mapping of the built-in ROM's prompt, which Run reads through the memory's
// view: writes into ROM fault, writes into the green plane meet the hook while it is armed, and
// page switches in the middle of a run (window C to RAM, window D to absent memory) send it to
// the flat or the windowed path and back.
TEST(Cpu8080Run, RunEqualsRepeatedStepsWhileRomIsMapped) {
    Coverage coverage;
    CompareRunWithSteps(Layout::kRom, coverage);
    EXPECT_GT(coverage.viewedSlices, 200);
    EXPECT_GT(coverage.windowedSlices, 20);
    EXPECT_GT(coverage.seedsWithFaults, 12);
    EXPECT_GT(coverage.hookWrites, 100);
    EXPECT_GT(coverage.interrupts, 2000);
}

TEST(Cpu8080Run, StopRequestEndsTheRunAfterTheCurrentInstruction) {
    struct Stopper : PeripheralDevice {
        ChipCpu8080* cpu = nullptr;
        void PortWrite(uint8_t, uint8_t, int32_t) override { cpu->RequestStop(); }
        uint8_t PortRead(uint8_t, int32_t) override { return 0; }
        int DeviceType() const override { return 98; }
    };
    MemoryOrganizer organizer;
    ChipMemory memory(organizer);
    memory.AllocatePages(0xE0, 16, false);
    for (int w = 0; w < 16; ++w) organizer.SetPageRegister(w, static_cast<uint8_t>(0xE0 + w));
    organizer.EnablePaging();
    ChipCpu8080 cpu(memory);
    Stopper stopper;
    stopper.cpu = &cpu;
    cpu.AttachPort(0x00, 0xFF, false, &stopper);
    const uint8_t program[] = {0x00, 0x00, 0xD3, 0x00, 0x00};
    for (size_t i = 0; i < sizeof program; ++i)
        memory.Write(static_cast<uint16_t>(0x100 + i), program[i]);
    cpu.PC = 0x100;
    EXPECT_EQ(cpu.Run(1000000), 3);
    EXPECT_EQ(cpu.PC, 0x104);
    EXPECT_EQ(cpu.PeriodTicks, 4 + 4 + 10);
}

TEST(Cpu8080Run, ClockFoldsTheSameWayInsideARun) {
    MemoryOrganizer organizer;
    ChipMemory memory(organizer);
    memory.AllocatePages(0xE0, 16, false);
    for (int w = 0; w < 16; ++w) organizer.SetPageRegister(w, static_cast<uint8_t>(0xE0 + w));
    organizer.EnablePaging();
    ChipCpu8080 cpu(memory);  // memory is all NOPs, 4 ticks each
    cpu.ClockTicks = 0x7FFFFFFF - 1001;
    EXPECT_EQ(cpu.Run(4000), 1000);
    // 4000 ticks pass the top once: 0x7FFFFFFF - 1001 + 4000 - 0x80000001.
    EXPECT_EQ(cpu.ClockTicks, 4000 - 1001 - 2);
}

}  // namespace
