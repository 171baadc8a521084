#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "debugger/DebuggerViews.h"
#include "frontend/HostKeyboard.h"
#include "frontend/VirtualKeys.h"
#include "support/BusyRom.h"
#include "support/MachineFixture.h"

namespace {

// Something to run before every instruction.
struct Hook {
    std::function<void()> f;
    void Call() { f(); }
};

class MachineHistoryTest : public MachineFixture {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(LoadConfiguration(testing_support::BusyRom()));
        settings->Set(config::keys::kMultiplier, true);
        settings->Set(config::keys::kClockTimer0, true);
        settings->Set(config::keys::kChainTimer01, true);
        machine = std::make_unique<Machine>(*settings, SilentAudio());
        machine->ApplySettings(config::GroupSet::All());
        machine->WarmReset();
        machine->SetThrottled(false);
        machine->SetPaused(false);
        // A checkpoint every 0.3 s of emulated time: the restores below cross several.
        machine->History().SetFixedSpacing(600000);
    }
    std::vector<uint8_t> State() {
        std::vector<uint8_t> bytes;
        machine->SaveSnapshot(bytes);
        return bytes;
    }
};

// The whole serialised machine at random moments of a long run (inside periods and at their
// ends, with keys typed, a tape started and stopped between periods, the debugger's single
// steps at the end) comes back exactly when the history is taken back to each of them, newest
// first. A moment between two periods is the one the next instruction ran from: with the tape
// started or stopped and the keys taken in there.
TEST_F(MachineHistoryTest, RestoredMomentsEqualTheUninterruptedRun) {
    constexpr int kPeriods = 1500;
    std::mt19937 random(20);
    std::vector<uint8_t> tape(3000);
    for (uint8_t& b : tape) b = static_cast<uint8_t>(random());

    std::map<int64_t, std::vector<uint8_t>> expected;  // position -> state
    std::vector<int64_t> wanted;
    for (int i = 0; i < 12; ++i)
        wanted.push_back(std::uniform_int_distribution<int64_t>(1, 2000000)(random));
    std::sort(wanted.begin(), wanted.end());
    // Moments by position: instructions executed (the reset's step executes none).
    int64_t calls = 0;
    size_t next = 0;
    int64_t periodEnd = -1;
    auto capture = [&] {
        if (MachineTestAccess::Cpu(*machine).ResetPending) return;
        if (calls == periodEnd) expected[calls] = State();
        while (next < wanted.size() && wanted[next] == calls) {
            expected[calls] = State();
            ++next;
        }
        ++calls;
    };
    Hook hook{capture};
    machine->Debugger().BeforeInstruction = Closure<void()>::Bind<&Hook::Call>(&hook);

    HostKeyboard hostKeyboard;
    HostKeyboardState& keys = hostKeyboard.Keys();
    const int keyCodes[] = {vk::Char('A'), vk::Char('Q'), vk::kShift, vk::Char('7'), vk::Char('Z')};
    for (int period = 0; period < kPeriods; ++period) {
        if (period % 37 == 5) {
            const uint8_t key = static_cast<uint8_t>(keyCodes[random() % 5]);
            if (keys.IsDown(key)) {
                keys.Release(key);
            } else {
                keys.Press(key);
            }
            hostKeyboard.ScanInto(*machine);
        }
        if (period == 200)
            machine->CommandTape(tape.data(), static_cast<int32_t>(tape.size()), false);
        if (period == 900) machine->CommandTape(nullptr, 0, false);
        if (period == 1000) machine->CommandTape(tape.data(), 500, true);
        machine->CpuTimerEvent();
        ASSERT_FALSE(machine->FaultPending());
        if (period % 300 == 299) periodEnd = machine->History().Position();
    }
    machine->Debugger().BeforeInstruction = {};
    ASSERT_EQ(calls, machine->History().Position());
    machine->SetPaused(true);
    expected[calls] = State();  // the last period's end, where the debugger's steps begin
    for (int i = 0; i < 3; ++i) {
        machine->Debugger().Step();
        expected[calls + i + 1] = State();
    }
    EXPECT_GE(machine->History().CheckpointCount(), 3u);
    EXPECT_GT(machine->History().MemoryBytes(), 0u);

    for (auto it = expected.rbegin(); it != expected.rend(); ++it) {
        if (it->first < machine->History().OldestPosition()) continue;
        const MachineHistory::Restored restored = machine->History().RestorePosition(it->first);
        ASSERT_EQ(restored.outcome, MachineHistory::Outcome::Done) << "position " << it->first;
        EXPECT_EQ(machine->History().Position(), it->first);
        EXPECT_TRUE(State() == it->second) << "position " << it->first;
    }
    // Running forward from the restored moment goes on as the run did.
    const int64_t at = machine->History().Position();
    machine->SetPaused(false);
    machine->CpuTimerEvent();
    EXPECT_GT(machine->History().Position(), at);
}

// The deck's buttons reach the recorder between two periods whenever they are pressed: a tape
// started halfway through a period (here from inside it, as a hand-over served meanwhile would)
// plays from the next period on, exactly as in a twin started just before that period, and going
// back in time to that moment finds the tape started there.
TEST_F(MachineHistoryTest, ATapeStartedDuringAPeriodPlaysFromTheNextOne) {
    std::mt19937 random(7);
    std::vector<uint8_t> tape(400);
    for (uint8_t& b : tape) b = static_cast<uint8_t>(random());
    constexpr int kBefore = 12, kAfter = 40;

    for (int i = 0; i < kBefore; ++i) machine->CpuTimerEvent();
    int64_t calls = 0;
    Hook press{[&] {
        if (++calls == 200)
            machine->CommandTape(tape.data(), static_cast<int32_t>(tape.size()), false);
    }};
    machine->Debugger().BeforeInstruction = Closure<void()>::Bind<&Hook::Call>(&press);
    machine->CpuTimerEvent();
    machine->Debugger().BeforeInstruction = {};
    ASSERT_GT(calls, 200);
    EXPECT_EQ(machine->Tape().PlayState(), IfTape::kIdle) << "the command acted inside the period";
    const int64_t pressedAt = machine->History().Position();
    for (int i = 0; i < kAfter; ++i) machine->CpuTimerEvent();
    machine->SetPaused(true);
    ASSERT_NE(machine->Tape().PlayState(), IfTape::kIdle);
    const std::vector<uint8_t> after = State();

    auto twin = std::make_unique<Machine>(*settings, SilentAudio());
    twin->ApplySettings(config::GroupSet::All());
    twin->WarmReset();
    twin->SetThrottled(false);
    twin->SetPaused(false);
    for (int i = 0; i <= kBefore; ++i) twin->CpuTimerEvent();
    twin->SetPaused(true);
    twin->CommandTape(tape.data(), static_cast<int32_t>(tape.size()), false);
    std::vector<uint8_t> twinAtPress;
    twin->SaveSnapshot(twinAtPress);
    twin->SetPaused(false);
    for (int i = 0; i < kAfter; ++i) twin->CpuTimerEvent();
    std::vector<uint8_t> twinAfter;
    twin->SaveSnapshot(twinAfter);
    EXPECT_TRUE(after == twinAfter);

    ASSERT_EQ(machine->History().RestorePosition(pressedAt).outcome, MachineHistory::Outcome::Done);
    EXPECT_TRUE(State() == twinAtPress);
    ASSERT_EQ(machine->History().RestorePosition(pressedAt - 1).outcome,
              MachineHistory::Outcome::Done);
    EXPECT_EQ(machine->Tape().PlayState(), IfTape::kIdle);
}

// A register and a byte of memory edited in the debugger (the window then tells the history of
// the change): going back to that moment finds the edited values, and stepping on from there
// runs as it did after the edit.
TEST_F(MachineHistoryTest, AnEditIsPartOfTheMomentItWasMadeAt) {
    for (int i = 0; i < 20; ++i) machine->CpuTimerEvent();
    machine->SetPaused(true);
    debugger::DebuggerCore& core = machine->Debugger();
    core.Step();
    ChipCpu8080& cpu = MachineTestAccess::Cpu(*machine);
    // HL is the program's LFSR: the edit changes its course.
    debugger::SetRegisterValue(cpu, 3, static_cast<uint16_t>(cpu.HL() ^ 0x5A5A));
    MachineTestAccess::Memory(*machine).Write(0xF123, 0xC4);
    machine->NoteOutsideChange();
    const int64_t edited = machine->History().Position();
    const std::vector<uint8_t> atTheEdit = State();
    constexpr int kSteps = 40;
    for (int i = 0; i < kSteps; ++i) core.Step();
    const std::vector<uint8_t> after = State();

    for (int i = 0; i < kSteps; ++i) {
        ASSERT_EQ(machine->History().StepBack(1).outcome, MachineHistory::Outcome::Done);
    }
    EXPECT_EQ(machine->History().Position(), edited);
    EXPECT_TRUE(State() == atTheEdit) << "the moment shows the edit";
    for (int i = 0; i < kSteps; ++i) core.Step();
    EXPECT_TRUE(State() == after) << "and runs on with it";
    // One further back is the moment before the edit.
    ASSERT_EQ(machine->History().RestorePosition(edited - 1).outcome,
              MachineHistory::Outcome::Done);
    core.Step();
    EXPECT_FALSE(State() == atTheEdit);
}

// One instruction back at a time over an interrupt acknowledge, over the boundary between two
// periods and over the last instructions run, each moment compared with a twin machine's
// uninterrupted run.
TEST_F(MachineHistoryTest, StepBackOverAnInterruptAndAPeriodBoundary) {
    constexpr int kPeriods = 400;
    std::vector<int64_t> acks;
    int64_t position = 0;
    Hook watch{[&] {
        const ChipCpu8080& cpu = MachineTestAccess::Cpu(*machine);
        if (cpu.ResetPending) return;
        if (cpu.IntAck) acks.push_back(position);
        ++position;
    }};
    machine->Debugger().BeforeInstruction = Closure<void()>::Bind<&Hook::Call>(&watch);
    int64_t boundary = 0;
    for (int i = 0; i < kPeriods; ++i) {
        machine->CpuTimerEvent();
        if (i == kPeriods / 2) boundary = machine->History().Position();
    }
    machine->Debugger().BeforeInstruction = {};
    machine->SetPaused(true);
    ASSERT_EQ(position, machine->History().Position());
    ASSERT_FALSE(acks.empty()) << "no interrupt acknowledged";
    const int64_t ack = acks[acks.size() / 2];
    // Newest first: a restore drops what came after it.
    std::vector<int64_t> tops = {position, boundary + 3, ack + 3};
    std::sort(tops.rbegin(), tops.rend());

    std::map<int64_t, std::vector<uint8_t>> expected;
    auto twin = std::make_unique<Machine>(*settings, SilentAudio());
    twin->ApplySettings(config::GroupSet::All());
    twin->WarmReset();
    twin->SetThrottled(false);
    twin->SetPaused(false);
    int64_t twinPosition = 0;
    Hook capture{[&] {
        const ChipCpu8080& cpu = MachineTestAccess::Cpu(*twin);
        if (cpu.ResetPending) return;
        for (int64_t top : tops) {
            if (twinPosition < top && twinPosition >= top - 6) {
                std::vector<uint8_t> bytes;
                twin->SaveSnapshot(bytes);
                expected[twinPosition] = bytes;
            }
        }
        ++twinPosition;
    }};
    twin->Debugger().BeforeInstruction = Closure<void()>::Bind<&Hook::Call>(&capture);
    for (int i = 0; i < kPeriods; ++i) twin->CpuTimerEvent();
    ASSERT_EQ(twinPosition, position);

    for (int64_t top : tops) {
        ASSERT_EQ(machine->History().RestorePosition(top).outcome, MachineHistory::Outcome::Done);
        for (int64_t at = top - 1; at >= top - 6; --at) {
            ASSERT_EQ(machine->History().StepBack(1).outcome, MachineHistory::Outcome::Done);
            ASSERT_EQ(machine->History().Position(), at);
            ASSERT_TRUE(State() == expected[at]) << "position " << at << " of " << top;
        }
    }
    EXPECT_TRUE(MachineTestAccess::Cpu(*machine).IntAck || acks.back() != ack);
}

TEST_F(MachineHistoryTest, RewindAndStepBackStopAtTheOldestMomentKept) {
    machine->History().SetDepthSeconds(1);
    for (int i = 0; i < 1500; ++i) machine->CpuTimerEvent();
    machine->SetPaused(true);
    MachineHistory& history = machine->History();
    // One checkpoint at or before the depth is kept; anything older is gone.
    EXPECT_LE(history.OldestTicks(), history.Ticks() - MachineHistory::kTicksPerSecond);
    EXPECT_GT(history.OldestTicks(), 0);
    const std::vector<uint8_t> now = State();
    EXPECT_EQ(history.RestorePosition(history.OldestPosition() - 1).outcome,
              MachineHistory::Outcome::Unreachable);
    EXPECT_TRUE(State() == now);

    const int64_t ticks = history.Ticks();
    ASSERT_EQ(history.RewindTicks(200000).outcome, MachineHistory::Outcome::Done);
    EXPECT_EQ(history.Ticks(), ticks - 200000);
    EXPECT_EQ(machine->EmulatedTicks(), ticks - 200000);
    ASSERT_EQ(history.RewindTicks(int64_t{1} << 40).outcome, MachineHistory::Outcome::Done);
    EXPECT_EQ(history.Position(), history.OldestPosition());
}

// The fourth moment back at which PC stands at the loop's head, found by looking at every
// instruction since the oldest checkpoint.
TEST_F(MachineHistoryTest, StepBackWhereFindsTheEarlierHits) {
    for (int i = 0; i < 20; ++i) machine->CpuTimerEvent();
    const uint16_t loop = MachineTestAccess::Cpu(*machine).PC;  // anywhere the loop passes
    std::vector<int64_t> hits;
    int64_t calls = 0;
    Hook watch{[&] {
        if (MachineTestAccess::Cpu(*machine).PC == loop) hits.push_back(calls);
        ++calls;
    }};
    const int64_t start = machine->History().Position();
    machine->Debugger().BeforeInstruction = Closure<void()>::Bind<&Hook::Call>(&watch);
    for (int i = 0; i < 3; ++i) machine->CpuTimerEvent();
    machine->Debugger().BeforeInstruction = {};
    machine->SetPaused(true);
    ASSERT_GE(hits.size(), 5u);
    const int64_t end = machine->History().Position();
    const auto restored = machine->History().StepBackWhere(
        4, [&](const ChipCpu8080& cpu, const ChipMemory&) { return cpu.PC == loop; }, false);
    ASSERT_EQ(restored.outcome, MachineHistory::Outcome::Done);
    const int64_t fourth = hits[hits.size() - (hits.back() + start == end ? 5 : 4)];
    EXPECT_EQ(machine->History().Position(), start + fourth);
    EXPECT_EQ(MachineTestAccess::Cpu(*machine).PC, loop);
}

}  // namespace
