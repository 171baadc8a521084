#include <gtest/gtest.h>

#include "TestMemory.h"
#include "debugger/Disassembler.h"
#include "debugger/SymbolTable.h"

using debugger::DisplayFlags;
using debugger::FormatCodeLine;
using debugger::GetMnemonic;
using debugger::NextInstructionAddress;
using debugger::PreviousInstructionAddress;

namespace {

constexpr DisplayFlags kHex8080{};
constexpr DisplayFlags kHexZ80{.Z80Notation = true};
constexpr DisplayFlags kDec8080{.DecimalRadix = true};

std::string LineAt(TestMemory& m, uint16_t address, DisplayFlags flags) {
    return FormatCodeLine(m.memory, address, flags);
}

}  // namespace

TEST(GetMnemonic, PicksTheTableOfTheNotation) {
    EXPECT_EQ(GetMnemonic(0x01, false), " LXI  B,&");
    EXPECT_EQ(GetMnemonic(0xC4, true), " call nz,*");
    EXPECT_EQ(GetMnemonic(0xDD, false), "!CALL *");
    EXPECT_EQ(GetMnemonic(0x76, true), " halt");
}

TEST(FormatCodeLine, ShowsAddressBytesAndOperand) {
    TestMemory m;
    m.Put(0x1234, {0xCD, 0x78, 0x56});
    uint16_t address = 0x1234;
    EXPECT_EQ(FormatCodeLine(m.memory, address, kHex8080), " #1234 CD7856   CALL #5678");
    EXPECT_EQ(address, 0x1237);

    m.Put(0x2000, {0x3E, 0x0F, 0x00, 0xAF});
    EXPECT_EQ(LineAt(m, 0x2000, kHex8080), " #2000 3E0F     MVI  A,#0F");
    EXPECT_EQ(LineAt(m, 0x2000, kHexZ80), " #2000 3E0F     ld   a,#0F");
    EXPECT_EQ(LineAt(m, 0x2003, kHex8080), " #2003 AF       XRA  A");
    EXPECT_EQ(LineAt(m, 0x2003, kHexZ80), " #2003 AF       xor  a");
}

TEST(FormatCodeLine, UndocumentedOpcodesShowAnExclamationMark) {
    TestMemory m;
    m.Put(0, {0xCB, 0x34, 0x12, 0x08, 0xD9});
    EXPECT_EQ(LineAt(m, 0, kHex8080), " #0000 CB3412  !JMP  #1234");
    EXPECT_EQ(LineAt(m, 0, kHexZ80), " #0000 CB3412  !jp   #1234");
    EXPECT_EQ(LineAt(m, 3, kHex8080), " #0003 08      !NOP");
    EXPECT_EQ(LineAt(m, 4, kHexZ80), " #0004 D9      !ret");
}

TEST(FormatCodeLine, RestartTargetIsANumberOnlyInZ80Notation) {
    TestMemory m;
    m.Put(0x100, {0xFF, 0xC7});
    EXPECT_EQ(LineAt(m, 0x100, kHex8080), " #0100 FF       RST  7");
    EXPECT_EQ(LineAt(m, 0x100, kHexZ80), " #0100 FF       rst  #38");
    EXPECT_EQ(LineAt(m, 0x100, DisplayFlags{.DecimalRadix = true, .Z80Notation = true}),
              " 00256 FF       rst  56");
    EXPECT_EQ(LineAt(m, 0x101, kHexZ80), " #0101 C7       rst  #00");
}

TEST(FormatCodeLine, DecimalRadixKeepsTheBytesHexadecimal) {
    TestMemory m;
    m.Put(0x1234, {0xCD, 0x78, 0x56, 0xD3, 0xFE});
    EXPECT_EQ(LineAt(m, 0x1234, kDec8080), " 04660 CD7856   CALL 22136");
    EXPECT_EQ(LineAt(m, 0x1237, kDec8080), " 04663 D3FE     OUT  254");
    EXPECT_EQ(LineAt(m, 0x1237, DisplayFlags{.DecimalRadix = true, .Z80Notation = true}),
              " 04663 D3FE     out  (254),a");
}

TEST(FormatCodeLine, OperandsWrapPastTheTopOfMemory) {
    TestMemory m;
    m.Put(0xFFFF, {0x21});
    m.Put(0x0000, {0x34, 0x12});
    uint16_t address = 0xFFFF;
    EXPECT_EQ(FormatCodeLine(m.memory, address, kHex8080), " #FFFF 213412   LXI  H,#1234");
    EXPECT_EQ(address, 0x0002);
}

TEST(FormatCodeLine, UnmappedMemoryReadsFFAndRaisesTheFault) {
    TestMemory m;
    m.Unmap(5);
    EXPECT_EQ(LineAt(m, 0x5000, kHex8080), " #5000 FF       RST  7");
    EXPECT_TRUE(m.memory.Fault());
}

TEST(NextInstructionAddress, AddsInstructionLengthsWithWrapAround) {
    TestMemory m;
    m.Put(0x100, {0x00, 0x3E, 0x01, 0xC3, 0x00, 0x00});
    EXPECT_EQ(NextInstructionAddress(m.memory, 0x100, 0), 0x100);
    EXPECT_EQ(NextInstructionAddress(m.memory, 0x100, 1), 0x101);
    EXPECT_EQ(NextInstructionAddress(m.memory, 0x100, 3), 0x106);
    m.Put(0xFFFE, {0xCD});
    EXPECT_EQ(NextInstructionAddress(m.memory, 0xFFFE, 1), 0x0001);
}

TEST(PreviousInstructionAddress, FindsTheLowestStartThatReachesTheAddress) {
    TestMemory m;
    // LXI H,0 / NOP / MVI A,1 / HLT: the NOP at 0x103 falls short of 0x106, the MVI reaches it.
    m.Put(0x100, {0x21, 0x00, 0x00, 0x00, 0x3E, 0x01, 0x76});
    EXPECT_EQ(PreviousInstructionAddress(m.memory, 0x106, 1), 0x104);
    EXPECT_EQ(PreviousInstructionAddress(m.memory, 0x106, 3), 0x100);
    EXPECT_EQ(PreviousInstructionAddress(m.memory, 0x106, 0), 0x106);
}

TEST(PreviousInstructionAddress, LooksBackAcrossAddressZero) {
    TestMemory m;
    m.Put(0xFFFE, {0xC3, 0x00});
    m.Put(0x0000, {0x00});
    EXPECT_EQ(PreviousInstructionAddress(m.memory, 0x0001, 1), 0xFFFE);
}

TEST(FormatCodeLine, NamesTheLabelsOfWordOperandsOnly) {
    TestMemory m;
    m.Put(0x0100, {0xCD, 0x00, 0x02, 0x21, 0x00, 0x40, 0x3E, 0x40, 0xC3, 0x34, 0x12});
    debugger::SymbolTable symbols;
    symbols.Add("ADDIT", 0x0200);
    symbols.Add("BUF", 0x4000);
    symbols.Add("SMALL", 0x0040);
    uint16_t at = 0x100;
    EXPECT_EQ(FormatCodeLine(m.memory, at, kHex8080, &symbols), " #0100 CD0002   CALL ADDIT");
    EXPECT_EQ(FormatCodeLine(m.memory, at, kHex8080, &symbols), " #0103 210040   LXI  H,BUF");
    // A byte that happens to equal a label's address is a number.
    EXPECT_EQ(FormatCodeLine(m.memory, at, kHex8080, &symbols), " #0106 3E40     MVI  A,#40");
    EXPECT_EQ(FormatCodeLine(m.memory, at, kHex8080, &symbols), " #0108 C33412   JMP  #1234");
    at = 0x100;
    EXPECT_EQ(FormatCodeLine(m.memory, at, kDec8080, &symbols), " 00256 CD0002   CALL ADDIT");
}
