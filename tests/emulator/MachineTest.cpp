#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "emulator/SpeedControl.h"
#include "frontend/HostKeyboard.h"
#include "frontend/ScreenPresenter.h"
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
    EXPECT_TRUE(machine->Processor().halted);
    ScreenPicture picture = testing_support::PictureOf(*machine);
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
    int32_t carried = machine->Processor().periodTicks;
    EXPECT_GE(carried, 0);
    EXPECT_LT(carried, 21);
    int32_t clockBefore = machine->Processor().clockTicks;
    RunPeriods(1);
    // The clock advanced by what the period ran: the budget, less what was carried in, plus
    // what is carried out.
    const Machine::ProcessorView after = machine->Processor();
    EXPECT_EQ(after.clockTicks - clockBefore, 1000 - carried + after.periodTicks);
    EXPECT_EQ(machine->EmulatedTicks(), 2000);
}

TEST_F(MachineRun, AFaultStopsThePeriodWithItsTicksUnreduced) {
    TestRom rom;
    rom.Code({0x00, 0x00, 0xD3, 0x00});  // NOP; NOP; OUT 00h: no device
    Build(rom);
    RunPeriods(1);
    EXPECT_TRUE(machine->FaultPending());
    EXPECT_EQ(machine->Processor().periodTicks, 4 + 4 + (4 & 1))
        << "two NOPs ran, nothing subtracted";
    EXPECT_EQ(machine->EmulatedTicks(), 0);
    Machine::Fault fault = machine->TakeFault();
    EXPECT_EQ(fault.kind, Machine::Fault::Kind::PortWrite);
    EXPECT_EQ(fault.address, 0x00);
    EXPECT_FALSE(machine->FaultPending()) << "taking the fault clears it";
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
    EXPECT_EQ(machine->Processor().pc, target);
    EXPECT_EQ(machine->Debugger().DebuggerState.load(), debugger::kBreakRequested);
    int32_t ticks = machine->Processor().periodTicks;
    int64_t instructions = machine->ExecutedInstructions();
    RunPeriods(3);
    EXPECT_EQ(machine->ExecutedInstructions(), instructions) << "nothing runs while it is held";
    EXPECT_EQ(machine->Processor().periodTicks, ticks);
}

TEST_F(MachineRun, MultiplierTakesOverThePagingPorts) {
    TestRom rom;
    rom.HaltLoop();
    LoadConfiguration(rom);
    settings->Set(config::keys::kMultiplier, true);
    machine = std::make_unique<Machine>(*settings, SilentAudio());
    machine->ApplySettings({config::Group::MainRom});
    ASSERT_TRUE(machine->MultiplierFitted());
    auto device = [&](uint8_t port) {
        PeripheralDevice* found = MachineTestAccess::Cpu(*machine).FindPortDevice(port);
        return found != nullptr ? found->DeviceType() : -1;
    };
    EXPECT_EQ(device(0xD8), kDeviceMultiplier);
    MachineTestAccess::Cpu(*machine).FindPortDevice(0xD9)->PortRead(0xD9, 0);
    EXPECT_TRUE(MachineTestAccess::Organizer(*machine).PagingOn())
        << "every multiplier access switches paging on";

    settings->Set(config::keys::kMultiplier, false);
    machine->ApplySettings({config::Group::Multiplier});
    EXPECT_FALSE(machine->MultiplierFitted());
    EXPECT_EQ(device(0xDB), kDeviceMemoryOrganizer);
    EXPECT_EQ(device(0xC7), kDeviceGpio);
    EXPECT_EQ(device(0xF3), kDeviceMemoryOrganizer);
    EXPECT_EQ(device(0xBF), -1);
}

TEST_F(MachineRun, ColdRestartZeroesRamAndReloadsTheRom) {
    TestRom rom;
    rom.MapRam().HaltLoop();
    Build(rom);
    RunPeriods(2);
    {
        Machine::PausedScope paused(*machine);
        ASSERT_TRUE(paused.WasRunning());
        EXPECT_EQ(machine->GetRunState(), Machine::kPaused);
        paused.Memory()->PagePointer(0xE3)[5] = 0x77;
    }
    EXPECT_EQ(machine->GetRunState(), Machine::kRunning) << "the scope lets it run again";
    auto page = [&](int number) { return machine->MemoryView()->PagePointer(number); };
    machine->ResetMachine(false);
    EXPECT_EQ(page(0xE3)[5], 0x77) << "a warm reset keeps RAM";
    machine->ResetMachine(true);
    EXPECT_EQ(page(0xE3)[5], 0x00);
    EXPECT_EQ(page(0xFF)[0], rom.Image()[0x3000]);
    EXPECT_EQ(page(0xF8)[0], 0xFF) << "blank external ROM";
    machine->SetPaused(true);
}

// The run loop wakes for several periods at a time, and the window samples the keys between
// them: a short press and its release can both be latched before a period takes either. The
// press must reach the port and stay there for 10 ms of machine time, then the release; a change
// latched on its own goes in at the next period, as before.
TEST_F(MachineRun, APressAndItsReleaseLatchedTogetherAreBothSeen) {
    TestRom rom;
    uint16_t loop = rom.MapRam().Here();
    rom.Jump(loop);
    Build(rom);
    RunPeriods(3);
    const Board& board = MachineTestAccess::BoardOf(*machine);
    KeyMatrix pressed;
    pressed.columns[3] = 0x10;
    KeyMatrix other;
    other.columns[9] = 0x02;
    const KeyMatrix released;
    machine->SetKeyMatrix(pressed);
    machine->SetKeyMatrix(released);
    machine->SetKeyMatrix(released);  // sampled again, unchanged
    std::vector<uint8_t> seen;
    for (int period = 0; period < 8; ++period) {
        RunPeriods(1);
        seen.push_back(board.CurrentInputs().keys[3]);
    }
    // Five periods of 2 ms with the key down, the release at the start of the sixth.
    EXPECT_EQ(seen, (std::vector<uint8_t>{0x10, 0x10, 0x10, 0x10, 0x10, 0, 0, 0}));

    machine->SetKeyMatrix(other);
    RunPeriods(1);
    EXPECT_EQ(board.CurrentInputs().keys[9], 0x02) << "a lone change waits for no hold";
    // Three changes before a period: the first is held, the latest follows it; only the one
    // between (this key's release) is merged away, so no key goes unseen.
    machine->SetKeyMatrix(pressed);
    machine->SetKeyMatrix(released);
    machine->SetKeyMatrix(other);
    RunPeriods(1);
    EXPECT_EQ(board.CurrentInputs().keys[3], 0x10);
    RunPeriods(5);
    EXPECT_EQ(board.CurrentInputs().keys[3], 0);
    EXPECT_EQ(board.CurrentInputs().keys[9], 0x02);
}

// On its own timer the machine runs several periods per wake-up; a timed run's end (the period
// hook stopping the timer) and a fault must still end the wake-up at once, in emulated time.
TEST_F(MachineRun, TheTimerStopsAfterThePeriodThatStoppedItAndAFaultEndsItsWakeUp) {
    TestRom rom;
    uint16_t loop = rom.MapRam().Here();
    rom.Jump(loop);
    Build(rom);
    struct Stopper {
        void OnPeriod() {
            if (++periods == 7) machine->StopTimer();
        }
        Machine* machine;
        int periods = 0;
    } stopper{machine.get()};
    machine->SetPeriodHook(Closure<void()>::Bind<&Stopper::OnPeriod>(&stopper));
    machine->SetThrottled(true);
    machine->SetPaused(false);
    ASSERT_TRUE(machine->WaitTimerStopped(2000));
    // Past the end of the wake-up the seventh period fell in.
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_EQ(stopper.periods, 7);
    EXPECT_EQ(machine->EmulatedTicks(), 7 * 4000);
    machine->StopRunLoop();

    TestRom faulty;
    faulty.MapRam().Code({0x00, 0xD3, 0x00});  // NOP; OUT 00h: no device
    Build(faulty);
    stopper = Stopper{machine.get()};
    machine->SetPeriodHook(Closure<void()>::Bind<&Stopper::OnPeriod>(&stopper));
    machine->SetThrottled(true);
    machine->SetPaused(false);
    ASSERT_TRUE(machine->WaitTimerStopped(2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_EQ(stopper.periods, 0) << "the faulting period ended the wake-up before its hook";
    EXPECT_EQ(machine->TakeFault().kind, Machine::Fault::Kind::PortWrite);
}

// The window thread pauses, resets and renders while the timer thread runs periods. What must
// hold: no period runs while the machine is paused, the machine runs between the pauses, and
// after the last resume it runs the program from its reset to the end of the fill.
TEST_F(MachineRun, PauseAndResetFromAnotherThreadWhileTheTimerRuns) {
    constexpr uint16_t kFill = 0xA000, kFillLength = 64;
    TestRom rom;
    uint16_t loop = rom.MapRam().Here();
    rom.Fill(kFill, kFillLength, 0x55).Jump(loop);
    Build(rom);
    machine->SetThrottled(true);
    machine->SetPaused(false);
    std::atomic<int> ranWhilePaused{0};
    HostKeyboard keyboard;
    std::thread ui([&] {
        for (int i = 0; i < 40; ++i) {
            {
                Machine::PausedScope paused(*machine);
                const int64_t ticks = machine->EmulatedTicks();
                // Longer than a period: a run loop that ignored the pause would show here.
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
                if (machine->EmulatedTicks() != ticks) ++ranWhilePaused;
            }
            if (i % 5 == 0) machine->ResetMachine(i % 10 == 0);
            ScreenPresenter presenter;
            presenter.Render(*machine);
            keyboard.ScanInto(*machine);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    ui.join();
    EXPECT_EQ(ranWhilePaused, 0);
    EXPECT_EQ(machine->GetRunState(), Machine::kRunning);

    // The last reset was warm (i = 35): the program fills its bytes again after it.
    const int64_t resumedAt = machine->EmulatedTicks();
    bool filled = false;
    for (int wait = 0; wait < 400 && !filled; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        Machine::PausedScope paused(*machine);
        filled = machine->EmulatedTicks() > resumedAt;
        for (uint16_t a = kFill; a < kFill + kFillLength; ++a) {
            filled = filled && machine->MemoryView()->Peek(a) == 0x55;
        }
    }
    EXPECT_TRUE(filled) << "the machine did not run its program to the end after the resets";

    machine->StopRunLoop();
    const int64_t stoppedAt = machine->EmulatedTicks();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(machine->EmulatedTicks(), stoppedAt) << "a period ran after the run loop stopped";
    EXPECT_EQ(machine->TakeFault().kind, Machine::Fault::Kind::None);
}

}  // namespace
