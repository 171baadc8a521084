#include <gtest/gtest.h>

#include "debugger/BreakpointEdits.h"
#include "support/CpuFixture.h"

namespace {

class BreakpointEdits : public CpuFixture {
  protected:
    BreakpointEdits() { core.BindMachine(&cpu, &memory); }

    debugger::DebuggerCore core;
};

TEST_F(BreakpointEdits, TheMarkColumnFillsTheSlotsThenTheListAndClearsOnlyItsOwn) {
    // Seven lines clicked: six slots, then one list entry of the window's that really stops.
    for (uint16_t at = 0x100; at < 0x107; ++at) EXPECT_TRUE(debugger::ToggleBreakpointAt(core, at));
    for (int slot = 1; slot <= 6; ++slot) {
        EXPECT_EQ(core.Breakpoints[static_cast<size_t>(slot)].address, 0xFF + slot);
        EXPECT_EQ(core.Breakpoints[static_cast<size_t>(slot)].active, 1);
    }
    ASSERT_EQ(core.BreakpointList().size(), 1u);
    EXPECT_EQ(core.BreakpointList()[0].address, 0x106);
    EXPECT_EQ(core.BreakpointList()[0].group, debugger::kWindowGroup);
    EXPECT_TRUE(core.BreakHere(0x106));
    EXPECT_FALSE(debugger::BreakpointMarked(core, 0x107));

    // Cleared again: the slot goes off (its address kept, as a tick would leave it) and the
    // next click takes that slot before any list entry.
    EXPECT_FALSE(debugger::ToggleBreakpointAt(core, 0x102));
    EXPECT_EQ(core.Breakpoints[3].active, 0);
    EXPECT_FALSE(core.BreakHere(0x102));
    EXPECT_FALSE(debugger::ToggleBreakpointAt(core, 0x106));
    EXPECT_TRUE(core.BreakpointList().empty());
    EXPECT_FALSE(core.BreakHere(0x106));
    EXPECT_TRUE(debugger::ToggleBreakpointAt(core, 0x200));
    EXPECT_EQ(core.Breakpoints[3].address, 0x200);
    EXPECT_EQ(core.Breakpoints[3].active, 1);

    // The adapter's breakpoint shows a mark but is not the window's to clear: a click adds the
    // window's own, the next takes that away and leaves the adapter's standing.
    debugger::Breakpoint adapter;
    adapter.group = "adapter";
    adapter.address = 0x300;
    core.AddBreakpoint(adapter);
    EXPECT_TRUE(debugger::BreakpointMarked(core, 0x300));
    EXPECT_TRUE(debugger::ToggleBreakpointAt(core, 0x300));
    EXPECT_EQ(core.BreakpointList().size(), 2u);
    EXPECT_TRUE(debugger::ToggleBreakpointAt(core, 0x300)) << "the adapter's still marks it";
    ASSERT_EQ(core.BreakpointList().size(), 1u);
    EXPECT_EQ(core.BreakpointList()[0].group, "adapter");
    EXPECT_TRUE(core.BreakHere(0x300));

    // The step's temporary slot is nobody's breakpoint to show.
    core.Breakpoints[0] = {0x400, 1};
    EXPECT_FALSE(debugger::BreakpointMarked(core, 0x400));
}

}  // namespace
