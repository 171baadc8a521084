#include <gtest/gtest.h>

#include <map>
#include <string>

#include "asm/FileAssembler.h"
#include "debugger/SymbolTable.h"

using debugger::SymbolTable;
using namespace std::literals;

namespace {

// Addresses worked out by hand: LXI is three bytes, MOV, INX, DCR and RET one, JNZ three; the
// six data bytes make the listing go on in a line without a number.
constexpr const char* kProgram =
    "COUNT   EQU 5\n"
    "        ORG 1000H\n"
    "START:  LXI H,BUF\n"
    "LOOP:   MOV A,M\n"
    "        INX H\n"
    "        DCR B\n"
    "        JNZ LOOP\n"
    "done:   RET        ; lower case in the source\n"
    "BUF:    DB 1,2,3,4,5,6\n"
    "PTR:    DW BUF\n";

const std::map<std::string, uint16_t> kProgramNames = {
    {"BUF", 0x100A},  {"COUNT", 0x0005}, {"DONE", 0x1009},
    {"LOOP", 0x1003}, {"PTR", 0x1010},   {"START", 0x1000},
};

}  // namespace

TEST(SymbolTable, LoadsTheAssemblersSymbolsFileAndListingAlike) {
    const assembler::AsmResult result = assembler::AssembleSource(kProgram, "prog.asm", {});
    ASSERT_TRUE(result.Ok);
    for (const std::string* file : {&result.Symbols, &result.Listing}) {
        SymbolTable table;
        table.Add("STALE", 0x4000);  // a load replaces what was there
        std::string error = "untouched";
        ASSERT_TRUE(table.Load(*file, error)) << error << "\n" << *file;
        EXPECT_EQ(error, "");
        EXPECT_EQ(table.Names(), kProgramNames) << *file;
        EXPECT_EQ(table.Find("loop"), 0x1003);
        EXPECT_EQ(table.Find("Done"), 0x1009);
        EXPECT_FALSE(table.Find("STALE"));
    }

    // What people write by hand: comments, blank lines, Windows line ends, each value form.
    SymbolTable table;
    std::string error;
    ASSERT_TRUE(
        table.Load("; monitor entry points\r\n\r\n  alpha EQU 0x00FF ; the first\r\n"
                   "Beta: equ #1234\rGAMMA EQU 0ABCDh",
                   error))
        << error;
    EXPECT_EQ(table.Names(), (std::map<std::string, uint16_t>{
                                 {"ALPHA", 0x00FF}, {"BETA", 0x1234}, {"GAMMA", 0xABCD}}));
}

TEST(SymbolTable, MalformedFilesNameTheLineAndLeaveTheTableAlone) {
    const struct {
        std::string_view text;
        const char* line;
    } cases[] = {
        {"A EQU 1H\n\nB EQU 12345H\n"sv, "line 3: "},      // above FFFF
        {"A EQU 1H\r\nB EQU\r\n"sv, "line 2: "},           // no value
        {"A EQU 1H\rB EQU 2H\rC EQU 10\r"sv, "line 3: "},  // a bare number could be decimal
        {"; names\nA EQU 1H junk\n"sv, "line 2: "},        // more after the value
        {"A EQU 1H\nB EQUALS 2H\n"sv, "line 2: "},         // not EQU
        {"A-B EQU 1H\n"sv, "line 1: "},                    // not a name
        {"A EQU 1H\nB\0C EQU 2H\n"sv, "line 2: "},         // a NUL byte
        {"    1   1000  00        START: NOP\n"            // a listing with a broken address
         "    2   10G0  00        NEXT: NOP\n"sv,
         "line 2: "},
        {"    1   1000  00        START: NOP\n"
         "garbage\n"sv,
         "line 2: "},
    };
    for (const auto& c : cases) {
        SymbolTable table;
        table.Add("KEEP", 0x1234);
        std::string error;
        EXPECT_FALSE(table.Load(c.text, error)) << c.text;
        EXPECT_EQ(error.rfind(c.line, 0), 0u) << c.text << " -> " << error;
        EXPECT_EQ(table.Size(), 1u);
        EXPECT_EQ(table.Find("KEEP"), 0x1234);
    }

    // Hostile sizes are refused before anything is kept.
    SymbolTable table;
    table.Add("KEEP", 0x1234);
    std::string many;
    for (int i = 0; i <= 65536; ++i) many += "N" + std::to_string(i) + " EQU 1H\n";
    std::string error;
    EXPECT_FALSE(table.Load(many, error));
    EXPECT_EQ(error, "line 65537: more than 65536 names");
    EXPECT_FALSE(table.Load(std::string(SymbolTable::kMaxFileBytes + 1, ' '), error));
    EXPECT_FALSE(table.Load("N EQU 1H\n" + std::string(300, 'X') + " EQU 2H", error));
    EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
    EXPECT_EQ(table.Size(), 1u);
}

TEST(SymbolTable, DescribesAnAddressFromTheNearestNameBelowIt) {
    SymbolTable table;
    table.Add("LOOP", 0x1003);
    table.Add("ALIAS", 0x1003);
    table.Add("BUF", 0x100A);
    EXPECT_EQ(table.Size(), 3u);
    ASSERT_NE(table.NameAt(0x1003), nullptr);
    EXPECT_EQ(*table.NameAt(0x1003), "ALIAS");  // the first in name order
    EXPECT_EQ(table.NameAt(0x1004), nullptr);

    EXPECT_EQ(table.Describe(0x1002), "");  // nothing below
    EXPECT_EQ(table.Describe(0x1003), "ALIAS");
    EXPECT_EQ(table.Describe(0x1008), "ALIAS+5");
    EXPECT_EQ(table.Describe(0x100A), "BUF");
    EXPECT_EQ(table.Describe(0x1013), "BUF+9");
    EXPECT_EQ(table.Describe(0x1014), "BUF+0AH");
    EXPECT_EQ(table.Describe(0x101A), "BUF+10H");
    EXPECT_EQ(table.Describe(0x110A), "BUF+100H");  // the default reach, just
    EXPECT_EQ(table.Describe(0x110B), "");
    EXPECT_EQ(table.Describe(0x100C, 1), "");
    EXPECT_EQ(table.Describe(0xFFFF, 0xFFFF), "BUF+0EFF5H");

    // A later Add of the same name, in any case, moves it.
    table.Add("loop", 0x2000);
    table.Add("ALIAS", 0x3000);
    EXPECT_EQ(table.Size(), 3u);
    EXPECT_EQ(table.NameAt(0x1003), nullptr);
    EXPECT_EQ(table.Describe(0x2001), "LOOP+1");
    EXPECT_EQ(table.Find("Alias"), 0x3000);

    // A copy stands on its own.
    SymbolTable copy = table;
    table.Clear();
    EXPECT_TRUE(table.Empty());
    EXPECT_EQ(table.Describe(0x2001), "");
    EXPECT_EQ(copy.Describe(0x3002), "ALIAS+2");
    ASSERT_NE(copy.NameAt(0x100A), nullptr);
    EXPECT_EQ(*copy.NameAt(0x100A), "BUF");
}
