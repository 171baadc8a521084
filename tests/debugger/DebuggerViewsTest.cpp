#include <gtest/gtest.h>

#include "debugger/DebuggerSettings.h"
#include "debugger/DebuggerViews.h"
#include "debugger/InstructionTrace.h"
#include "debugger/MemorySearch.h"
#include "host/config/ConfigDocument.h"
#include "support/CpuFixture.h"

namespace {

using namespace debugger;

constexpr DisplayFlags kHex{};
constexpr DisplayFlags kDec{.DecimalRadix = true};

class DebuggerViews : public CpuFixture {};

TEST_F(DebuggerViews, RegistersFlagsAndStackInBothRadixes) {
    cpu.SetPSW(0x3E95);  // S, AC, P, CY set; Z clear
    cpu.SetBC(0x1234);
    cpu.SP = 0xFFFE;
    cpu.ClockTicks = -1;
    Poke(0xFFFE, {0x34, 0x12});
    Poke(0x0000, {0xCD, 0xAB});  // the stack wraps to 0000h
    RegisterTexts hex = FormatRegisters(cpu, memory, kHex);
    EXPECT_EQ(hex.registers[0], "AF:#3E95");
    EXPECT_EQ(hex.registers[1], "BC:#1234");
    EXPECT_EQ((std::array<std::string, 6>{" M", "NZ", "AC", "PE", " C", "DI"}), hex.flags);
    EXPECT_EQ(hex.stackAddresses[0], "#FFFE");
    EXPECT_EQ(hex.stackValues[0], "#1234");
    EXPECT_EQ(hex.stackAddresses[1], "#0000");
    EXPECT_EQ(hex.stackValues[1], "#ABCD");
    EXPECT_EQ(hex.ticks, "T:2147483647");
    RegisterTexts dec = FormatRegisters(cpu, memory, kDec);
    EXPECT_EQ(dec.registers[1], "BC:04660");
    EXPECT_EQ(dec.stackValues[1], "43981");

    SetRegisterValue(cpu, 0, 0x12FF);
    EXPECT_EQ(cpu.PSW(), 0x12D7) << "bits 3 and 5 clear, bit 1 set";
    ToggleFlag(cpu, 1);
    EXPECT_EQ(cpu.F, 0x97);
    ToggleFlag(cpu, 5);
    EXPECT_TRUE(cpu.Inte);
}

TEST_F(DebuggerViews, MemoryMapChipLabelsAndPageHints) {
    organizer.SetPageRegister(5, 0xE5);
    organizer.SetPageRegister(11, 0xEB);
    const auto map = FormatMemoryMap(organizer, kHex);
    EXPECT_EQ(map[0], "0:#E0 1:#E1 2:#E2 3:#E3 4:#E4 5:#E5 6:#E6 7:#E7");
    EXPECT_EQ(map[1].substr(0, 11), "8:#E8 9:#E9");
    EXPECT_EQ(FormatMemoryMap(organizer, kDec)[0].substr(0, 11), "0:224 1:225");
    // Six characters a group; the first half character belongs to the group before.
    EXPECT_EQ(MemoryMapGroup(0, 0), 0);
    EXPECT_EQ(MemoryMapGroup(0, 31), 5);
    EXPECT_EQ(MemoryMapGroup(1, 18), 11);
    EXPECT_EQ(MemoryMapGroup(1, 200), 15);
    const auto chips = FormatChipLabels(0x10, 0x1B, 0x7F, 0x40, kHex);
    EXPECT_EQ(chips[0], "R:#10");
    EXPECT_EQ(chips[1], "C:#B");
    EXPECT_EQ(chips[2], "I:#7F #40");
    EXPECT_EQ(FormatChipLabels(0x10, 12, 0, 0, kDec)[1], "C:12");
}

TEST_F(DebuggerViews, ListingLinesCaptionAndScrollingBounds) {
    Poke(0x4000, {'H', 'i', 0x00, 0x7F, 0x41, 0x42, 0x43, 0x44});
    uint16_t at = 0x4000;
    EXPECT_EQ(FormatDumpLine(memory, at, kDump, kHex),
              " #4000  #48 #69 #00 #7F #41 #42 #43 #44  Hi..ABCD");
    EXPECT_EQ(at, 0x4008);
    at = 0x4000;
    EXPECT_EQ(FormatDumpLine(memory, at, kDump, kDec).substr(0, 16), " 16384  072 105 ");
    at = 0x4000;
    EXPECT_EQ(FormatDumpLine(memory, at, kAscii, kHex).size(), 1 + 5 + 2 + 1 + 32u);
    EXPECT_EQ(at, 0x4020);

    DebuggerListing listing;
    listing.current = kMem1;
    listing.sources[kMem1] = {0x0000, 0, kDisassembly};
    listing.shownType = kDisassembly;
    Poke(0xFFFD, {0xC3, 0x00, 0x00});  // JMP 0 ends memory
    ASSERT_TRUE(listing.Scroll(cpu, memory, true, false, false));
    EXPECT_EQ(listing.Current().offset, -3) << "up from 0000h goes back across the top";
    EXPECT_EQ(listing.Start(cpu), 0xFFFD);
    EXPECT_EQ(listing.Lines(cpu, memory, kHex)[0], " #FFFD C30000   JMP  #0000");
    EXPECT_EQ(listing.Caption(kHex), "(MEM1-#0003)");
    ASSERT_TRUE(listing.Scroll(cpu, memory, false, false, false));
    EXPECT_EQ(listing.Current().offset, 0);

    listing.shownType = listing.Current().type = kDump;
    listing.Current().offset = 0x7FF8;
    EXPECT_TRUE(listing.Scroll(cpu, memory, false, false, false));
    EXPECT_EQ(listing.Current().offset, 0x8000);
    EXPECT_FALSE(listing.Scroll(cpu, memory, false, false, false)) << "0x8000 is the limit";
    EXPECT_FALSE(listing.Scroll(cpu, memory, false, false, true));
    listing.Current().offset = -0x7FB8;
    EXPECT_FALSE(listing.Scroll(cpu, memory, true, true, false)) << "-0x8000 likewise";
    EXPECT_EQ(listing.Current().offset, -0x7FB8);
    // Shift with Ctrl moves a MEM source's base instead.
    EXPECT_TRUE(listing.Scroll(cpu, memory, true, true, true));
    EXPECT_EQ(listing.Current().base, 0xFFFF);
    EXPECT_EQ(listing.LineAddress(cpu, memory, 2), static_cast<uint16_t>(0xFFFF - 0x7FB8 + 16));
}

// The debugger's F3: a match moves the listing, a register source by the nearest offset.
TEST_F(DebuggerViews, SearchMatchesMoveTheListing) {
    Poke(0x9000, {0xDE, 0xAD});
    SearchPattern pattern;
    pattern.Values[0] = 0xDE;
    pattern.Values[1] = 0xAD;
    pattern.Masks[0] = pattern.Masks[1] = 0xFF;
    DebuggerListing listing;
    listing.current = kSP;
    cpu.SP = 0x0F00;
    MemorySearch search;
    ASSERT_EQ(search.FindNext(memory, pattern, true, listing.Base(cpu, listing.current)),
              SearchOutcome::Found);
    listing.MoveTo(cpu, search.Current());
    EXPECT_EQ(listing.Current().offset, -0x7F00) << "0x8100 up is 0x7F00 down";
    EXPECT_EQ(listing.Start(cpu), 0x9000);
    cpu.SP = 0x1000;
    listing.MoveTo(cpu, 0x9000);
    EXPECT_EQ(listing.Current().offset, 0x8000);
    listing.current = kMem2;
    listing.sources[kMem2] = {0x1234, 7, kDump};
    listing.MoveTo(cpu, 0x9000);
    EXPECT_EQ(listing.sources[kMem2].base, 0x9000);
    EXPECT_EQ(listing.sources[kMem2].offset, 0);
}

TEST_F(DebuggerViews, NestingStackFollowsOperandsAndRefusesATwelfth) {
    DebuggerListing listing;  // (SP) at first, a register source
    cpu.SP = 0x8000;
    listing.Current().offset = 4;
    ASSERT_TRUE(listing.Push(cpu, 0x1234));
    EXPECT_EQ(listing.current, kMem1);
    EXPECT_EQ(listing.Start(cpu), 0x1234);
    EXPECT_EQ(listing.shownType, kDisassembly);
    for (int i = 1; i < DebuggerListing::kMaxNesting; ++i) {
        ASSERT_TRUE(listing.Push(cpu, static_cast<uint16_t>(i)));
    }
    EXPECT_FALSE(listing.Push(cpu, 0x9999));
    EXPECT_EQ(listing.nesting.size(), 11u);
    for (int i = 1; i < DebuggerListing::kMaxNesting; ++i) ASSERT_TRUE(listing.Pop());
    EXPECT_EQ(listing.Start(cpu), 0x1234);
    ASSERT_TRUE(listing.Pop());
    // The register source comes back as MEM1 at the address it showed.
    EXPECT_EQ(listing.current, kMem1);
    EXPECT_EQ(listing.Start(cpu), 0x8004);
    EXPECT_FALSE(listing.Pop());

    Poke(0x5000, {0xCD, 0x34, 0x12, 0xEF, 0x3E, 0x01});  // CALL 1234h; RST 5; MVI A,1
    uint16_t target = 0;
    ASSERT_TRUE(OperandTarget(memory, 0x5000, target));
    EXPECT_EQ(target, 0x1234);
    ASSERT_TRUE(OperandTarget(memory, 0x5003, target));
    EXPECT_EQ(target, 0x28);
    EXPECT_FALSE(OperandTarget(memory, 0x5004, target));
}

TEST_F(DebuggerViews, ValueToMemoryMenus) {
    DebuggerListing listing;
    cpu.SetHL(0x4000);
    listing.current = kHL;
    listing.sources[kHL] = {0, -0x10, kAscii};
    listing.ValueToMem(4, cpu.HL(), true);  // "MEM2 <- X + Offset"
    EXPECT_EQ(listing.current, kMem2);
    EXPECT_EQ(listing.Start(cpu), 0x3FF0);
    EXPECT_EQ(listing.Current().offset, 0);
    EXPECT_EQ(listing.shownType, kAscii);
    listing.current = kHL;
    listing.ValueToMem(6, cpu.HL(), true);  // "MEM1 <- X | Offset"
    EXPECT_EQ(listing.sources[kMem1].base, 0x4000);
    EXPECT_EQ(listing.sources[kMem1].offset, -0x10);
    listing.ValueToMem(2, 0x1234, false);  // a register label: MEM3 as a dump
    EXPECT_EQ(listing.current, kMem3);
    EXPECT_EQ(listing.Start(cpu), 0x1234);
    EXPECT_EQ(listing.shownType, kDump);
}

TEST(DebuggerLineClicks, ColumnsDecideTheAction) {
    using A = LineAction;
    EXPECT_EQ(ClassifyLineClick(false, true, kDump, 2).action, A::Breakpoint);
    EXPECT_EQ(ClassifyLineClick(false, false, kDump, 2).action, A::None);
    EXPECT_EQ(ClassifyLineClick(false, false, kDisassembly, 17).action, A::InlineAssembler);
    EXPECT_EQ(ClassifyLineClick(false, true, kDisassembly, 17).action, A::None);
    EXPECT_EQ(ClassifyLineClick(false, true, kDump, 22).action, A::Jump);
    EXPECT_EQ(ClassifyLineClick(true, false, kDisassembly, 22).action, A::Nest);
    EXPECT_EQ(ClassifyLineClick(true, false, kDisassembly, 2).action, A::None);
    const LineClick byte = ClassifyLineClick(false, false, kDump, 8 + 4 * 3);  // fourth byte
    EXPECT_EQ(byte.action, A::DumpEditor);
    EXPECT_EQ(byte.index, 3);
    const LineClick character = ClassifyLineClick(false, false, kDump, 41.5 + 5);
    EXPECT_EQ(character.action, A::CharEditor);
    EXPECT_EQ(character.index, 5);
    const LineClick text = ClassifyLineClick(false, false, kAscii, 9 + 20);
    EXPECT_EQ(text.action, A::CharEditor);
    EXPECT_EQ(text.index, 20);
}

TEST_F(DebuggerViews, EditorsCopyAndFill) {
    for (int i = 0; i < 256; ++i)
        Poke(static_cast<uint16_t>(0x4000 + i), {static_cast<uint8_t>(i)});
    CopyMemory(memory, 0x4000, 0x100, 0x4001);  // up by one: no smearing
    EXPECT_EQ(Peek(0x4001), 0x00);
    EXPECT_EQ(Peek(0x4002), 0x01);
    EXPECT_EQ(Peek(0x4100), 0xFF);
    CopyMemory(memory, 0x4001, 0x100, 0x4000);  // and back down
    EXPECT_EQ(Peek(0x4000), 0x00);
    EXPECT_EQ(Peek(0x40FF), 0xFF);
    FillMemory(memory, 0x40FF, 1, 0xAA);
    EXPECT_EQ(Peek(0x40FE), 0xFE);
    EXPECT_EQ(Peek(0x40FF), 0xAA);
    EXPECT_EQ(Peek(0x4100), 0xFF);

    int bad = -1;
    EXPECT_EQ(DumpEditText(memory, 0x4000, kHex), "#00 #01 #02 #03 #04 #05 #06 #07");
    EXPECT_EQ(ApplyDumpEdit(memory, 0x4000, "010 020 300 040 050 060 070 080", kDec, bad),
              DumpEditResult::OutOfRange);
    EXPECT_EQ(bad, 2);
    EXPECT_EQ(Peek(0x4000), 0x00) << "nothing written while one value is wrong";
    EXPECT_EQ(ApplyDumpEdit(memory, 0x4000, "#10 #2", kHex, bad), DumpEditResult::Unreadable);
    // A digit rubbed out is gone, not a zero: "1 " is 1, not 10h.
    EXPECT_EQ(ApplyDumpEdit(memory, 0x4000, "#1  #20 #30 #40 #50 #60 #70 #80", kHex, bad),
              DumpEditResult::Stored);
    EXPECT_EQ(Peek(0x4000), 0x01);
    EXPECT_EQ(ApplyDumpEdit(memory, 0xFFFC, "#10 #20 #30 #40 #50 #60 #70 #80", kHex, bad),
              DumpEditResult::Stored);
    EXPECT_EQ(Peek(0xFFFF), 0x40);
    EXPECT_EQ(Peek(0x0003), 0x80) << "the line wraps to 0000h";

    Poke(0x5000, {'A', 0x01, 'C', 0x7F});
    EXPECT_EQ(CharEditText(memory, 0x5000, 4), "A.C.");
    ApplyCharEdit(memory, 0x5000, "x.y!", 4);
    EXPECT_EQ(Peek(0x5000), 'x');
    EXPECT_EQ(Peek(0x5001), 0x01) << "an untouched dot keeps its byte";
    EXPECT_EQ(Peek(0x5002), 'y');
    EXPECT_EQ(Peek(0x5003), '!');
}

TEST(DebuggerSettings, ChoicesAndBreakpointsSurviveARoundTrip) {
    config::ConfigDocument document;
    ASSERT_EQ(document.LoadFromText("<T version=\"1.2.3.4\"><Debugger radix=\"dec\" "
                                    "notation=\"z80\" list-source=\"bogus\"><Mem2 type=\"ascii\">"
                                    "4660</Mem2></Debugger><BreakPoints><BP3 active=\"true\">256"
                                    "</BP3><BP4 active=\"yes\">512</BP4></BreakPoints></T>",
                                    "1.2.3.4"),
              config::ConfigLoadResult::Usable);
    config::Settings settings(document);
    DebuggerChoices choices;
    DebuggerListing listing;
    DebuggerCore core;
    ReadDebuggerSettings(settings, choices, listing, core);
    EXPECT_TRUE(choices.flags.DecimalRadix);
    EXPECT_TRUE(choices.flags.Z80Notation);
    EXPECT_EQ(choices.highlightColor, 15714740);
    EXPECT_EQ(listing.current, kSP) << "an unknown source means (SP)";
    EXPECT_EQ(listing.sources[kMem2].base, 4660);
    EXPECT_EQ(listing.sources[kMem2].type, kAscii);
    EXPECT_EQ(listing.sources[kMem1].type, kDisassembly);
    EXPECT_EQ(core.Breakpoints[3].address, 256);
    EXPECT_EQ(core.Breakpoints[3].active, 1);
    EXPECT_EQ(core.Breakpoints[4].active, 0) << "only \"true\" is active";

    choices.flags = {};
    listing.current = kHL;
    listing.sources[kMem3] = {0xFFFF, 12, kDump};
    core.Breakpoints[6] = {0xABCD, 1};
    WriteDebuggerSettings(settings, choices, listing, core);
    DebuggerChoices again;
    DebuggerListing listingAgain;
    DebuggerCore coreAgain;
    ReadDebuggerSettings(settings, again, listingAgain, coreAgain);
    EXPECT_FALSE(again.flags.DecimalRadix);
    EXPECT_FALSE(again.flags.Z80Notation);
    EXPECT_EQ(listingAgain.current, kHL);
    EXPECT_EQ(listingAgain.sources[kMem3].base, 0xFFFF);
    EXPECT_EQ(listingAgain.sources[kMem3].offset, 0) << "offsets start at 0";
    EXPECT_EQ(listingAgain.sources[kMem3].type, kDump);
    EXPECT_EQ(coreAgain.Breakpoints[6].address, 0xABCD);
    EXPECT_EQ(coreAgain.Breakpoints[6].active, 1);
    EXPECT_EQ(coreAgain.Breakpoints[3].address, 256);
}

}  // namespace

namespace {

class TraceLines : public CpuFixture {};

TEST_F(TraceLines, AnInterruptShowsAsTheRestartItExecutes) {
    FakeInterruptController unit;
    unit.bytes[0] = 0xEF;  // RST 5
    cpu.SetInterruptController(&unit);
    Poke(0x0100, {0x00});
    cpu.PC = 0x0100;
    cpu.SP = 0x8000;
    cpu.SetInte(true);
    ASSERT_TRUE(cpu.AcceptInterrupt());
    const std::string line = debugger::FormatTraceLine(cpu, memory, 42);
    EXPECT_EQ(line.substr(0, 20), "0100 EF       RST  5");
    EXPECT_NE(line.find(" SP=8000 T=42"), std::string::npos) << line;
    cpu.Step();
    EXPECT_EQ(cpu.PC, 0x0028) << "the line told what the processor then did";
    // Unmapped code shows as FF without raising the memory's fault.
    organizer.SetPageRegister(0x0A, 0x55);
    cpu.PC = 0xA000;
    EXPECT_EQ(debugger::FormatTraceLine(cpu, memory, 0).substr(0, 20), "A000 FF       RST  7");
    EXPECT_FALSE(memory.Fault());
}

}  // namespace
