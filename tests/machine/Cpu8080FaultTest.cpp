#include <gtest/gtest.h>

#include "support/CpuFixture.h"

namespace {

class Cpu8080Faults : public CpuFixture {
  protected:
    struct Registers {
        uint8_t a, f, b, c, d, e, h, l;
        uint16_t sp;
        bool operator==(const Registers&) const = default;
    };
    Registers Snapshot() const {
        return {cpu.A, cpu.F, cpu.B, cpu.C, cpu.D, cpu.E, cpu.H, cpu.L, cpu.SP};
    }
};

TEST_F(Cpu8080Faults, OutToAnUnboundPortChangesNothing) {
    cpu.A = 0x5A;
    cpu.SP = 0x3000;
    Poke(0x100, {0xD3, 0x42});
    cpu.PC = 0x100;
    Registers before = Snapshot();
    int32_t ticks = cpu.PeriodTicks;
    int32_t count = cpu.InstructionCount;
    EXPECT_EQ(cpu.Step(), 0);
    EXPECT_TRUE(cpu.PortFault);
    EXPECT_EQ(cpu.FaultPort, 0x42);
    EXPECT_TRUE(cpu.FaultPortWrite);
    EXPECT_EQ(cpu.PC, 0x100);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(cpu.PeriodTicks, ticks);
    EXPECT_EQ(cpu.InstructionCount, count + 1) << "it was fetched";
}

TEST_F(Cpu8080Faults, InFromPortZeroIsAReadFault) {
    cpu.A = 0x11;
    RunProgram(0x100, {0xDB, 0x00}, 1);
    EXPECT_TRUE(cpu.PortFault);
    EXPECT_EQ(cpu.FaultPort, 0x00);
    EXPECT_FALSE(cpu.FaultPortWrite);
    EXPECT_EQ(cpu.A, 0x11);
}

TEST_F(Cpu8080Faults, WriteToRomAbandonsTheInstruction) {
    organizer.SetPageRegister(0xF, 0xFC);  // window F shows internal ROM
    cpu.SP = 0x0000;                       // push goes to FFFE/FFFF: ROM
    Poke(0x100, {0xC5});                   // PUSH B
    cpu.PC = 0x100;
    EXPECT_EQ(cpu.Step(), 0);
    EXPECT_TRUE(memory.Fault());
    EXPECT_TRUE(memory.FaultWrite);
    EXPECT_EQ(memory.FaultAddress, 0xFFFE);
    EXPECT_EQ(cpu.PC, 0x100);
    EXPECT_EQ(cpu.SP, 0xFFFE) << "SP moved before the faulting write stays moved";
}

TEST_F(Cpu8080Faults, ReadFromAbsentMemoryLeavesTheDestinationAlone) {
    organizer.SetPageRegister(0x5, 0x10);  // no memory there
    cpu.A = 0x33;
    Poke(0x100, {0x3A, 0x00, 0x50});  // LDA 5000h
    cpu.PC = 0x100;
    EXPECT_EQ(cpu.Step(), 0);
    EXPECT_EQ(cpu.A, 0x33);
    EXPECT_FALSE(memory.FaultWrite);
    EXPECT_EQ(memory.FaultAddress, 0x5000);
    EXPECT_EQ(cpu.PC, 0x100);
}

TEST_F(Cpu8080Faults, OperandFetchFaultReturnsToTheOpcodeUncounted) {
    organizer.SetPageRegister(0x1, 0x10);  // 1000h onwards absent
    Poke(0x0FFF, {0x3E});                  // MVI A, with its operand in absent memory
    cpu.PC = 0x0FFF;
    int32_t count = cpu.InstructionCount;
    EXPECT_EQ(cpu.Step(), 0);
    EXPECT_EQ(cpu.PC, 0x0FFF);
    EXPECT_EQ(memory.FaultAddress, 0x1000);
    EXPECT_EQ(cpu.InstructionCount, count);
}

TEST_F(Cpu8080Faults, APendingFaultStopsEveryFurtherInstructionUntilCleared) {
    organizer.SetPageRegister(0x5, 0x10);
    RunProgram(0x100, {0x3A, 0x00, 0x50}, 1);
    ASSERT_TRUE(memory.Fault());
    Poke(0x200, {0x00});  // (Poke goes through Write, which still works on RAM)
    cpu.PC = 0x200;
    EXPECT_EQ(cpu.Step(), 0);
    EXPECT_EQ(cpu.PC, 0x200);
    EXPECT_EQ(cpu.Run(cpu.PeriodTicks + 100), 0);
    memory.ClearFault();
    EXPECT_EQ(cpu.Step(), 4);
    EXPECT_EQ(cpu.PC, 0x201);
}

TEST_F(Cpu8080Faults, ResetClearsTheMemoryFault) {
    organizer.SetPageRegister(0x5, 0x10);
    RunProgram(0x100, {0x3A, 0x00, 0x50}, 1);
    ASSERT_TRUE(memory.Fault());
    cpu.Reset();
    EXPECT_FALSE(memory.Fault());
}

class Cpu8080Ports : public CpuFixture {};

TEST_F(Cpu8080Ports, FirstMatchingBindingWinsAndRebindingMovesToTheEnd) {
    RecordingDevice wide, narrow;
    cpu.AttachPort(0xC0, 0xF0, false, &wide);
    cpu.AttachPort(0xC4, 0xFC, false, &narrow);
    EXPECT_EQ(cpu.FindPortDevice(0xC5), &wide);
    cpu.AttachPort(0xC0, 0xF0, false, &wide);  // moves behind the narrow one
    EXPECT_EQ(cpu.FindPortDevice(0xC5), &narrow);
    EXPECT_EQ(cpu.FindPortDevice(0xC1), &wide);
    ASSERT_EQ(cpu.PortBindings().size(), 2u);
    EXPECT_EQ(cpu.PortBindings().back().device, &wide);
    cpu.DetachPort(0xC4);
    EXPECT_EQ(cpu.FindPortDevice(0xC5), &wide);
    EXPECT_EQ(cpu.FindPortDevice(0x05), nullptr);
    cpu.AttachPort(0x00, 0x00, false, &narrow);  // mask 0 is refused
    cpu.AttachPort(0x10, 0xF0, false, nullptr);  // so is a missing device
    EXPECT_EQ(cpu.PortBindings().size(), 1u);
}

TEST_F(Cpu8080Ports, AccessesCarryThePeriodTickPosition) {
    RecordingDevice device;
    cpu.AttachPort(0xC0, 0xF0, false, &device);
    cpu.PeriodTicks = 100;
    cpu.A = 0x77;
    RunProgram(0x100, {0xD3, 0xC3, 0xDB, 0xC1}, 2);  // OUT C3h; IN C1h
    ASSERT_EQ(device.log.size(), 2u);
    EXPECT_EQ(device.log[0], (RecordingDevice::Access{true, 0xC3, 0x77, 100}));
    EXPECT_EQ(device.log[1], (RecordingDevice::Access{false, 0xC1, 0x01, 110}));
    EXPECT_EQ(cpu.A, 0x01);  // the device answers 40h + port
}

TEST_F(Cpu8080Ports, TickListenersRunAfterEveryInstructionInOrder) {
    std::vector<std::pair<int, int32_t>> calls;
    struct Listener {
        std::vector<std::pair<int, int32_t>>* calls;
        int id;
        void OnTicks(int32_t period, int32_t ticks) {
            calls->push_back({id, period * 100 + ticks});
        }
    } first{&calls, 1}, second{&calls, 2};
    cpu.AddTickListener(TickListener::Bind<&Listener::OnTicks>(&first));
    cpu.AddTickListener(TickListener::Bind<&Listener::OnTicks>(&second));
    cpu.AddTickListener(TickListener());  // empty: ignored
    cpu.PeriodTicks = 0;
    RunProgram(0x100, {0x00, 0x06, 0x01}, 2);  // NOP; MVI B,1
    EXPECT_EQ(calls,
              (std::vector<std::pair<int, int32_t>>{
                  {1, 4 * 100 + 4}, {2, 4 * 100 + 4}, {1, 11 * 100 + 7}, {2, 11 * 100 + 7}}));
    EXPECT_TRUE(cpu.RemoveTickListener(TickListener::Bind<&Listener::OnTicks>(&first)));
    EXPECT_FALSE(cpu.RemoveTickListener(TickListener::Bind<&Listener::OnTicks>(&first)));
}

TEST_F(Cpu8080Ports, ClockFoldsBackInsteadOfGoingNegative) {
    cpu.ClockTicks = 0x7FFFFFFE;
    RunProgram(0x100, {0x00}, 1);  // 4 ticks: 0x80000002 folds to 0x80000002 + 0x7FFFFFFF
    EXPECT_EQ(cpu.ClockTicks, 1);
    cpu.ClockTicks = 0x7FFFFFFC;
    RunProgram(0x100, {0x00}, 1);  // exactly 0x80000000: the fold gives -1
    EXPECT_EQ(cpu.ClockTicks, -1);
    RunProgram(0x100, {0x00}, 1);
    EXPECT_EQ(cpu.ClockTicks, 3);
}

}  // namespace
