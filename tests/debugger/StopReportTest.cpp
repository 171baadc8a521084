#include "debugger/StopReport.h"

#include <gtest/gtest.h>

#include "debugger/SymbolTable.h"
#include "support/CpuFixture.h"

namespace {

class StopReport : public CpuFixture {
  protected:
    StopReport() { core.BindMachine(&cpu, &memory); }

    debugger::DebuggerCore core;
};

TEST_F(StopReport, TheCallStackInnermostFirstWithLabelsAndTheInstructionOfAWatch) {
    // 0100 LXI SP,3000 / CALL 0200; 0200 STA 4020 / RST 1; 0008 NOP.
    Poke(0x100, {0x31, 0x00, 0x30, 0xCD, 0x00, 0x02});
    Poke(0x200, {0x32, 0x20, 0x40, 0xCF});
    cpu.PC = 0x100;
    for (int i = 0; i < 4; ++i) core.ExecuteOne();
    ASSERT_EQ(cpu.PC, 0x0008);
    debugger::SymbolTable symbols;
    symbols.Add("MAIN", 0x0100);
    symbols.Add("ADDIT", 0x0200);
    symbols.Add("SUM", 0x4020);
    EXPECT_EQ(debugger::CallStackLines(core.CallStack(), {}, nullptr, "(interrupt)"),
              (std::vector<std::string>{"#0203 -> #0008", "#0103 -> #0200"}));
    EXPECT_EQ(debugger::CallStackLines(core.CallStack(), {}, &symbols, "(interrupt)"),
              (std::vector<std::string>{"#0203 ADDIT+3 -> #0008", "#0103 MAIN+3 -> #0200 ADDIT"}));
    const std::vector<debugger::CallFrame> interrupted{{0x0105, 0x0038, 0x2FFE, true}};
    EXPECT_EQ(debugger::CallStackLines(interrupted, {.DecimalRadix = true}, nullptr, "(int)"),
              (std::vector<std::string>{"00261 -> 00056 (int)"}));

    EXPECT_EQ(debugger::InstructionText(memory, 0x200, {}), "STA #4020");
    EXPECT_EQ(debugger::InstructionText(memory, 0x200, {}, &symbols), "STA SUM");
    EXPECT_EQ(debugger::InstructionText(memory, 0x200, {.Z80Notation = true}), "ld (#4020),a");
}

}  // namespace
