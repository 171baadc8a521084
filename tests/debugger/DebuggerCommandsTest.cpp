#include <gtest/gtest.h>

#include "debugger/DebuggerCore.h"
#include "support/MachineFixture.h"

namespace {

// The run and step commands against the machine's own run loop: the ROM maps RAM and jumps to
// 1000h, where a breakpoint hands the machine to the test, which then writes the program.
class DebuggerCommands : public MachineFixture {
  protected:
    void SetUp() override {
        TestRom rom;
        rom.MapRam().Jump(0x1000);
        ASSERT_NO_FATAL_FAILURE(Build(rom));
        core().Breakpoints[1] = {0x1000, 1};
        RunPeriods(1);
        ASSERT_EQ(core().DebuggerState.load(), debugger::kBreakRequested);
        core().Breakpoints[1] = {};
        EnterDebugger();
        // Window 0 becomes RAM too, for the restart's routine at 0038h.
        MachineTestAccess::Organizer(*machine).SetPageRegister(0, 0xE0);
        Put(0x1000, {0x31, 0x00, 0x80,  // LXI SP,8000h
                     0xAF,              // XRA A (Z set)
                     0xCD, 0x00, 0x20,  // 1004 CALL 2000h
                     0xC4, 0x00, 0x20,  // 1007 CNZ 2000h (not taken)
                     0xFF,              // 100A RST 7
                     0xCD, 0x10, 0x20,  // 100B CALL 2010h (leaves by a jump)
                     0x0D,              // 100E DCR C
                     0xC2, 0x0E, 0x10,  // 100F JNZ 100Eh
                     0x76});            // 1012 HLT
        Put(0x2000, {0xCD, 0x08, 0x20,  // CALL 2008h
                     0xC0,              // 2003 RNZ (not taken)
                     0xC9});            // 2004 RET
        Put(0x2008, {0xC9});
        Put(0x2010, {0x33, 0x33, 0xC3, 0x0E, 0x10});  // INX SP; INX SP; JMP 100Eh
        Put(0x0038, {0xD9});                          // the undocumented return
    }

    debugger::DebuggerCore& core() { return machine->Debugger(); }
    ChipCpu8080& cpu() { return MachineTestAccess::Cpu(*machine); }
    void Put(uint16_t address, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) MachineTestAccess::Memory(*machine).Write(address++, b);
    }
    void EnterDebugger() {
        machine->SetPaused(true);
        core().Stop();
    }
    // What the refresh timer and the run loop do until the debugger holds the machine again.
    void RunUntilHeld(int maxPeriods = 50) {
        for (int i = 0; i < maxPeriods; ++i) {
            debugger::RefreshAction action = core().OnRefreshTimer();
            if (action.enter) {
                EnterDebugger();
                return;
            }
            if (action.resume) RunPeriods(1);
        }
        ADD_FAILURE() << "the machine did not stop";
    }
    void StepTo(uint16_t address) {
        for (int i = 0; i < 100 && cpu().PC != address; ++i) core().Step();
        ASSERT_EQ(cpu().PC, address);
    }
};

TEST_F(DebuggerCommands, StepOverACallRunsTheRoutineAndReadsAsOneStep) {
    ASSERT_NO_FATAL_FAILURE(StepTo(0x1004));
    EXPECT_TRUE(core().StepOver());
    EXPECT_EQ(core().DebuggerState.load(), debugger::kSteppingOver);
    RunUntilHeld();
    // The nested call's return and the conditional return not taken did not end it.
    EXPECT_EQ(cpu().PC, 0x1007);
    EXPECT_EQ(cpu().SP, 0x8000);
    EXPECT_EQ(cpu().PrevPC, 0x1003);
    EXPECT_EQ(cpu().CurPC, 0x1004);
    EXPECT_EQ(core().Breakpoints[0].active, 0) << "the temporary breakpoint goes with the stop";

    // A conditional call not taken ends at the temporary breakpoint, with the natural history.
    EXPECT_TRUE(core().StepOver());
    RunUntilHeld();
    EXPECT_EQ(cpu().PC, 0x100A);
    EXPECT_EQ(cpu().PrevPC, 0x1004);
    EXPECT_EQ(cpu().CurPC, 0x1007);

    // A restart is a call; its routine leaves by the undocumented return.
    EXPECT_TRUE(core().StepOver());
    RunUntilHeld();
    EXPECT_EQ(cpu().PC, 0x100B);
    EXPECT_EQ(cpu().CurPC, 0x100A);

    // A routine that drops its return address and jumps back stops at the temporary breakpoint.
    EXPECT_TRUE(core().StepOver());
    RunUntilHeld();
    EXPECT_EQ(cpu().PC, 0x100E);
    EXPECT_EQ(cpu().SP, 0x8000);

    // Any other instruction is a single step, with no run.
    EXPECT_FALSE(core().StepOver());
    EXPECT_EQ(cpu().PC, 0x100F);
    EXPECT_TRUE(core().Stopped());
}

TEST_F(DebuggerCommands, StepOutLeavesTheRoutineThroughNestedCalls) {
    ASSERT_NO_FATAL_FAILURE(StepTo(0x2000));
    EXPECT_TRUE(core().StepOut());
    EXPECT_EQ(core().DebuggerState.load(), debugger::kSteppingOut);
    RunUntilHeld();
    EXPECT_EQ(cpu().PC, 0x1007);
    EXPECT_EQ(cpu().SP, 0x8000);

    // Standing on a return (here a conditional one that is not taken): just that instruction.
    cpu().PC = 0x2003;
    cpu().SP = 0x7FFE;
    EXPECT_FALSE(core().StepOut());
    EXPECT_EQ(cpu().PC, 0x2004);
    EXPECT_FALSE(core().StepOut());
    EXPECT_EQ(cpu().SP, 0x8000);
    EXPECT_TRUE(core().Stopped());
}

TEST_F(DebuggerCommands, RunLeavesABreakpointAtPcAndStopsThereNextTime) {
    ASSERT_NO_FATAL_FAILURE(StepTo(0x100E));
    const uint8_t c = cpu().C;
    core().Breakpoints[4] = {0x100E, 1};
    core().Breakpoints[6] = {0x100E, 1};  // the same address twice behaves as one
    core().Run();
    EXPECT_EQ(core().DebuggerState.load(), debugger::kResumeRequested);
    EXPECT_EQ(cpu().PC, 0x100F) << "the instruction at the breakpoint ran before the machine";
    RunUntilHeld();
    EXPECT_EQ(cpu().PC, 0x100E);
    EXPECT_EQ(cpu().C, static_cast<uint8_t>(c - 1)) << "stopped on the loop's next round";

    // Run to next leaves the loop from its closing jump, however many rounds remain.
    core().Breakpoints[4] = core().Breakpoints[6] = {};
    core().Step();
    ASSERT_EQ(cpu().PC, 0x100F);
    core().RunToNext();
    RunUntilHeld(200);
    EXPECT_EQ(cpu().PC, 0x1012);
    EXPECT_EQ(cpu().C, 0);
    EXPECT_EQ(core().Breakpoints[0].active, 0);
}

// A call that never returns: the step over runs on, says what it runs for, and the user's
// Break stops it where it is, through the same way as a breakpoint.
TEST_F(DebuggerCommands, BreakStopsAStepOverIntoACallThatNeverReturns) {
    Put(0x2020, {0x3C, 0xC3, 0x20, 0x20});  // INR A; JMP 2020h, for ever
    Put(0x1004, {0xCD, 0x20, 0x20});        // CALL 2020h
    StepTo(0x1004);
    EXPECT_FALSE(core().Break()) << "nothing runs to break";
    EXPECT_EQ(core().Running(), debugger::Errand::None);
    ASSERT_TRUE(core().StepOver());
    EXPECT_EQ(core().Running(), debugger::Errand::StepOver);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(core().OnRefreshTimer().resume);
        RunPeriods(1);
    }
    ASSERT_EQ(core().DebuggerState.load(), debugger::kSteppingOver) << "the call never returns";
    const uint8_t a = cpu().A;
    ASSERT_TRUE(core().Break());
    RunPeriods(3);
    EXPECT_EQ(cpu().A, a) << "nothing runs after the break";
    const debugger::RefreshAction action = core().OnRefreshTimer();
    EXPECT_FALSE(action.resume);
    ASSERT_TRUE(action.enter);
    EnterDebugger();
    EXPECT_EQ(core().Running(), debugger::Errand::None);
    EXPECT_TRUE(cpu().PC == 0x2020 || cpu().PC == 0x2021) << cpu().PC;
    EXPECT_EQ(core().Breakpoints[0].active, 0) << "the step's temporary breakpoint is gone";

    // Step out and run to next say so too; Run leaves the machine to itself.
    ASSERT_TRUE(core().StepOut());
    EXPECT_EQ(core().Running(), debugger::Errand::StepOut);
    core().Run();
    EXPECT_EQ(core().Running(), debugger::Errand::None);
    ASSERT_TRUE(core().Break());
    EnterDebugger();
    core().RunToNext();
    EXPECT_EQ(core().Running(), debugger::Errand::ToNext);
}

TEST_F(DebuggerCommands, CommandsOutsideTheStoppedStateAndTheRefreshTimer) {
    core().DebuggerState = debugger::kRunning;
    const uint16_t pc = cpu().PC;
    core().Run();
    EXPECT_EQ(core().DebuggerState.load(), debugger::kRunning) << "run asks nothing while running";
    EXPECT_EQ(cpu().PC, pc);
    debugger::RefreshAction action = core().OnRefreshTimer();
    EXPECT_FALSE(action.resume);
    EXPECT_FALSE(action.enter);
    core().DebuggerState = debugger::kSteppingOut;
    action = core().OnRefreshTimer();
    EXPECT_TRUE(action.resume);
    EXPECT_EQ(core().DebuggerState.load(), debugger::kSteppingOut) << "only 9 becomes 0";
    core().DebuggerState = debugger::kResumeRequested;
    action = core().OnRefreshTimer();
    EXPECT_TRUE(action.resume);
    EXPECT_EQ(core().DebuggerState.load(), debugger::kRunning);
    core().DebuggerState = debugger::kBreakRequested;
    EXPECT_TRUE(core().OnRefreshTimer().enter);
    EXPECT_TRUE(core().Holding());
}

TEST(DebuggerBreakpoints, SetAtUsesTheSelectedOrFirstFreeSlot) {
    debugger::DebuggerCore core;
    EXPECT_EQ(core.SetBreakpointAt(0x1234), 1);
    EXPECT_EQ(core.SetBreakpointAt(0x2345), 2);
    core.Breakpoints[1].active = 0;
    EXPECT_EQ(core.SetBreakpointAt(0x3456), 1) << "the first inactive slot";
    EXPECT_EQ(core.SetBreakpointAt(0x4567, 2), 2) << "a selected item wins";
    EXPECT_EQ(core.Breakpoints[2].address, 0x4567);
    for (int i = 3; i <= 6; ++i) core.SetBreakpointAt(static_cast<uint16_t>(i));
    EXPECT_EQ(core.SetBreakpointAt(0x9999), 0) << "all six in use and none selected";
    for (const auto& slot : core.Breakpoints) EXPECT_NE(slot.address, 0x9999);
    EXPECT_FALSE(core.Careful() && !core.AnyBreakpointActive());
    core.AddExtraBreakpoint(0xABCD);
    EXPECT_TRUE(core.IsBreakpoint(0xABCD));
    core.ClearExtraBreakpoints();
    EXPECT_FALSE(core.IsBreakpoint(0xABCD));
}

}  // namespace
