#include <gtest/gtest.h>

#include "debugger/DebuggerCore.h"
#include "support/CpuFixture.h"

namespace {

class DebuggerStops : public CpuFixture {
  protected:
    DebuggerStops() { core.BindMachine(&cpu, &memory); }

    // Executes instructions as the run loop's careful path does; the depth after each.
    std::vector<size_t> Depths(int count) {
        std::vector<size_t> depths;
        for (int i = 0; i < count; ++i) {
            core.ExecuteOne();
            depths.push_back(core.CallStack().size());
        }
        return depths;
    }

    debugger::DebuggerCore core;
    FakeInterruptController controller;
};

TEST_F(DebuggerStops, CallStackFollowsCallsRestartsInterruptsAndTheirReturns) {
    // 0100 LXI SP,3000 / CALL 0200 / HLT; 0200 PUSH B / RST 1 / POP B / RET; 0008 RET.
    Poke(0x100, {0x31, 0x00, 0x30, 0xCD, 0x00, 0x02, 0x76});
    Poke(0x200, {0xC5, 0xCF, 0xC1, 0xC9});
    Poke(0x008, {0xC9});
    cpu.PC = 0x100;
    EXPECT_EQ(Depths(4), (std::vector<size_t>{0, 1, 1, 2})) << "a PUSH is no call";
    ASSERT_EQ(core.CallStack().size(), 2u);
    const debugger::CallFrame outer = core.CallStack()[0], inner = core.CallStack()[1];
    EXPECT_EQ(outer.callAt, 0x103);
    EXPECT_EQ(outer.target, 0x200);
    EXPECT_EQ(outer.returnSp, 0x2FFE);
    EXPECT_EQ(inner.callAt, 0x201);
    EXPECT_EQ(inner.target, 0x008);
    EXPECT_EQ(inner.returnSp, 0x2FFA);
    EXPECT_FALSE(inner.interrupt);

    // An interrupt arriving in the routine: the unit's restart, returning to where it came in.
    cpu.SetInterruptController(&controller);
    cpu.SetInte(true);
    ASSERT_TRUE(cpu.AcceptInterrupt());
    EXPECT_EQ(Depths(1), (std::vector<size_t>{3}));
    EXPECT_TRUE(core.CallStack().back().interrupt);
    EXPECT_EQ(core.CallStack().back().callAt, 0x008);
    EXPECT_EQ(Depths(4), (std::vector<size_t>{2, 1, 1, 0}));  // RET, RET, POP B, RET
    EXPECT_EQ(cpu.PC, 0x106);

    // A program that resets its stack leaves its calls behind.
    Poke(0x300, {0xCD, 0x00, 0x04});
    Poke(0x400, {0x31, 0x00, 0x40});
    cpu.PC = 0x300;
    EXPECT_EQ(Depths(2), (std::vector<size_t>{1, 0}));
}

TEST_F(DebuggerStops, WatchesNameTheInstructionTheAddressAndTheValue) {
    cpu.SP = 0x3000;
    cpu.A = 0x0A;
    cpu.SetBC(0x1234);
    cpu.F = 0x02;  // Z clear: CZ is not taken
    // STA 4020 / LDA 4020 / CZ 0500 / PUSH B / OUT 10 / IN 11.
    Poke(0x100, {0x32, 0x20, 0x40, 0x3A, 0x20, 0x40, 0xCC, 0x00, 0x05, 0xC5, 0xD3, 0x10, 0xDB,
                 0x11});
    cpu.PC = 0x100;
    debugger::Watchpoint sum;
    sum.from = sum.to = 0x4020;
    const int sumId = core.AddWatchpoint(sum);
    debugger::Watchpoint stack;
    stack.from = 0x2FFE;
    stack.to = 0x2FFF;
    core.AddWatchpoint(stack);
    debugger::Watchpoint port;
    port.port = true;
    port.from = port.to = 0x11;
    port.onRead = true;
    port.onWrite = false;
    core.AddWatchpoint(port);
    EXPECT_TRUE(core.Careful()) << "a watch needs every instruction looked at";

    std::vector<bool> fired;
    for (int i = 0; i < 6; ++i) {
        core.ExecuteOne();
        fired.push_back(core.WatchFired());
        if (i == 0) {
            const debugger::StopInfo& stop = core.LastStop();
            EXPECT_EQ(stop.reason, debugger::StopInfo::Reason::Watch);
            EXPECT_EQ(stop.breakpointId, sumId);
            EXPECT_EQ(stop.instructionAt, 0x100);
            EXPECT_EQ(stop.address, 0x4020);
            EXPECT_EQ(stop.value, 0x0A);
            EXPECT_TRUE(stop.write);
        }
        if (i == 3) EXPECT_EQ(core.LastStop().address, 0x2FFF) << "PUSH writes the high byte first";
    }
    // The read of the written byte is no write; the call not taken touches no stack; the port
    // watch is on reads only.
    EXPECT_EQ(fired, (std::vector<bool>{true, false, false, true, false, true}));
    EXPECT_TRUE(core.LastStop().port);
    EXPECT_EQ(core.LastStop().address, 0x11);

    core.RemoveGroup("");
    EXPECT_TRUE(core.Watchpoints().empty());
    EXPECT_FALSE(core.Careful());
}

TEST_F(DebuggerStops, ListedBreakpointsCountArrivalsWhereTheirConditionHolds) {
    debugger::Breakpoint every;
    every.group = "a";
    every.address = 0x200;
    every.condition = [](const ChipCpu8080& c, const ChipMemory&) { return c.B != 0; };
    debugger::Breakpoint second = every;
    second.group = "b";
    second.condition = {};
    second.hitRule = [](uint64_t hits) { return hits == 2; };
    const int everyId = core.AddBreakpoint(every);
    const int secondId = core.AddBreakpoint(second);
    EXPECT_TRUE(core.IsBreakpoint(0x200));
    EXPECT_FALSE(core.BreakHere(0x201));

    std::vector<int> stops;
    for (uint8_t b : {1, 0, 2}) {
        cpu.B = b;
        stops.push_back(core.BreakHere(0x200) ? core.LastStop().breakpointId : 0);
    }
    // The first fires while B is not zero, the second on its second arrival only.
    EXPECT_EQ(stops, (std::vector<int>{everyId, secondId, everyId}));
    EXPECT_EQ(core.BreakpointList()[0].hits, 2u);
    EXPECT_EQ(core.BreakpointList()[1].hits, 3u);
    cpu.B = 0;
    EXPECT_FALSE(core.BreakHere(0x200)) << "the fourth arrival, B zero";

    core.RemoveGroup("a");
    ASSERT_EQ(core.BreakpointList().size(), 1u);
    EXPECT_EQ(core.BreakpointList()[0].id, secondId);
    core.RemoveGroup("b");
    EXPECT_FALSE(core.IsBreakpoint(0x200));
    EXPECT_FALSE(core.Careful());
    core.AddExtraBreakpoint(0x300);
    EXPECT_TRUE(core.BreakHere(0x300)) << "the command line's breakpoints stay apart";
}

}  // namespace
