#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "TestMemory.h"
#include "asm/FileAssembler.h"
#include "debugger/Disassembler.h"
#include "debugger/InlineAsmLine.h"
#include "debugger/InlineAssembler.h"
#include "debugger/LineAssembler.h"
#include "machine/InstructionSet.h"

using debugger::Assemble8080;
using debugger::AssembleZ80;
using debugger::DisplayFlags;

namespace {

struct Assembled {
    int Result = 0;
    uint8_t Opcode = 0;
    uint16_t Operand = 0;
};

Assembled AssembleIn(bool z80, const std::string& text) {
    Assembled a;
    a.Result =
        z80 ? AssembleZ80(text, a.Opcode, a.Operand) : Assemble8080(text, a.Opcode, a.Operand);
    return a;
}

bool Undocumented(int opcode) {
    return debugger::GetMnemonic(uint8_t(opcode), false)[0] == '!';
}

}  // namespace

// The debugger shows an instruction; typing what it shows must give the instruction back, in
// either notation and either radix.
class InlineAsmRoundTrip : public testing::TestWithParam<DisplayFlags> {};

TEST_P(InlineAsmRoundTrip, EveryDocumentedOpcodeAssemblesFromItsOwnLine) {
    const DisplayFlags flags = GetParam();
    TestMemory m;
    for (int opcode = 0; opcode < 256; ++opcode) {
        if (Undocumented(opcode)) continue;
        m.Put(0x4000, {uint8_t(opcode), 0xA5, 0x5A});
        uint16_t address = 0x4000;
        const std::string line = debugger::FormatCodeLine(m.memory, address, flags);
        const std::string text = line.substr(16);  // past the entry's leading blank
        const int length = isa::InstructionLength[opcode];
        Assembled a = AssembleIn(flags.Z80Notation, text);
        ASSERT_EQ(a.Result, -length) << "opcode " << opcode << ": \"" << text << "\"";
        EXPECT_EQ(a.Opcode, opcode) << text;
        const uint16_t operand = length == 3 ? 0x5AA5 : length == 2 ? 0xA5 : 0;
        EXPECT_EQ(a.Operand, operand) << text;
    }
}

TEST_P(InlineAsmRoundTrip, UndocumentedOpcodesPrefillAsTheirDocumentedTwins) {
    const DisplayFlags flags = GetParam();
    TestMemory m;
    for (int opcode = 0; opcode < 256; ++opcode) {
        if (!Undocumented(opcode)) continue;
        m.Put(0x4000, {uint8_t(opcode), 0x34, 0x12});
        const std::string text = debugger::InlineAsmPrefill(m.memory, 0x4000, flags);
        auto outcome = debugger::InlineAsmEnter(m.memory, 0x5000, text, flags.Z80Notation);
        ASSERT_EQ(outcome.FailurePosition, -1) << text;
        const uint8_t stored = m.At(0x5000);
        EXPECT_NE(stored, opcode);
        EXPECT_EQ(debugger::GetMnemonic(stored, flags.Z80Notation).substr(1),
                  debugger::GetMnemonic(uint8_t(opcode), flags.Z80Notation).substr(1));
    }
}

INSTANTIATE_TEST_SUITE_P(Notations, InlineAsmRoundTrip,
                         testing::Values(DisplayFlags{}, DisplayFlags{.Z80Notation = true},
                                         DisplayFlags{.DecimalRadix = true},
                                         DisplayFlags{.DecimalRadix = true, .Z80Notation = true}),
                         [](const testing::TestParamInfo<DisplayFlags>& info) {
                             return std::string(info.param.DecimalRadix ? "Decimal" : "Hex") +
                                    (info.param.Z80Notation ? "Z80" : "Intel");
                         });

std::vector<uint8_t> InlineBytes(bool z80, const std::string& text) {
    Assembled a = AssembleIn(z80, text);
    std::vector<uint8_t> bytes;
    if (a.Result < 0) bytes.push_back(a.Opcode);
    if (a.Result <= -2) bytes.push_back(uint8_t(a.Operand));
    if (a.Result == -3) bytes.push_back(uint8_t(a.Operand >> 8));
    return bytes;
}

std::vector<uint8_t> FileBytes(bool z80, const std::string& text) {
    assembler::AsmResult r = assembler::AssembleSource(" " + text, "line.asm", {.Z80 = z80});
    return r.Ok ? r.Image : std::vector<uint8_t>{};
}

// The field and a source file read the same table, so each documented instruction as the
// debugger shows it gives the same bytes through both; the bytes the 8080 manual gives for a
// few keep a wrong table entry from passing by agreeing with itself.
TEST(InlineAsmAndFileAssembler, GiveTheSameBytes) {
    TestMemory m;
    for (bool z80 : {false, true}) {
        for (int opcode = 0; opcode < 256; ++opcode) {
            if (Undocumented(opcode)) continue;
            m.Put(0x4000, {uint8_t(opcode), 0xA5, 0x5A});
            uint16_t address = 0x4000;
            const std::string text =
                debugger::FormatCodeLine(m.memory, address, {.Z80Notation = z80}).substr(16);
            const std::vector<uint8_t> typed = InlineBytes(z80, text);
            ASSERT_FALSE(typed.empty()) << text;
            EXPECT_EQ(typed, FileBytes(z80, text)) << text;
        }
    }
    struct Manual {
        const char* Intel;
        const char* Zilog;
        std::vector<uint8_t> Bytes;
    };
    const Manual cases[] = {
        {"MOV A,M", "ld a,(hl)", {0x7E}},
        {"LXI SP,#1234", "ld sp,#1234", {0x31, 0x34, 0x12}},
        {"PUSH PSW", "push af", {0xF5}},
        {"RST 7", "rst 56", {0xFF}},
        {"XTHL", "ex (sp),hl", {0xE3}},
        {"CNZ #ABCD", "call nz,#abcd", {0xC4, 0xCD, 0xAB}},
        {"SHLD #4000", "ld (#4000),hl", {0x22, 0x00, 0x40}},
        {"IN #10", "in a,(#10)", {0xDB, 0x10}},
        {"DAD D", "add hl,de", {0x19}},
        {"SBI 200", "sbc a,200", {0xDE, 0xC8}},
        {"STAX B", "ld (bc),a", {0x02}},
        {"RPE", "ret pe", {0xE8}},
        {"PCHL", "jp (hl)", {0xE9}},
        {"CMP M", "cp (hl)", {0xBE}},
    };
    for (const Manual& c : cases) {
        EXPECT_EQ(InlineBytes(false, c.Intel), c.Bytes) << c.Intel;
        EXPECT_EQ(FileBytes(false, c.Intel), c.Bytes) << c.Intel;
        EXPECT_EQ(InlineBytes(true, c.Zilog), c.Bytes) << c.Zilog;
        EXPECT_EQ(FileBytes(true, c.Zilog), c.Bytes) << c.Zilog;
    }
}

// Text, and either the failure position or the opcode, length and operand it must give.
struct AsmCase {
    const char* Text;
    int Result;  // >= 0 failure position, else -length
    int Opcode = 0;
    int Operand = 0;
};

void PrintTo(const AsmCase& c, std::ostream* os) {
    *os << '"' << c.Text << '"';
}

class Intel8080Cases : public testing::TestWithParam<AsmCase> {};

TEST_P(Intel8080Cases, AssembleOrFailAtTheRightCharacter) {
    const AsmCase& c = GetParam();
    Assembled a = AssembleIn(false, c.Text);
    ASSERT_EQ(a.Result, c.Result);
    if (c.Result < 0) {
        EXPECT_EQ(a.Opcode, c.Opcode);
        EXPECT_EQ(a.Operand, c.Operand);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, Intel8080Cases,
    testing::Values(AsmCase{"MVI A,#3F", -2, 0x3E, 0x3F}, AsmCase{"LXI H,#FFFF", -3, 0x21, 0xFFFF},
                    AsmCase{"LXI H,65536", 6}, AsmCase{"MOV A, B", 6},
                    AsmCase{"MOV M,M", -1, 0x76, 0}, AsmCase{"  MOV   A,B", -1, 0x78, 0},
                    AsmCase{"MOV A,B more", -1, 0x78, 0}, AsmCase{"RST 8", 4},
                    AsmCase{"RST 7", -1, 0xFF, 0}, AsmCase{"PUSH SP", 5}, AsmCase{"INX PSW", 4},
                    AsmCase{"STAX H", 5}, AsmCase{"POP PSW", -1, 0xF1, 0},
                    AsmCase{"LDAX D", -1, 0x1A, 0}, AsmCase{"DAD SP", -1, 0x39, 0}, AsmCase{"", 0},
                    AsmCase{"   ", 0}, AsmCase{"FOO", 0}, AsmCase{"mov a,b", 0},
                    AsmCase{"NOP 1", 4}, AsmCase{"RET Z", 4}, AsmCase{"JMP          ", 13},
                    AsmCase{"INR A,B", 5}, AsmCase{"INR X,B", 4}, AsmCase{"MVI A", 5},
                    AsmCase{"MVI A,256", 6}, AsmCase{"MVI Q,1", 4}, AsmCase{"MOV A,", 6},
                    AsmCase{"OUT #FF", -2, 0xD3, 0xFF}, AsmCase{"IN 256", 3},
                    AsmCase{"JMP #12G4", 4}, AsmCase{"CNZ 4660", -3, 0xC4, 0x1234},
                    AsmCase{"JM #0", -3, 0xFA, 0}, AsmCase{"CPI #ff", -2, 0xFE, 0xFF},
                    AsmCase{"SBB M", -1, 0x9E, 0}, AsmCase{"LDA #", 4}, AsmCase{"SHLD -1", 5},
                    AsmCase{"RM", -1, 0xF8, 0}));

class Z80Cases : public testing::TestWithParam<AsmCase> {};

TEST_P(Z80Cases, AssembleOrFailAtTheRightCharacter) {
    const AsmCase& c = GetParam();
    Assembled a = AssembleIn(true, c.Text);
    ASSERT_EQ(a.Result, c.Result);
    if (c.Result < 0) {
        EXPECT_EQ(a.Opcode, c.Opcode);
        EXPECT_EQ(a.Operand, c.Operand);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, Z80Cases,
    testing::Values(
        AsmCase{"rst 8", -1, 0xCF, 0}, AsmCase{"rst 7", 4}, AsmCase{"rst #38", -1, 0xFF, 0},
        AsmCase{"nop 1", 4}, AsmCase{"jp", 2}, AsmCase{"jp   ", 5}, AsmCase{"LD A,B", 0},
        AsmCase{"ld a,(#1234)", -3, 0x3A, 0x1234}, AsmCase{"ld a,(x)", 6},
        AsmCase{"ld a,(#1234", 6}, AsmCase{"ld a,x", 5}, AsmCase{"ld hl,(zz)", 7},
        AsmCase{"ld hl,(#10)", -3, 0x2A, 0x10}, AsmCase{"ld hl,#10", -3, 0x21, 0x10},
        AsmCase{"ld b,(#12)", 5}, AsmCase{"ld a,(bc)", -1, 0x0A, 0},
        AsmCase{"ld a,(de)", -1, 0x1A, 0}, AsmCase{"ld a,(hl)", -1, 0x7E, 0},
        AsmCase{"ld (hl),(hl)", -1, 0x76, 0}, AsmCase{"ld (hl),#12", -2, 0x36, 0x12},
        AsmCase{"ld (de),a", -1, 0x12, 0}, AsmCase{"ld (de),b", 8},
        AsmCase{"ld (#4000),hl", -3, 0x22, 0x4000}, AsmCase{"ld (#4000),a", -3, 0x32, 0x4000},
        AsmCase{"ld (#4000),bc", 11}, AsmCase{"ld af,#1", 3}, AsmCase{"ld sp,hl", -1, 0xF9, 0},
        AsmCase{"ld bc,hl", 6}, AsmCase{"ld (sp),hl", 3}, AsmCase{"ld a", 4}, AsmCase{"ld", 2},
        AsmCase{"add a,b", -1, 0x80, 0}, AsmCase{"add hl,sp", -1, 0x39, 0}, AsmCase{"add hl,af", 7},
        AsmCase{"add b", 4}, AsmCase{"add a,q", 6}, AsmCase{"add a,#10", -2, 0xC6, 0x10},
        AsmCase{"adc hl,bc", 4}, AsmCase{"sbc a,(hl)", -1, 0x9E, 0}, AsmCase{"sub a,b", 5},
        AsmCase{"cp #10", -2, 0xFE, 0x10}, AsmCase{"and (hl)", -1, 0xA6, 0},
        AsmCase{"ex de,hl", -1, 0xEB, 0}, AsmCase{"ex (sp),hl", -1, 0xE3, 0},
        AsmCase{"ex hl,de", 3}, AsmCase{"ex de,bc", 6}, AsmCase{"ex de", 5},
        AsmCase{"out (#10),a", -2, 0xD3, 0x10}, AsmCase{"out #10,a", 4}, AsmCase{"out (#10),b", 10},
        AsmCase{"out (256),a", 4}, AsmCase{"in a,(#10)", -2, 0xDB, 0x10}, AsmCase{"in b,(1)", 3},
        AsmCase{"in a,1", 5}, AsmCase{"jp nz,#1234", -3, 0xC2, 0x1234},
        AsmCase{"jp (hl)", -1, 0xE9, 0}, AsmCase{"call z,#10", -3, 0xCC, 0x10},
        AsmCase{"call (hl)", 5}, AsmCase{"jp nz", 5}, AsmCase{"jp q", 3}, AsmCase{"jp #10,#20", 6},
        AsmCase{"jp m,x", 5}, AsmCase{"ret", -1, 0xC9, 0}, AsmCase{"ret po", -1, 0xE0, 0},
        AsmCase{"ret 5", 4}, AsmCase{"ret z,1", 5}, AsmCase{"push af", -1, 0xF5, 0},
        AsmCase{"push sp", 5}, AsmCase{"pop af", -1, 0xF1, 0}, AsmCase{"inc (hl)", -1, 0x34, 0},
        AsmCase{"dec sp", -1, 0x3B, 0}, AsmCase{"inc af", 4}, AsmCase{"halt", -1, 0x76, 0}));

TEST(ParseAsmNumber, HashHexOrPlainDecimalWithinTheOperandWidth) {
    uint16_t v = 0;
    EXPECT_TRUE(debugger::ParseAsmNumber("#ff", false, v));
    EXPECT_EQ(v, 0xFF);
    EXPECT_TRUE(debugger::ParseAsmNumber("#00FF", false, v));
    EXPECT_FALSE(debugger::ParseAsmNumber("#100", false, v));
    EXPECT_TRUE(debugger::ParseAsmNumber("#100", true, v));
    EXPECT_EQ(v, 0x100);
    EXPECT_FALSE(debugger::ParseAsmNumber("256", false, v));
    EXPECT_TRUE(debugger::ParseAsmNumber("65535", true, v));
    EXPECT_EQ(v, 65535);
    for (const char* bad : {"65536", "-1", "#", "", "12H", "1F", "#1G", "99999999999999999"}) {
        EXPECT_FALSE(debugger::ParseAsmNumber(bad, true, v)) << bad;
    }
}

TEST(InlineAsmEnter, StoresTheInstructionAndMovesOn) {
    TestMemory m;
    auto outcome = debugger::InlineAsmEnter(m.memory, 0x4000, "MVI A,#3F    ", false);
    EXPECT_EQ(outcome.FailurePosition, -1);
    EXPECT_EQ(outcome.NextAddress, 0x4002);
    EXPECT_EQ(m.At(0x4000), 0x3E);
    EXPECT_EQ(m.At(0x4001), 0x3F);

    outcome = debugger::InlineAsmEnter(m.memory, 0xFFFF, "ld hl,#1234", true);
    EXPECT_EQ(outcome.NextAddress, 0x0002);
    EXPECT_EQ(m.At(0xFFFF), 0x21);
    EXPECT_EQ(m.At(0x0000), 0x34);
    EXPECT_EQ(m.At(0x0001), 0x12);
    EXPECT_FALSE(m.memory.Fault());
}

TEST(InlineAsmEnter, AFailureWritesNothingAndPointsAtTheCharacter) {
    TestMemory m;
    m.Put(0x4000, {0x11, 0x22, 0x33});
    auto outcome = debugger::InlineAsmEnter(m.memory, 0x4000, "LXI H,65536  ", false);
    EXPECT_EQ(outcome.FailurePosition, 6);
    EXPECT_EQ(outcome.NextAddress, 0x4000);
    EXPECT_EQ(m.At(0x4000), 0x11);
    EXPECT_EQ(m.At(0x4001), 0x22);
}

TEST(InlineAsmEnter, ARomPageRefusesTheWriteButTheFieldMovesOn) {
    TestMemory m;
    m.MapRom(0xC);
    auto outcome = debugger::InlineAsmEnter(m.memory, 0xC000, "JMP #1234", false);
    EXPECT_EQ(outcome.FailurePosition, -1);
    EXPECT_EQ(outcome.NextAddress, 0xC003);
    EXPECT_EQ(m.At(0xC000), 0xFF);
    EXPECT_EQ(m.At(0xC001), 0xFF);
    EXPECT_TRUE(m.memory.Fault());
    EXPECT_TRUE(m.memory.FaultWrite);
}

TEST(InlineAsmPrefill, StartsWithTheInstructionAlreadyThere) {
    TestMemory m;
    m.Put(0x4000, {0xDD, 0x34, 0x12, 0x3E, 0xAB});
    // An undocumented opcode loses its "!", which falls on the field's fixed blanks.
    EXPECT_EQ(debugger::InlineAsmPrefill(m.memory, 0x4000, {}), "CALL #1234   ");
    EXPECT_EQ(debugger::InlineAsmPrefill(m.memory, 0x4003, {}), "MVI  A,#AB   ");
    // The Z80 field is lower case throughout, hexadecimal digits included.
    EXPECT_EQ(debugger::InlineAsmPrefill(m.memory, 0x4003, {.Z80Notation = true}),
              "ld   a,#ab     ");
    EXPECT_EQ(debugger::InlineAsmAddressText(0x4003, {}), "#4003");
    EXPECT_EQ(debugger::InlineAsmAddressText(0x4003, {.DecimalRadix = true}), "16387");
}

TEST(InlineAsmPrefill, TheLongestInstructionsFitTheField) {
    TestMemory m;
    m.Put(0x4000, {0x31, 0xFF, 0xFF, 0x22, 0xFF, 0xFF});
    EXPECT_EQ(debugger::InlineAsmPrefill(m.memory, 0x4000, {.DecimalRadix = true}),
              "LXI  SP,65535");
    EXPECT_EQ(
        debugger::InlineAsmPrefill(m.memory, 0x4003, {.DecimalRadix = true, .Z80Notation = true}),
        "ld   (65535),hl");
}
