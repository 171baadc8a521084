#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include "TestMemory.h"
#include "debugger/DebugExpression.h"
#include "machine/ChipCpu8080.h"

using debugger::BreakCondition;
using debugger::EvaluateOperand;
using debugger::HitCondition;
using debugger::ParseAddress;
using debugger::SymbolTable;

namespace {

SymbolTable Labels() {
    SymbolTable t;
    t.Add("ADDIT", 0x2100);
    t.Add("SUM", 0x2100);
    t.Add("PTR", 0x2102);
    t.Add("BUF", 0x210A);
    t.Add("BEEF", 0x0042);  // also four hexadecimal digits
    t.Add("TOP", 0xFFFE);
    return t;
}

}  // namespace

TEST(DebugExpression, ParsesAddressesInEveryNotationAndWithLabels) {
    const SymbolTable symbols = Labels();
    const struct {
        const char* text;
        std::optional<uint16_t> value;
    } cases[] = {
        {"2000", 0x2000},          {" 2000H ", 0x2000},      {"0x2000", 0x2000},
        {"#2000", 0x2000},         {"ffff", 0xFFFF},         {"0", 0},
        {"addit", 0x2100},         {"ADDIT+3", 0x2103},      {"ADDIT-0AH", 0x20F6},
        {"ADDIT + 10", 0x2110},    {"BUF-ADDIT", 0x000A},    {"TOP+3", 0x0001},
        {"0-1", 0xFFFF},           {"BEEF", 0x0042},         {"0BEEF", 0xBEEF},
        {"BEEFH", 0xBEEF},         {"", std::nullopt},       {"   ", std::nullopt},
        {"10000", std::nullopt},   {"NOPE", std::nullopt},   {"ADDIT+", std::nullopt},
        {"+5", std::nullopt},      {"2000 1", std::nullopt}, {"20G0", std::nullopt},
        {"0x", std::nullopt},      {"#", std::nullopt},      {"H", std::nullopt},
        {"ADDIT*2", std::nullopt}, {"[2000]", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseAddress(c.text, symbols), c.value) << "'" << c.text << "'";
    }
    std::string error;
    EXPECT_FALSE(ParseAddress("LOOP+1", symbols, error));
    EXPECT_EQ(error, "unknown label 'LOOP'");
}

TEST(DebugExpression, ConditionsCompareRegistersMemoryAndLabels) {
    TestMemory m;
    ChipCpu8080 cpu(m.memory);
    cpu.A = 0x30;
    cpu.F = 0x02;
    cpu.B = 0x00;
    cpu.C = 0x07;
    cpu.SetHL(0x2000);
    cpu.SP = 0x3FFE;
    cpu.PC = 0x0100;
    m.Put(0x2000, {0x7F});
    m.Put(0x2100, {0x30});        // SUM
    m.Put(0x2102, {0x0C, 0x21});  // PTR holds BUF+2
    m.Put(0x3FFE, {0x34, 0x12});  // the return address on the stack
    m.Put(0xFFFF, {0x78});
    m.Put(0x0000, {0x56});
    SymbolTable symbols = Labels();

    const struct {
        const char* text;
        bool holds;
    } cases[] = {
        {"HL=2000", true},
        {"hl==2001", false},
        {"B<>0", false},
        {"B!=0", false},
        {"B=0", true},
        {"C = 7", true},
        {"A>2F", true},
        {"A>30", false},
        {"A>=30", true},
        {"[SUM]>=30", true},
        {"[SUM]<30", false},
        {"[ SUM ] <= 30", true},
        {"[[PTR]] = BUF+2", true},
        {"[[ptr]]=buf", false},
        {"[HL]=7F", true},
        {"[[SP]]=1234", true},
        {"[[SP]]=3412", false},
        {"PSW=3002", true},
        {"PC<SP", true},
        {"SP<PC", false},
        {"[[FFFF]]=5678", true},
        {"[[TOP+1]]=5678", true},
        {"A=[SUM]", true},
        {"[2000]>A", true},
    };
    for (const auto& c : cases) {
        std::string error;
        const std::optional<BreakCondition> condition =
            BreakCondition::Compile(c.text, symbols, error);
        ASSERT_TRUE(condition) << c.text << ": " << error;
        EXPECT_EQ(condition->Holds(cpu, m.memory), c.holds) << c.text;
    }

    const struct {
        const char* text;
        const char* error;
    } rejected[] = {
        {"XYZ=1", "unknown register or label 'XYZ'"},
        {"HL", "expected a comparison such as HL=2000"},
        {"HL 2000", "expected a comparison such as HL=2000"},
        {"A=B=C", "expected a comparison such as HL=2000"},
        {"HL=", "expected a value after '='"},
        {">=5", "expected a value before '>='"},
        {"[A]=1", "only BC, DE, HL, SP and PC point at memory, not 'A'"},
        {"[SUM=1", "expected an address between '[' and ']'"},
        {"[[[SUM]]]=1", "expected [address] or [[address]], found '[SUM]'"},
        {"HL=10000", "'10000' is more than FFFF"},
    };
    for (const auto& r : rejected) {
        std::string error;
        EXPECT_FALSE(BreakCondition::Compile(r.text, symbols, error)) << r.text;
        EXPECT_EQ(error, r.error) << r.text;
    }

    // Labels are resolved once: the condition outlives the table it was compiled with.
    std::string error;
    const std::optional<BreakCondition> kept =
        BreakCondition::Compile("  [SUM]>=30 ", symbols, error);
    ASSERT_TRUE(kept);
    symbols.Clear();
    m.Put(0x2100, {0x2F});
    EXPECT_FALSE(kept->Holds(cpu, m.memory));
    EXPECT_EQ(kept->Text(), "[SUM]>=30");
}

TEST(DebugExpression, EvaluatesOperandsWithoutDisturbingTheMachine) {
    TestMemory m;
    ChipCpu8080 cpu(m.memory);
    cpu.A = 0x9C;
    cpu.SetHL(0x2102);
    m.Put(0x2102, {0x0C, 0x21});
    m.Unmap(9);
    const SymbolTable symbols = Labels();
    EXPECT_EQ(EvaluateOperand("a", cpu, m.memory, symbols), 0x9Cu);
    EXPECT_EQ(EvaluateOperand("HL", cpu, m.memory, symbols), 0x2102u);
    EXPECT_EQ(EvaluateOperand("[[PTR]]", cpu, m.memory, symbols), 0x210Cu);
    EXPECT_EQ(EvaluateOperand("[HL]", cpu, m.memory, symbols), 0x0Cu);
    EXPECT_EQ(EvaluateOperand("ADDIT+1", cpu, m.memory, symbols), 0x2101u);
    EXPECT_EQ(EvaluateOperand("nope", cpu, m.memory, symbols), std::nullopt);
    // Absent memory reads FF without the fault a processor read would raise.
    EXPECT_EQ(EvaluateOperand("[[9000]]", cpu, m.memory, symbols), 0xFFFFu);
    EXPECT_FALSE(m.memory.Fault());
}

TEST(HitCondition, StopsAtTheHitsItNames) {
    const struct {
        const char* text;
        std::set<uint64_t> stops;  // among hits 1..12
    } cases[] = {
        {"5", {5}},
        {"=5", {5}},
        {" == 5 ", {5}},
        {">5", {6, 7, 8, 9, 10, 11, 12}},
        {">=10", {10, 11, 12}},
        {"<3", {1, 2}},
        {"<=1", {1}},
        {"%5", {5, 10}},
        {"% 4", {4, 8, 12}},
        {">0", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
    };
    for (const auto& c : cases) {
        const std::optional<HitCondition> condition = HitCondition::Parse(c.text);
        ASSERT_TRUE(condition) << c.text;
        std::set<uint64_t> stops;
        for (uint64_t hit = 1; hit <= 12; ++hit) {
            if (condition->Stops(hit)) stops.insert(hit);
        }
        EXPECT_EQ(stops, c.stops) << c.text;
    }
    EXPECT_TRUE(HitCondition::Parse("=9999999999999999999")->Stops(9999999999999999999u));
    for (const char* bad : {"", "x", "5x", "-1", "%0", "=0", "0", "<1", ">>5", "5.0", "0x10",
                            "99999999999999999999"}) {
        EXPECT_FALSE(HitCondition::Parse(bad)) << bad;
    }
}
