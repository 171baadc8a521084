#include <gtest/gtest.h>

#include "debugger/DebuggerCore.h"
#include "support/CpuFixture.h"

namespace {

class DebuggerContract : public CpuFixture {
  protected:
    DebuggerContract() { core.BindMachine(&cpu, &memory); }
    debugger::DebuggerCore core;
};

TEST_F(DebuggerContract, BreakpointsMatchOnlyActiveSlots) {
    EXPECT_FALSE(core.AnyBreakpointActive());
    core.Breakpoints[3] = {0x1234, 0};
    EXPECT_FALSE(core.IsBreakpoint(0x1234));
    EXPECT_FALSE(core.AnyBreakpointActive());
    core.Breakpoints[3].active = 1;
    EXPECT_TRUE(core.IsBreakpoint(0x1234));
    EXPECT_FALSE(core.IsBreakpoint(0x1235));
    core.Breakpoints[0] = {0x0000, 1};
    EXPECT_TRUE(core.IsBreakpoint(0x0000));
    EXPECT_TRUE(core.AnyBreakpointActive());
}

TEST_F(DebuggerContract, StepOverEndsOnTheReturnToTheCallersStackLevel) {
    // CALL 0200h at 0100h; the routine calls a nested one and returns twice.
    Poke(0x100, {0xCD, 0x00, 0x02, 0x00});
    Poke(0x200, {0xCD, 0x00, 0x03, 0xC9});
    Poke(0x300, {0xC9});
    cpu.SP = 0x3000;
    cpu.PC = 0x100;
    core.DebuggerState = debugger::kSteppingOver;
    core.ReturnSP = cpu.SP;
    core.SavedPrevPC = 0x0042;
    core.SavedCurPC = 0x0100;
    int32_t ticks = 0;
    EXPECT_FALSE(core.WatchReturnStep(ticks));  // CALL 0200h
    EXPECT_EQ(ticks, 17);
    EXPECT_FALSE(core.WatchReturnStep(ticks));  // CALL 0300h
    EXPECT_FALSE(core.WatchReturnStep(ticks)) << "the nested return is one level too deep";
    EXPECT_TRUE(core.WatchReturnStep(ticks));
    EXPECT_EQ(cpu.PC, 0x103);
    EXPECT_EQ(cpu.PrevPC, 0x0042) << "history as if the call were one instruction";
    EXPECT_EQ(cpu.CurPC, 0x0100);
}

TEST_F(DebuggerContract, StepOutEndsOnAReturnAboveTheStartingStack) {
    Poke(0x200, {0xC8, 0xC0});  // RZ (not taken with Z clear); RNZ (taken)
    cpu.SP = 0x2FFE;
    Poke(0x2FFE, {0x03, 0x01});
    cpu.PC = 0x200;
    cpu.F = 0x02;
    core.DebuggerState = debugger::kSteppingOut;
    core.ReturnSP = cpu.SP;
    int32_t ticks = 0;
    EXPECT_FALSE(core.WatchReturnStep(ticks)) << "a conditional return not taken";
    EXPECT_TRUE(core.WatchReturnStep(ticks));
    EXPECT_EQ(cpu.PC, 0x103);
    EXPECT_EQ(cpu.SP, 0x3000);
}

}  // namespace
