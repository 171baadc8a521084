#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "asm/FileAssembler.h"

using assembler::AsmOptions;
using assembler::AsmResult;
using assembler::AssembleSource;

namespace {

AsmResult Assemble(const std::string& source, AsmOptions options = {}) {
    return AssembleSource(source, "prog.asm", options);
}

std::vector<uint8_t> ImageOf(const std::string& source, AsmOptions options = {}) {
    AsmResult r = Assemble(source, options);
    for (const auto& d : r.Diagnostics) ADD_FAILURE() << d.Describe();
    return r.Image;
}

using Bytes = std::vector<uint8_t>;

// The first error, as the program prints it.
std::string ErrorOf(const std::string& source, AsmOptions options = {}) {
    AsmResult r = Assemble(source, options);
    EXPECT_FALSE(r.Ok);
    EXPECT_TRUE(r.Image.empty());
    for (const auto& d : r.Diagnostics) {
        if (!d.Warning) return d.Describe();
    }
    return "(no error)";
}

}  // namespace

TEST(FileAssembler, InstructionsLabelsAndForwardReferences) {
    EXPECT_EQ(ImageOf("        ORG 100H\n"
                      "start:  lxi h,table   ; names are not case-sensitive\n"
                      "Loop:   mov m,a\n"
                      "        INX H\n"
                      "        dcr a\n"
                      "        JNZ LOOP\n"
                      "        RST 7\n"
                      "        call Start\n"
                      "TABLE:  db 1\n"),
              (Bytes{0x21, 0x0D, 0x01, 0x77, 0x23, 0x3D, 0xC2, 0x03, 0x01, 0xFF, 0xCD, 0x00, 0x01,
                     0x01}));
}

TEST(FileAssembler, EveryDirective) {
    AsmResult r = Assemble(
        "COUNT   EQU  TEND-TABLE    ; a forward reference\n"
        "BASE:   EQU  4000H\n"
        "        ORG  BASE+2\n"
        "TABLE:  DB   'It''s', 0DH, 'A'+1, -1, ''\n"
        "        DW   TABLE, COUNT, 'AB', $\n"
        "        DS   2\n"
        "TEND:   END\n"
        "        'this line is never read, not even for its quote\n",
        {.Fill = 0xEE});
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Start, 0x4002);
    EXPECT_EQ(r.Image, (Bytes{'I', 't', '\'', 's', 0x0D, 0x42, 0xFF, 0x02, 0x40, 0x11, 0x00, 0x42,
                              0x41, 0x09, 0x40, 0xEE, 0xEE}));
    EXPECT_EQ(r.Symbols,
              "BASE             EQU 4000H\n"
              "COUNT            EQU 0011H\n"
              "TABLE            EQU 4002H\n"
              "TEND             EQU 4013H\n");
}

TEST(FileAssembler, NumberForms) {
    EXPECT_EQ(ImageOf(" DB 255, 0FFH, 0ffh, #FF, #ff, 11111111B, 377Q, 377O, 255D, 'a'\n"
                      " DW 65535, 0FFFFH, 1234H\n"),
              (Bytes{255, 255, 255, 255, 255, 255, 255, 255, 255, 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x34,
                     0x12}));
}

TEST(FileAssembler, ExpressionPrecedenceAndOperators) {
    EXPECT_EQ(ImageOf(" DB 2+3*4, (2+3)*4, 1 OR 2 AND 3, NOT 0 AND 0FFH, 1 SHL 4 + 1\n"
                      " DB 10 MOD 3, 100/7, 80H SHR 7, 5 XOR 3, -1, - -2\n"
                      " DB HIGH 1234H, LOW 1234H, 3-5, 1 SHL 16\n"
                      " DW -1, 8000H*2, 0-8000H\n"),
              (Bytes{14,   20,   3,    0xFF, 17,   1,    14, 1, 6,    0xFF, 2,
                     0x12, 0x34, 0xFE, 0,    0xFF, 0xFF, 0,  0, 0x00, 0x80}));
}

TEST(FileAssembler, DollarIsTheStartOfTheStatement) {
    EXPECT_EQ(ImageOf(" ORG 10H\n JMP $\n DW $, $\n"),
              (Bytes{0xC3, 0x10, 0x00, 0x13, 0x00, 0x13, 0x00}));
}

TEST(FileAssembler, EquChainsResolveInAnyOrder) {
    EXPECT_EQ(ImageOf("A1 EQU B1+1\nB1 EQU C1*2\nC1 EQU L2\n DB A1\nL2: DB 0\n", {.Origin = 3}),
              (Bytes{9, 0}));
}

TEST(FileAssembler, ImageRunsFromTheLowestToTheHighestAddressWithGapsFilled) {
    AsmResult r = Assemble(" ORG 8\n DB 1\n ORG 4\n DB 2\n ORG 6\n DS 1\n", {.Fill = 0xAA});
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Start, 4);
    EXPECT_EQ(r.Image, (Bytes{2, 0xAA, 0xAA, 0xAA, 1}));

    r = Assemble(" ORG 100H\n DB 1, 2\n", {.Size = 4});
    EXPECT_EQ(r.Image, (Bytes{1, 2, 0, 0}));

    r = Assemble("; nothing\n", {.Fill = 0x55, .Size = 2});
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Image, (Bytes{0x55, 0x55}));
}

TEST(FileAssembler, LineEndingsOfEveryKind) {
    EXPECT_EQ(ImageOf("L1: NOP\r\n HLT\r XCHG\n DB 0"), (Bytes{0x00, 0x76, 0xEB, 0x00}));
}

TEST(FileAssembler, DisassemblerNamesStandForTheirAddressUnlessDefined) {
    EXPECT_EQ(ImageOf(" JMP L1234\n CALL LABCD+1\n"), (Bytes{0xC3, 0x34, 0x12, 0xCD, 0xCE, 0xAB}));
    // A name defined in the source keeps its own value.
    EXPECT_EQ(ImageOf(" JMP L1234\nL1234: NOP\n"), (Bytes{0xC3, 0x03, 0x00, 0x00}));
}

TEST(FileAssembler, UndocumentedOpcodesAsTheDisassemblerWritesThem) {
    AsmResult r = Assemble(" !JMP 1234H\n !RET\n !CALL 0\n !NOP\n");
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Image, (Bytes{0xCB, 0x34, 0x12, 0xD9, 0xDD, 0x00, 0x00, 0x08}));
    ASSERT_EQ(r.Diagnostics.size(), 2u);  // !CALL and !NOP each stand for several opcodes
    EXPECT_EQ(r.Diagnostics[0].Describe(),
              "prog.asm:3:3: warning: !CALL stands for 3 undocumented opcodes; assembled as 0DDH");
    EXPECT_TRUE(r.Diagnostics[1].Warning);
}

TEST(FileAssembler, ListingShowsAddressesBytesAndValues) {
    AsmResult r = Assemble("; header\nN EQU 5\n ORG 100H\nGO: MVI A,N\n DB 1,2,3,4,5,6\n");
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Listing,
              "    1                   ; header\n"
              "    2  =0005            N EQU 5\n"
              "    3   0100             ORG 100H\n"
              "    4   0100  3E05      GO: MVI A,N\n"
              "    5   0102  01020304   DB 1,2,3,4,5,6\n"
              "        0106  0506\n");
}

struct ErrorCase {
    const char* Source;
    const char* Error;
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << '"' << c.Source << '"';
}

class FileAssemblerErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(FileAssemblerErrors, NameTheLineAndColumnAndWhatWasExpected) {
    EXPECT_EQ(ErrorOf(GetParam().Source), GetParam().Error);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FileAssemblerErrors,
    testing::Values(
        ErrorCase{"\n  FOO A\n",
                  "prog.asm:2:3: error: expected an instruction or a directive, "
                  "found 'FOO'"},
        ErrorCase{"START MVI A,1\n",
                  "prog.asm:1:1: error: expected an instruction or a "
                  "directive, found 'START' (a label needs a ':' after it)"},
        ErrorCase{" MOV A,X\n",
                  "prog.asm:1:8: error: expected B, C, D, E, H, L, M or A, found 'X'"},
        ErrorCase{" LXI PSW,0\n", "prog.asm:1:6: error: expected B, D, H or SP, found 'PSW'"},
        ErrorCase{" PUSH SP\n", "prog.asm:1:7: error: expected B, D, H or PSW, found 'SP'"},
        ErrorCase{" MVI A\n",
                  "prog.asm:1:7: error: expected ',' and operand 2 of MVI, found the end of "
                  "the line"},
        ErrorCase{" MVI A,\n",
                  "prog.asm:1:8: error: expected operand 2 of MVI, found the end of the line"},
        ErrorCase{" INR A,B\n",
                  "prog.asm:1:7: error: expected the end of the line: INR takes "
                  "one operand, found ','"},
        ErrorCase{" RET 5\n",
                  "prog.asm:1:6: error: expected the end of the line: RET takes no operand, "
                  "found '5'"},
        ErrorCase{" JMP NOWHERE\n", "prog.asm:1:6: error: undefined name 'NOWHERE'"},
        ErrorCase{"X: NOP\nX: NOP\n", "prog.asm:2:1: error: 'X' is already defined on line 1"},
        ErrorCase{"X EQU 1\nX EQU 2\n", "prog.asm:2:1: error: 'X' is already defined on line 1"},
        ErrorCase{"MOV: NOP\n",
                  "prog.asm:1:1: error: 'MOV' is a reserved word and cannot be a label"},
        ErrorCase{"SP EQU 1\n",
                  "prog.asm:1:1: error: 'SP' is a reserved word and cannot be a name"},
        ErrorCase{" MVI A,100H\n",
                  "prog.asm:1:8: error: the value 0100H does not fit in the "
                  "byte operand of MVI"},
        ErrorCase{" DB 1, 300\n",
                  "prog.asm:1:8: error: the value 012CH does not fit in a byte "
                  "(DB takes -256 to 255)"},
        ErrorCase{" ORG LATER\nLATER: NOP\n",
                  "prog.asm:1:6: error: expected a value known at this point: 'LATER' is not "
                  "defined before this line"},
        ErrorCase{"N EQU M1\n DS N\nM1 EQU 3\n",
                  "prog.asm:2:5: error: expected a value known at this point: 'N' has no value "
                  "yet"},
        ErrorCase{" DB 'abc\n",
                  "prog.asm:1:5: error: expected a closing quote (') for the text that starts "
                  "here"},
        ErrorCase{" DB 12G\n",
                  "prog.asm:1:5: error: the number '12G' has the digit 'G', which "
                  "is not decimal (hexadecimal numbers end in H)"},
        ErrorCase{" DW 10000H\n",
                  "prog.asm:1:5: error: the number '10000H' is larger than 65535 (0FFFFH)"},
        ErrorCase{" DB 102B\n",
                  "prog.asm:1:5: error: the number '102B' has the digit '2', "
                  "which is not binary"},
        ErrorCase{" DB #\n", "prog.asm:1:5: error: the number '#' has no digits"},
        ErrorCase{" DB (1+2\n",
                  "prog.asm:1:9: error: expected ')' to close the '(' in column 5, found the "
                  "end of the line"},
        ErrorCase{" DB 1/0\n", "prog.asm:1:6: error: division by zero"},
        ErrorCase{" DB 1 MOD (2-2)\n", "prog.asm:1:7: error: MOD by zero"},
        ErrorCase{" DB 1 & 2\n", "prog.asm:1:7: error: unexpected character '&'"},
        ErrorCase{" DB 1 2\n",
                  "prog.asm:1:7: error: expected ',' or the end of the line after "
                  "a value of DB, found '2'"},
        ErrorCase{" DB\n", "prog.asm:1:4: error: expected a value after DB"},
        ErrorCase{" DW 1,\n", "prog.asm:1:7: error: expected a value after ',' in DW"},
        ErrorCase{" MVI A,'ABC'\n",
                  "prog.asm:1:8: error: a character constant holds one or two characters"},
        ErrorCase{" MVI A,B\n",
                  "prog.asm:1:8: error: expected a value, found the reserved word 'B'"},
        ErrorCase{" DB *\n",
                  "prog.asm:1:5: error: expected a value (a number, a name, $ or a "
                  "character constant), found '*'"},
        ErrorCase{" EQU 5\n", "prog.asm:1:2: error: expected a name before EQU"},
        ErrorCase{"X EQU Y\nY EQU X\n",
                  "prog.asm:1:7: error: the value of 'Y' cannot be worked out: it depends on "
                  "itself"},
        ErrorCase{" RST 8\n",
                  "prog.asm:1:6: error: expected a restart number from 0 to 7 for RST, found 8"},
        ErrorCase{" ORG 0FFFEH\n LXI H,0\n",
                  "prog.asm:2:2: error: the code runs past the end of memory (0FFFFH)"},
        ErrorCase{" ORG 10H\n DW 1, 2\n ORG 12H\n NOP\n",
                  "prog.asm:4:2: error: address 0012H was already assembled on line 2"},
        ErrorCase{" !FOO\n",
                  "prog.asm:1:3: error: expected the mnemonic of an undocumented "
                  "opcode after '!' (NOP, JMP, RET or CALL), found 'FOO'"},
        ErrorCase{" !MOV A,B\n",
                  "prog.asm:1:3: error: expected the mnemonic of an undocumented "
                  "opcode after '!' (NOP, JMP, RET or CALL), found 'MOV'"},
        ErrorCase{" ORG 100H 5\n",
                  "prog.asm:1:11: error: expected the end of the line after "
                  "the address of ORG, found '5'"},
        ErrorCase{" END 5 5\n",
                  "prog.asm:1:8: error: expected the end of the line after the "
                  "start address of END, found '5'"},
        ErrorCase{", NOP\n",
                  "prog.asm:1:1: error: expected a label, an instruction or a "
                  "directive, found ','"},
        ErrorCase{" DB \x01\n", "prog.asm:1:5: error: unexpected character byte 01H"}));

TEST(FileAssembler, ImageTooLargeForTheSizeIsAnError) {
    EXPECT_EQ(ErrorOf(" DS 5\n", {.Size = 4}),
              "prog.asm: error: the image is 5 bytes long, more than the size asked for (4)");
}

TEST(FileAssembler, DeepNestingIsRefusedNotOverflowed) {
    EXPECT_EQ(ErrorOf(" DB " + std::string(200, '(') + "1" + std::string(200, ')') + "\n"),
              "prog.asm:1:70: error: the expression is nested too deeply");
    EXPECT_EQ(ErrorOf(" DB " + std::string(200, '-') + "1\n"),
              "prog.asm:1:70: error: the expression is nested too deeply");
}

TEST(FileAssembler, ManyErrorsStopAfterFifty) {
    std::string source;
    for (int i = 0; i < 80; ++i) source += " BAD\n";
    AsmResult r = Assemble(source);
    EXPECT_FALSE(r.Ok);
    ASSERT_EQ(r.Diagnostics.size(), 51u);
    EXPECT_EQ(r.Diagnostics.back().Describe(),
              "prog.asm:51: error: too many errors; stopping here");
}

TEST(FileAssembler, Z80NotationPicksTheFormByItsOperands) {
    const AsmOptions z80{.Z80 = true};
    EXPECT_EQ(ImageOf("ld a,(hl)\nld a,(5)\nld a,(1+2)*3\nld a,5\nld (hl),7\nld hl,(L0102)\n"
                      "ld hl,2+(3)\njp (hl)\njp c,0\nret c\nret\nrst 38h\nex (sp),hl\n"
                      "out (0C0h),a\nin a,(0C1h)\nadd hl,sp\nadd a,(hl)\nL0102: nop\n",
                      z80),
              (Bytes{0x7E, 0x3A, 0x05, 0x00, 0x3E, 0x09, 0x3E, 0x05, 0x36, 0x07, 0x2A,
                     0x1E, 0x00, 0x21, 0x05, 0x00, 0xE9, 0xDA, 0x00, 0x00, 0xD8, 0xC9,
                     0xFF, 0xE3, 0xD3, 0xC0, 0xDB, 0xC1, 0x39, 0x86, 0x00}));
    EXPECT_NE(ErrorOf("ld hl,(sp)\n", z80).find("no 8080 instruction LD HL,(SP)"),
              std::string::npos);
    EXPECT_NE(ErrorOf("rst 9\n", z80).find("restart target"), std::string::npos);
    EXPECT_NE(ErrorOf("ld a,300\n", z80).find("does not fit"), std::string::npos);
    EXPECT_NE(ErrorOf("ld a,(5\n", z80).find("expected ')'"), std::string::npos);
    // The notations do not mix: MOV is no Z80 mnemonic, and CP is compare, not call.
    EXPECT_FALSE(Assemble("mov a,b\n", z80).Ok);
    EXPECT_EQ(ImageOf("cp 5\n", z80), (Bytes{0xFE, 0x05}));
    EXPECT_EQ(ImageOf("cp 5\n"), (Bytes{0xF4, 0x05, 0x00}));
}

TEST(FileAssembler, RegionsTellCodeFromEachKindOfData) {
    AsmResult r =
        Assemble("ORG 100H\nNOP\nJMP 100H\nDB 1,2\nDB 'Hi',0\nDW 5\nDS 3\nORG 200H\nNOP\n", {});
    ASSERT_TRUE(r.Ok);
    using K = assembler::AsmRegionKind;
    const std::vector<std::tuple<int, int, K>> expected = {
        {0x100, 0x103, K::Code},  {0x104, 0x105, K::Bytes}, {0x106, 0x108, K::Text},
        {0x109, 0x10A, K::Words}, {0x10B, 0x10D, K::Space}, {0x200, 0x200, K::Code}};
    ASSERT_EQ(r.Regions.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(r.Regions[i].From, std::get<0>(expected[i])) << i;
        EXPECT_EQ(r.Regions[i].To, std::get<1>(expected[i])) << i;
        EXPECT_EQ(r.Regions[i].Kind, std::get<2>(expected[i])) << i;
    }
}
