#include <gtest/gtest.h>

#include <initializer_list>

#include "machine/ChipCpu8080.h"
#include "machine/ChipMemory.h"
#include "machine/IfInterrupt.h"
#include "machine/IfTimer.h"
#include "machine/MemoryOrganizer.h"

namespace {

TEST(IfInterrupt, NothingIsIssuedBeforeTheFirstStatusWrite) {
    IfInterrupt unit;
    unit.SetInteInput(true);
    unit.SetSourceLine(2, 1);
    EXPECT_FALSE(unit.Chip().GetState().IntOutput);
    ChipICU3214 chip = unit.Chip();
    EXPECT_FALSE(chip.Evaluate());
    // Raised while disabled: no level until a status write recomputes it.
    EXPECT_EQ(unit.Chip().GetState().RequestLevel, -1);
    unit.PortWrite(0xD4, 0x07, 0);
    EXPECT_EQ(unit.Chip().GetState().RequestLevel, 2);
    EXPECT_EQ(unit.PortRead(0xD5, 0), 0xFF);
}

TEST(IfInterrupt, AllEnabledWithSgsServesTheTransmitterThroughRst7) {
    IfInterrupt unit;
    unit.SetInteInput(true);
    unit.SetSourceLine(0, 1);
    unit.PortWrite(0xD7, 0xFF, 0);  // status 0, SGS, lines 0, 1, 3, 5 enabled
    ChipICU3214 chip = unit.Chip();
    EXPECT_TRUE(chip.Evaluate());
    EXPECT_EQ(unit.InterruptInstruction(0), 0xFF);  // RST 7
    EXPECT_EQ(unit.GetState().LastWritten, 0xFF);
}

TEST(IfInterrupt, GatedLinesFollowTheirEnables) {
    IfInterrupt unit;
    unit.PortWrite(0xD4, 0x07, 0);
    unit.SetSourceLine(1, 1);  // disabled: remembered, not requested
    EXPECT_EQ(unit.Chip().GetState().Requests, 0);
    unit.PortWrite(0xD4, 0x47, 0);  // enable line 1: the active source requests at once
    EXPECT_EQ(unit.Chip().GetState().Requests, 0x40);
    unit.PortWrite(0xD4, 0x07, 0);  // and is withdrawn when disabled
    EXPECT_EQ(unit.Chip().GetState().Requests, 0);
}

TEST(IfInterrupt, LatchedLinesNeedTheirControlBitAndAreClearedByIt) {
    IfInterrupt unit;
    unit.PortWrite(0xD4, 0x07, 0);
    unit.SetSourceLine(6, 1);  // PC6 low: no effect
    EXPECT_EQ(unit.Chip().GetState().Requests, 0);
    unit.SetPortControls(1, 1);
    unit.SetSourceLine(6, 1);
    EXPECT_EQ(unit.GetState().Latched6, 1);
    EXPECT_EQ(unit.Chip().GetState().Requests, 0x02);
    unit.SetSourceLine(4, 1);
    unit.SetSourceLine(7, 1);
    EXPECT_EQ(unit.Chip().GetState().Requests, 0x0B);
    unit.SetPortControls(1, 0);  // PC6 low acknowledges line 6 only
    EXPECT_EQ(unit.Chip().GetState().Requests, 0x09);
    EXPECT_EQ(unit.GetState().Latched6, 0);
    unit.SetPortControls(0, 0);
    EXPECT_EQ(unit.Chip().GetState().Requests, 0);
    EXPECT_EQ(unit.GetState().Latched4 | unit.GetState().Latched7, 0);
}

TEST(IfInterrupt, AWithdrawnRequestIsNotVectored) {
    IfInterrupt unit;
    unit.SetInteInput(true);
    unit.PortWrite(0xD4, 0x07, 0);
    unit.SetPortControls(1, 1);
    unit.SetSourceLine(2, 1);
    unit.SetSourceLine(6, 1);
    EXPECT_EQ(unit.InterruptInstruction(0), 0xCF);  // RST 1 for level 6
    unit.SetPortControls(1, 0);
    EXPECT_EQ(unit.InterruptInstruction(0), 0xEF);  // RST 5 for level 2
}

TEST(IfInterrupt, CurrentStatusMasksLevelsAtOrBelowIt) {
    IfInterrupt unit;
    unit.SetInteInput(true);
    unit.SetSourceLine(2, 1);
    unit.PortWrite(0xD4, 0x05, 0);  // status 2, no SGS
    ChipICU3214 chip = unit.Chip();
    EXPECT_FALSE(chip.Evaluate());
    unit.PortWrite(0xD4, 0x06, 0);  // status 1
    chip = unit.Chip();
    EXPECT_TRUE(chip.Evaluate());
}

// The processor, a page of RAM at every window and the unit as its interrupt controller.
class InterruptWithCpu : public ::testing::Test {
  protected:
    InterruptWithCpu() : memory(organizer), cpu(memory) {
        memory.AllocatePages(0xE0, 16, false);
        for (int window = 0; window < 16; ++window)
            organizer.SetPageRegister(window, 0xE0 + window);
        organizer.EnablePaging();
        cpu.SetInterruptController(&unit);
        cpu.SP = 0x8000;
    }
    void Load(uint16_t address, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) memory.Write(address++, b);
    }
    uint16_t StackTop() { return memory.ReadWord(cpu.SP); }

    MemoryOrganizer organizer;
    ChipMemory memory;
    ChipCpu8080 cpu;
    IfInterrupt unit;
};

TEST_F(InterruptWithCpu, RequestIsTakenOnlyAfterTheInstructionFollowingEi) {
    cpu.AddTickListener(TickListener::Bind<&IfInterrupt::OnTick>(&unit));
    Load(0x0000, {0xFB, 0x00, 0x00, 0x00});        // EI; NOP; NOP; NOP
    Load(0x0008, {0xFB, 0x00, 0x00, 0x00, 0x00});  // EI; NOP...
    unit.PortWrite(0xD4, 0x07, 0);
    unit.SetPortControls(1, 1);
    unit.SetSourceLine(6, 1);
    cpu.Step();  // EI
    EXPECT_FALSE(cpu.IntAck);
    cpu.Step();  // NOP: INTE comes on at its end and the unit issues INT
    EXPECT_TRUE(cpu.IntAck);
    cpu.Step();  // RST 1
    EXPECT_EQ(cpu.PC, 0x0008);
    EXPECT_EQ(StackTop(), 0x0002);
    // Interrupts on again, the request still latched: nothing until the status is written.
    for (int i = 0; i < 4; ++i) cpu.Step();
    EXPECT_TRUE(cpu.Inte);
    EXPECT_EQ(cpu.PC, 0x000C);
    unit.PortWrite(0xD4, 0x07, 0);
    cpu.Step();
    EXPECT_TRUE(cpu.IntAck);
    cpu.Step();
    EXPECT_EQ(cpu.PC, 0x0008);
}

TEST_F(InterruptWithCpu, TimerCounter1InterruptsOnceUntilTheStatusIsWritten) {
    IfTimer timer(&unit);
    timer.SetClockOptions(false, true, false);
    cpu.AddTickListener(TickListener::Bind<&IfTimer::OnTick>(&timer));
    cpu.AddTickListener(TickListener::Bind<&IfInterrupt::OnTick>(&unit));
    timer.PortWrite(0xD3, 0x74, 0);  // counter 1: rate generator, 200 clocks
    timer.PortWrite(0xD1, 200, 0);
    timer.PortWrite(0xD1, 0, 0);
    unit.PortWrite(0xD4, 0x07, 0);
    unit.SetPortControls(1, 1);
    Load(0x0100, {0xFB, 0xC3, 0x01, 0x01});        // EI; loop: JMP loop
    Load(0x0008, {0x04, 0xFB, 0xC3, 0x0A, 0x00});  // INR B; EI; self: JMP self
    cpu.PC = 0x0100;
    cpu.B = 0;
    int entries = 0;
    for (int i = 0; i < 400; ++i) {
        cpu.Step();
        if (cpu.PC == 0x0008) ++entries;
    }
    EXPECT_EQ(entries, 1);
    EXPECT_EQ(cpu.B, 1);
    EXPECT_EQ(StackTop(), 0x0101);  // taken inside the loop
    unit.PortWrite(0xD4, 0x07, 0);  // the still-latched request is served again
    cpu.Step();
    cpu.Step();
    EXPECT_EQ(cpu.PC, 0x0008);
}

}  // namespace
