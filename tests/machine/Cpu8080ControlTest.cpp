#include <gtest/gtest.h>

#include "machine/Cpu8080Timing.h"
#include "support/CpuFixture.h"

namespace {

class Cpu8080Control : public CpuFixture {
  protected:
    void SetUp() override { cpu.SetInterruptController(&controller); }

    // What a 3214 does while counting ticks: it accepts as soon as the processor lets it.
    void RequestInterrupt() {
        pending = true;
        if (!listening) {
            cpu.AddTickListener(TickListener::Bind<&Cpu8080Control::OnTicks>(this));
            listening = true;
        }
    }
    void OnTicks(int32_t, int32_t) {
        if (pending && cpu.AcceptInterrupt()) pending = false;
    }

    FakeInterruptController controller;
    bool pending = false;
    bool listening = false;
};

TEST_F(Cpu8080Control, InterruptIsTakenOnlyAfterTheInstructionFollowingEi) {
    cpu.SP = 0x3000;
    Poke(0x100, {0xFB, 0x00, 0x00, 0x00});  // EI; NOP; NOP; NOP
    cpu.PC = 0x100;
    RequestInterrupt();

    cpu.Step();  // EI
    EXPECT_FALSE(cpu.Inte);
    EXPECT_FALSE(cpu.IntAck);
    cpu.Step();  // NOP: INTE rises at its end, the listener accepts
    EXPECT_TRUE(cpu.IntAck);
    EXPECT_EQ(cpu.PC, 0x102);
    EXPECT_FALSE(cpu.Inte) << "acceptance clears INTE";

    int ticks = cpu.Step();  // RST 1 from the interrupt unit
    EXPECT_EQ(ticks, 11);
    EXPECT_EQ(cpu.PC, 0x0008);
    EXPECT_EQ(cpu.SP, 0x2FFE);
    EXPECT_EQ(Peek(0x2FFE), 0x02);
    EXPECT_EQ(Peek(0x2FFF), 0x01);
    EXPECT_EQ(controller.fetched, (std::vector<int>{0}));
    // INTE output: low at DI-less start (reset), high after EI's delay, low on acceptance.
    ASSERT_GE(controller.inteLog.size(), 2u);
    EXPECT_EQ(controller.inteLog[controller.inteLog.size() - 2], true);
    EXPECT_EQ(controller.inteLog.back(), false);
}

TEST_F(Cpu8080Control, InterruptWhileHaltedReturnsPastTheHlt) {
    cpu.SP = 0x3000;
    Poke(0x200, {0x76});
    cpu.PC = 0x200;
    cpu.SetInte(true);
    EXPECT_EQ(cpu.Step(), 5);  // HLT
    EXPECT_TRUE(cpu.Halted);
    EXPECT_EQ(cpu.PC, 0x200);
    EXPECT_EQ(cpu.Step(), 1) << "a halted processor idles one tick per step";
    EXPECT_EQ(cpu.Step(), 1);

    ASSERT_TRUE(cpu.AcceptInterrupt());
    cpu.Step();
    EXPECT_FALSE(cpu.Halted);
    EXPECT_EQ(cpu.PC, 0x0008);
    EXPECT_EQ(Peek(0x2FFE), 0x01);
    EXPECT_EQ(Peek(0x2FFF), 0x02);
}

TEST_F(Cpu8080Control, SuppliedInstructionsMayCarryOperandsAndAreNotCounted) {
    cpu.SP = 0x3000;
    controller.bytes[0] = 0xCD;  // CALL 1234h
    controller.bytes[1] = 0x34;
    controller.bytes[2] = 0x12;
    cpu.PC = 0x0500;
    cpu.SetInte(true);
    int32_t counted = cpu.InstructionCount;
    ASSERT_TRUE(cpu.AcceptInterrupt());
    EXPECT_EQ(cpu.Step(), 17);
    EXPECT_EQ(cpu.PC, 0x1234);
    EXPECT_EQ(Peek(0x2FFE), 0x00);
    EXPECT_EQ(Peek(0x2FFF), 0x05);
    EXPECT_EQ(controller.fetched, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(cpu.InstructionCount, counted);
}

TEST_F(Cpu8080Control, WithoutControllerTheAcknowledgeExecutesRst7) {
    cpu.SetInterruptController(nullptr);
    cpu.SP = 0x3000;
    cpu.PC = 0x0600;
    cpu.SetInte(true);
    ASSERT_TRUE(cpu.AcceptInterrupt());
    cpu.Step();
    EXPECT_EQ(cpu.PC, 0x0038);
}

TEST_F(Cpu8080Control, AcceptanceNeedsInteAndDiCancelsAPendingEi) {
    EXPECT_FALSE(cpu.AcceptInterrupt());
    Poke(0x100, {0xFB, 0xF3, 0x00, 0x00});  // EI; DI; NOP; NOP
    cpu.PC = 0x100;
    cpu.Step();
    cpu.Step();
    cpu.Step();
    cpu.Step();
    EXPECT_FALSE(cpu.Inte);
    EXPECT_FALSE(cpu.AcceptInterrupt());
}

TEST_F(Cpu8080Control, ServiceRoutineDurationIsMeasuredFromAcceptanceToReturn) {
    cpu.SP = 0x3000;
    Poke(0x0008, {0x00, 0x00, 0xC9});  // NOP; NOP; RET
    cpu.PC = 0x0400;
    cpu.SetInte(true);
    ASSERT_TRUE(cpu.AcceptInterrupt());
    for (int i = 0; i < 4; ++i) cpu.Step();  // RST 1, NOP, NOP, RET
    EXPECT_EQ(cpu.PC, 0x0400);
    EXPECT_EQ(cpu.IsrSP, -1);
    // Measured when RET executes, before its own ticks are counted.
    EXPECT_EQ(cpu.IsrTicks, 11 + 4 + 4);
    EXPECT_EQ(cpu.IsrMin, cpu.IsrTicks);
    EXPECT_EQ(cpu.IsrMax, cpu.IsrTicks);
    EXPECT_EQ(cpu.IsrMid, cpu.IsrTicks);
}

TEST_F(Cpu8080Control, ResetKeepsRegistersAndResetsBoundDevicesInOrder) {
    RecordingDevice first, second, notReset;
    cpu.AttachPort(0x10, 0xF0, true, &first);
    cpu.AttachPort(0x20, 0xF0, false, &notReset);
    cpu.AttachPort(0x30, 0xF0, true, &second);
    cpu.A = 0x12;
    cpu.SP = 0x4321;
    cpu.PC = 0x1234;
    cpu.SetInte(true);
    cpu.RequestReset();
    EXPECT_EQ(cpu.Step(), 0);
    EXPECT_EQ(cpu.PC, 0);
    EXPECT_EQ(cpu.A, 0x12);
    EXPECT_EQ(cpu.SP, 0x4321);
    EXPECT_FALSE(cpu.Inte);
    EXPECT_EQ(first.resets, (std::vector<int32_t>{0}));
    EXPECT_EQ(second.resets, (std::vector<int32_t>{0}));
    EXPECT_TRUE(notReset.resets.empty());
    EXPECT_EQ(controller.inteLog.back(), false);
}

TEST_F(Cpu8080Control, ExecutionHistoryFollowsFetchedInstructions) {
    EXPECT_EQ(ChipCpu8080P(memory).CurPC, -1);
    RunProgram(0x100, {0x00, 0xC3, 0x00, 0x02}, 2);  // NOP; JMP 0200h
    EXPECT_EQ(cpu.PrevPC, 0x100);
    EXPECT_EQ(cpu.CurPC, 0x101);
    EXPECT_EQ(cpu.PC, 0x200);
}

// The decoder ignores some bits of twelve opcodes: seven more NOPs, a JMP, a RET and three CALLs.
// The exercisers never run them, but programs written against the real chip do.
TEST_F(Cpu8080Control, UndocumentedOpcodesActAsTheirDocumentedTwins) {
    cpu.A = 0x5A;
    cpu.F = 0x47;
    cpu.SetBC(0x1122);
    cpu.SetDE(0x3344);
    cpu.SetHL(0x5566);
    for (uint8_t op : {0x08, 0x10, 0x18, 0x20, 0x28, 0x30, 0x38}) {
        cpu.SP = 0x3000;
        RunProgram(0x0100, {op}, 1);
        EXPECT_EQ(cpu.PC, 0x0101) << int{op};
        EXPECT_EQ(cpu.SP, 0x3000) << int{op};
        EXPECT_EQ(cpu.A, 0x5A) << int{op};
        EXPECT_EQ(cpu.F, 0x47) << int{op};
        EXPECT_EQ(cpu.BC(), 0x1122) << int{op};
        EXPECT_EQ(cpu.DE(), 0x3344) << int{op};
        EXPECT_EQ(cpu.HL(), 0x5566) << int{op};
    }

    RunProgram(0x0200, {0xCB, 0x34, 0x12}, 1);
    EXPECT_EQ(cpu.PC, 0x1234);
    EXPECT_EQ(cpu.SP, 0x3000);

    Poke(0x2FFE, {0x78, 0x56});
    cpu.SP = 0x2FFE;
    RunProgram(0x0300, {0xD9}, 1);
    EXPECT_EQ(cpu.PC, 0x5678);
    EXPECT_EQ(cpu.SP, 0x3000);

    for (uint8_t op : {0xDD, 0xED, 0xFD}) {
        cpu.SP = 0x3000;
        Poke(0x2FFE, {0, 0});
        RunProgram(0x0400, {op, 0x00, 0x20}, 1);
        EXPECT_EQ(cpu.PC, 0x2000) << int{op};
        EXPECT_EQ(cpu.SP, 0x2FFE) << int{op};
        EXPECT_EQ(Peek(0x2FFE), 0x03) << int{op};  // the return address 0403
        EXPECT_EQ(Peek(0x2FFF), 0x04) << int{op};
    }
    EXPECT_EQ(cpu.A, 0x5A);
    EXPECT_EQ(cpu.F, 0x47);
}

class Cpu8080Timing : public CpuFixture {};

TEST_F(Cpu8080Timing, MachineTimingAddsATickOnOddPeriodPositions) {
    cpu.SetMachineTiming(true);
    Poke(0x100, {0x21, 0x00, 0x00, 0x21, 0x00, 0x00});  // LXI H twice
    cpu.PC = 0x100;
    cpu.PeriodTicks = 0;
    EXPECT_EQ(cpu.Step(), 11);
    EXPECT_EQ(cpu.PeriodTicks, 11);
    EXPECT_EQ(cpu.Step(), 12) << "started on an odd tick";
    EXPECT_EQ(cpu.InstructionTicks(0x21, false), 11 + (cpu.PeriodTicks & 1));
    cpu.SetMachineTiming(false);
    EXPECT_EQ(cpu.InstructionTicks(0x21, false), 10);
}

TEST_F(Cpu8080Timing, TakenConditionalCallsAndReturnsCostMore) {
    cpu.SP = 0x3000;
    cpu.F = 0x42;                                       // Z set
    Poke(0x100, {0xCC, 0x00, 0x02, 0xC4, 0x00, 0x03});  // CZ 0200h; CNZ 0300h
    Poke(0x200, {0xC8});                                // RZ
    cpu.PC = 0x100;
    EXPECT_EQ(cpu.Step(), 17);
    EXPECT_EQ(cpu.Step(), 11);  // RZ taken
    EXPECT_EQ(cpu.PC, 0x103);
    EXPECT_EQ(cpu.Step(), 11);  // CNZ not taken
    EXPECT_EQ(cpu.PC, 0x106);

    cpu.SetMachineTiming(true);
    cpu.PeriodTicks = 1;
    cpu.PC = 0x100;
    EXPECT_EQ(cpu.Step(), 21);
    EXPECT_EQ(cpu.Step(), 13);
}

TEST(Cpu8080TimingTables, TheTwoTablesDifferOnlyWhereTheMachineWaits) {
    for (int op = 0; op < 256; ++op) {
        int hi = op >> 4;
        if ((hi >= 4 && hi <= 6) || (hi >= 8 && hi <= 0xB)) {
            EXPECT_EQ(timing8080::kMachine[op], timing8080::kStandard[op]) << op;
        }
        EXPECT_GE(timing8080::kMachine[op], timing8080::kStandard[op]) << op;
    }
    EXPECT_EQ(timing8080::kStandard[0x76], 5);
    EXPECT_EQ(timing8080::kMachine[0x76], 5);
    EXPECT_EQ(timing8080::kMachine[0xE3], 20);
    EXPECT_EQ(timing8080::kStandard[0xE3], 18);
}

// Every opcode, executed by Step, takes what InstructionTicks says (the debugger relies on it).
TEST_F(Cpu8080Timing, StepAgreesWithInstructionTicksForEveryOpcode) {
    RecordingDevice device;
    cpu.AttachPort(0x00, 0x80, false, &device);
    cpu.AttachPort(0x80, 0x80, false, &device);
    for (bool machine : {false, true}) {
        cpu.SetMachineTiming(machine);
        for (int op = 0; op < 256; ++op) {
            if (op == 0x76) continue;
            cpu.SP = 0x3000;
            cpu.F = 0x02;  // every condition that tests a set flag fails
            cpu.PeriodTicks = op & 1;
            Poke(0x100, {static_cast<uint8_t>(op), 0x00, 0x20});
            cpu.PC = 0x100;
            cpu.SetHL(0x2000);
            int expected = cpu.InstructionTicks(static_cast<uint8_t>(op), false);
            // With only bit 1 of F set, NZ, NC, PO and P hold (the even condition codes).
            bool conditionalHolds =
                ((op & 0xC7) == 0xC0 || (op & 0xC7) == 0xC4) && ((op >> 3) & 1) == 0;
            if (conditionalHolds) expected = cpu.InstructionTicks(static_cast<uint8_t>(op), true);
            EXPECT_EQ(cpu.Step(), expected) << "opcode " << op << (machine ? " machine" : "");
        }
    }
}

}  // namespace
