#include <gtest/gtest.h>

#include "debugger/BreakpointEdits.h"
#include "debugger/SymbolTable.h"
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

TEST_F(BreakpointEdits, TheDialogAddsConditionsHitCountsAndWatchesOrRefusesWithoutAChange) {
    debugger::SymbolTable symbols;
    symbols.Add("LOOP", 0x0100);
    symbols.Add("BUF", 0x4000);
    debugger::BreakpointNotes notes;
    const auto refused = [&](const char* address, const char* condition, const char* hits) {
        const auto refusal =
            debugger::AddListedBreakpoint(core, notes, address, condition, hits, symbols);
        return refusal ? refusal->field : std::string();
    };
    EXPECT_EQ(refused("NOWHERE", "", ""), "Address");
    EXPECT_EQ(refused("LOOP", "HL=", ""), "Condition");
    EXPECT_EQ(refused("LOOP", "B<>0", "=0"), "Hits");
    EXPECT_TRUE(core.BreakpointList().empty());

    // From the second arrival with B = 3 on; arrivals with another B do not count.
    ASSERT_EQ(refused("LOOP+0", "B=3", ">=2"), "");
    ASSERT_EQ(core.BreakpointList().size(), 1u);
    const int id = core.BreakpointList()[0].id;
    cpu.B = 1;
    EXPECT_FALSE(core.BreakHere(0x100));
    cpu.B = 3;
    EXPECT_FALSE(core.BreakHere(0x100));
    cpu.B = 1;
    EXPECT_FALSE(core.BreakHere(0x100));
    cpu.B = 3;
    EXPECT_TRUE(core.BreakHere(0x100));
    EXPECT_EQ(core.LastStop().breakpointId, id);
    EXPECT_EQ(core.BreakpointList()[0].hits, 2u);
    // The mark column sets and clears a slot of its own there and leaves the dialog's alone.
    EXPECT_TRUE(debugger::ToggleBreakpointAt(core, 0x100));
    EXPECT_EQ(core.Breakpoints[1].active, 1);
    EXPECT_TRUE(debugger::ToggleBreakpointAt(core, 0x100)) << "the dialog's still marks it";
    EXPECT_EQ(core.BreakpointList().size(), 1u);
    core.Breakpoints[1] = {};

    EXPECT_EQ(debugger::AddWatch(core, "100", "", true, true, false, symbols)->field, "Port");
    EXPECT_EQ(debugger::AddWatch(core, "BUF", "", false, false, false, symbols)->field, "Access");
    EXPECT_TRUE(core.Watchpoints().empty());
    EXPECT_FALSE(debugger::AddWatch(core, "BUF", "BUF+0FH", false, false, true, symbols));
    EXPECT_FALSE(debugger::AddWatch(core, "0F8H", "", true, true, true, symbols));
    ASSERT_EQ(core.Watchpoints().size(), 2u);
    EXPECT_EQ(core.Watchpoints()[0].from, 0x4000);
    EXPECT_EQ(core.Watchpoints()[0].to, 0x400F);
    EXPECT_TRUE(core.Watchpoints()[1].port);
    EXPECT_EQ(core.Watchpoints()[1].to, 0xF8);

    // The list as the dialog shows it, slots first; removing a row takes exactly that one.
    core.Breakpoints[2] = {0x0123, 1};
    const auto rows = debugger::BreakpointRows(core, notes, {}, &symbols);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].kind, debugger::BreakpointRow::Kind::Slot);
    EXPECT_EQ(rows[0].key, 2);
    EXPECT_EQ(rows[0].where, "#0123 LOOP+23H");
    EXPECT_EQ(rows[1].where, "#0100 LOOP");
    EXPECT_EQ(rows[1].condition, "B=3");
    EXPECT_EQ(rows[1].hitRule, ">=2");
    EXPECT_EQ(rows[1].hits, 2u);
    EXPECT_EQ(rows[2].where, "#4000 BUF - #400F BUF+0FH");
    EXPECT_EQ(rows[3].where, "#F8");
    EXPECT_TRUE(debugger::RemoveRow(core, notes, rows[1]));
    EXPECT_TRUE(debugger::RemoveRow(core, notes, rows[0]));
    EXPECT_TRUE(core.BreakpointList().empty());
    EXPECT_EQ(core.Breakpoints[2].active, 0);
    EXPECT_EQ(core.Watchpoints().size(), 2u);
    EXPECT_EQ(notes.Condition(id), "");
}

}  // namespace
