#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "emulator/SpeedControl.h"
#include "machine/MemoryLayout.h"
#include "support/MachineFixture.h"

namespace {

TEST(SpeedControl, BudgetsStepsAndLabels) {
    EXPECT_EQ(speed::PeriodBudget(1.0), 4000);
    EXPECT_EQ(speed::PeriodBudget(0.25), 1000);
    EXPECT_EQ(speed::PeriodBudget(3.0), 12000);
    EXPECT_EQ(speed::PeriodBudget(0.33), 1320);

    double s = 2.0;
    s = speed::Step(s, -1);
    EXPECT_EQ(s, 1.0);
    s = speed::Step(s, -1);
    EXPECT_EQ(s, 0.5);
    s = speed::Step(s, -1);
    EXPECT_EQ(s, 0.25);
    s = speed::Step(s, -1);
    EXPECT_EQ(s, 0.25) << "never slower than a quarter";
    s = speed::Step(s, +1);
    EXPECT_EQ(s, 0.5);
    s = speed::Step(s, +1);
    EXPECT_EQ(s, 1.0);
    s = speed::Step(s, +1);
    EXPECT_EQ(s, 2.0);
    EXPECT_EQ(speed::Step(7.0, 0), 1.0);

    EXPECT_EQ(speed::Label(0.5), "0.50x");
    EXPECT_EQ(speed::Label(0.25), "0.25x");
    EXPECT_EQ(speed::Label(1.0), "1x");
    EXPECT_EQ(speed::Label(3.0), "3x");
}

class MachineRun : public MachineFixture {};

TEST_F(MachineRun, TestRomDrawsItsPatternAndHalts) {
    TestRom rom;
    rom.MapRam().Fill(0xA000, 2048, 0xFF).Fill(0x6000 + 0x1000, 2048, 0xFF).HaltLoop();
    Build(rom);
    RunPeriods(50);  // 100 ms
    EXPECT_TRUE(machine->Cpu->Halted);
    ScreenPicture picture = machine->Screen->RenderPicture(machine->VideoRam);
    ASSERT_EQ(picture.width, 256);
    auto pixel = [&](int x, int y) { return picture.pixels[static_cast<size_t>(y) * 256 + x]; };
    EXPECT_EQ(pixel(0, 0), 4) << "green";
    EXPECT_EQ(pixel(255, 63), 4);
    EXPECT_EQ(pixel(10, 64), 0);
    EXPECT_EQ(pixel(100, 128), 2) << "red";
    EXPECT_EQ(pixel(100, 191), 2);
    EXPECT_EQ(pixel(100, 200), 0);
}

TEST_F(MachineRun, EachPeriodRunsItsBudgetAndCarriesTheOvershoot) {
    TestRom rom;
    uint16_t loop = rom.MapRam().Code({0x31, 0x00, 0x80}).Here();  // LXI SP,8000h
    rom.Code({0xE3}).Jump(loop);  // XTHL (20 ticks): long instructions overshoot the budget
    Build(rom);
    machine->SetSpeedFactor(0.25);
    RunPeriods(1);
    int32_t carried = machine->Cpu->PeriodTicks;
    EXPECT_GE(carried, 0);
    EXPECT_LT(carried, 21);
    int32_t clockBefore = machine->Cpu->ClockTicks;
    RunPeriods(1);
    // The clock advanced by what the period ran: the budget, less what was carried in, plus
    // what is carried out.
    EXPECT_EQ(machine->Cpu->ClockTicks - clockBefore, 1000 - carried + machine->Cpu->PeriodTicks);
    EXPECT_EQ(machine->EmulatedTicks(), 2000);
}

TEST_F(MachineRun, AFaultStopsThePeriodWithItsTicksUnreduced) {
    TestRom rom;
    rom.Code({0x00, 0x00, 0xD3, 0x00});  // NOP; NOP; OUT 00h: no device
    Build(rom);
    RunPeriods(1);
    EXPECT_TRUE(machine->Cpu->PortFault);
    EXPECT_EQ(machine->Cpu->PeriodTicks, 4 + 4 + (4 & 1)) << "two NOPs ran, nothing subtracted";
    EXPECT_EQ(machine->EmulatedTicks(), 0);
    Machine::Fault fault = machine->TakeFault();
    EXPECT_EQ(fault.kind, Machine::Fault::Kind::PortWrite);
    EXPECT_EQ(fault.address, 0x00);
    EXPECT_FALSE(machine->Cpu->PortFault) << "taking the fault clears it";
    EXPECT_EQ(machine->GetRunState(), Machine::kPaused);
    EXPECT_EQ(machine->TakeFault().kind, Machine::Fault::Kind::None);
}

TEST_F(MachineRun, ABreakpointStopsBeforeItsInstructionAndHoldsTheMachine) {
    TestRom rom;
    rom.MapRam();
    uint16_t target = rom.Here();
    rom.Code({0x00}).HaltLoop();
    Build(rom);
    machine->Debugger().Breakpoints[2] = {target, 1};
    RunPeriods(1);
    EXPECT_EQ(machine->Cpu->PC, target);
    EXPECT_EQ(machine->Debugger().DebuggerState.load(), debugger::kBreakRequested);
    int32_t ticks = machine->Cpu->PeriodTicks;
    int64_t instructions = machine->ExecutedInstructions();
    RunPeriods(3);
    EXPECT_EQ(machine->ExecutedInstructions(), instructions) << "nothing runs while it is held";
    EXPECT_EQ(machine->Cpu->PeriodTicks, ticks);
}

TEST_F(MachineRun, MultiplierTakesOverThePagingPorts) {
    TestRom rom;
    rom.HaltLoop();
    LoadConfiguration(rom);
    settings->Set(config::keys::kMultiplier, true);
    machine = std::make_unique<Machine>(*settings, SilentAudio());
    machine->ApplySettings({config::Group::MainRom});
    ASSERT_NE(machine->Multiplier, nullptr);
    EXPECT_EQ(machine->Cpu->FindPortDevice(0xD8), machine->Multiplier.get());
    machine->Cpu->FindPortDevice(0xD9)->PortRead(0xD9, 0);
    EXPECT_TRUE(machine->Organizer->PagingOn()) << "every multiplier access switches paging on";

    settings->Set(config::keys::kMultiplier, false);
    machine->ApplySettings({config::Group::Multiplier});
    EXPECT_EQ(machine->Multiplier, nullptr);
    EXPECT_EQ(machine->Cpu->FindPortDevice(0xDB), machine->Organizer.get());
    EXPECT_EQ(machine->Cpu->FindPortDevice(0xC7), machine->Gpio.get());
    EXPECT_EQ(machine->Cpu->FindPortDevice(0xF3), machine->Organizer.get());
    EXPECT_EQ(machine->Cpu->FindPortDevice(0xBF), nullptr);
}

TEST_F(MachineRun, ColdRestartZeroesRamAndReloadsTheRom) {
    TestRom rom;
    rom.MapRam().HaltLoop();
    Build(rom);
    RunPeriods(2);
    machine->Memory->PagePointer(0xE3)[5] = 0x77;
    machine->ResetMachine(false);
    EXPECT_EQ(machine->Memory->PagePointer(0xE3)[5], 0x77) << "a warm reset keeps RAM";
    machine->ResetMachine(true);
    EXPECT_EQ(machine->Memory->PagePointer(0xE3)[5], 0x00);
    EXPECT_EQ(machine->Memory->PagePointer(0xFF)[0], rom.Image()[0x3000]);
    EXPECT_EQ(machine->Memory->PagePointer(0xF8)[0], 0xFF) << "blank external ROM";
    machine->SetPaused(true);
}

TEST_F(MachineRun, PauseAndResetFromAnotherThreadWhileTheTimerRuns) {
    TestRom rom;
    uint16_t loop = rom.MapRam().Here();
    rom.Fill(0xA000, 64, 0x55).Jump(loop);
    Build(rom);
    machine->SetThrottled(true);
    machine->SetPaused(false);
    std::atomic<bool> done{false};
    std::thread ui([&] {
        for (int i = 0; i < 40; ++i) {
            machine->SetPaused(true);
            if (i % 5 == 0) machine->ResetMachine(i % 10 == 0);
            machine->SetPaused(false);
            machine->RenderScreen();
            machine->ScanKeyboard();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        done = true;
    });
    ui.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    machine->SetPaused(true);
    EXPECT_TRUE(done);
    EXPECT_GT(machine->EmulatedTicks(), 0);
    EXPECT_EQ(machine->TakeFault().kind, Machine::Fault::Kind::None);
}

}  // namespace
