#include "emulator/StartUp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/MachineFixture.h"

namespace {

class StartUpTest : public MachineFixture {};

// The order the window and the headless runner both rely on: their own settings first, then the
// language, then the machine built from every group, then the reset, then the run.
TEST_F(StartUpTest, RunsTheStepsInOrderAndLeavesTheMachineRunning) {
    TestRom rom;
    rom.MapRam().Fill(0xA000, 32, 0x3C).HaltLoop();
    LoadConfiguration(rom);
    settings->Set(config::keys::kLanguage, "german");
    machine = std::make_unique<Machine>(*settings, SilentAudio());
    machine->SetThrottled(false);

    std::vector<std::string> steps;
    config::GroupSet groups;
    StartUpHooks hooks;
    hooks.configure = [&] { steps.push_back(machine->Built() ? "configure built" : "configure"); };
    hooks.loadLanguage = [&](std::string_view language) {
        steps.push_back("language " + std::string(language));
    };
    hooks.applied = [&](config::GroupSet applied) {
        groups = applied;
        steps.push_back(machine->Built() ? "applied built" : "applied");
    };
    hooks.beforeRun = [&] {
        steps.push_back(machine->GetRunState() == Machine::kBeforeFirstRun ? "before run"
                                                                           : "before run late");
    };
    StartUp(*machine, hooks);

    EXPECT_EQ(steps, (std::vector<std::string>{"configure", "language german", "applied built",
                                               "before run"}));
    EXPECT_EQ(groups, config::GroupSet::All());
    EXPECT_EQ(machine->GetRunState(), Machine::kRunning);
    // The machine built is the configured one: it runs the test ROM to its halt.
    for (int i = 0; i < 5; ++i) machine->CpuTimerEvent();
    EXPECT_EQ(machine->MemoryView()->Peek(0xA01F), 0x3C);
    EXPECT_TRUE(machine->Processor().halted);
}

}  // namespace
