#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "emulator/InputMovie.h"
#include "frontend/HostKeyboard.h"
#include "frontend/VirtualKeys.h"
#include "machine/JoyOPVS.h"
#include "support/BusyRom.h"
#include "support/MachineFixture.h"

namespace {

class InputMovieTest : public MachineFixture {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(LoadConfiguration(testing_support::BusyRom()));
        settings->Set(config::keys::kMultiplier, true);
        settings->Set(config::keys::kClockTimer0, true);
        settings->Set(config::keys::kChainTimer01, true);
        settings->Set(config::keys::kJoystickConnected, true);
        settings->Set(config::keys::kJoystickType, config::JoystickSource::Keys);
    }
    std::unique_ptr<Machine> Make() {
        auto made = std::make_unique<Machine>(*settings, SilentAudio());
        made->ApplySettings(config::GroupSet::All());
        made->WarmReset();
        made->SetThrottled(false);
        made->SetPaused(false);
        return made;
    }
    // The two parallel ports keep where in its period they were last reached, which only places
    // the speaker's level in that period's sound: a playback at another speed has other periods.
    static std::vector<uint8_t> WithoutPortStamps(std::vector<uint8_t> bytes) {
        size_t at = 12;
        while (at + 8 <= bytes.size() - 4) {
            const std::string tag(reinterpret_cast<const char*>(&bytes[at]), 4);
            const size_t length = bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16 |
                                  static_cast<size_t>(bytes[at + 7]) << 24;
            if ((tag == "SPIO" || tag == "GPIO") && length >= 16) {
                std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at + 8 + 12), 4, 0);
            }
            at += 8 + length;
        }
        std::fill_n(bytes.end() - 4, 4, 0);  // the checksum
        return bytes;
    }
    static std::vector<uint8_t> State(Machine& m) {
        std::vector<uint8_t> bytes;
        m.SaveSnapshot(bytes);
        return bytes;
    }
};

// A run with every kind of input from outside (keys, the joystick's switches, a tape started,
// stopped and started fast, a file stored into memory, the debugger's steps between periods) is
// recorded and played into a fresh machine at three times the speed, whose own keys, joystick and
// tape buttons are pressed all the while: at the movie's end the whole machine (memory,
// registers, devices), its picture and the keys and switches held are the recorded run's.
TEST_F(InputMovieTest, APlayedMovieEndsAtTheRecordedMachine) {
    machine = Make();
    for (int i = 0; i < 40; ++i) machine->CpuTimerEvent();
    machine->StartRecordingInputs();
    ASSERT_TRUE(machine->RecordingInputs());

    std::mt19937 random(32);
    std::vector<uint8_t> tape(2500);
    for (uint8_t& b : tape) b = static_cast<uint8_t>(random());
    HostKeyboard hostKeyboard;
    hostKeyboard.ApplySettings(*settings, config::GroupSet::All());
    HostKeyboardState& keys = hostKeyboard.Keys();
    const int keyCodes[] = {vk::Char('A'), vk::Char('Q'), vk::kShift,    vk::Char('7'),
                            vk::Char('Z'), vk::Char('K'), vk::Char('3'), vk::Char('M'),
                            vk::Char('P'), vk::Char('G')};
    for (int period = 0; period < 1400; ++period) {
        if (period % 7 == 5) {
            const uint8_t key = static_cast<uint8_t>(keyCodes[random() % 10]);
            if (keys.IsDown(key)) {
                keys.Release(key);
            } else {
                keys.Press(key);
            }
            hostKeyboard.ScanInto(*machine);
        }
        if (period % 5 == 1) machine->SampleJoystick(static_cast<uint8_t>(random() & 0x1F));
        if (period == 100)
            machine->CommandTape(tape.data(), static_cast<int32_t>(tape.size()), false);
        if (period == 350) machine->CommandTape(nullptr, 0, false);
        if (period == 420) machine->CommandTape(tape.data(), 600, true);
        if (period == 250) {
            Machine::PausedScope paused(*machine);
            for (uint16_t i = 0; i < 256; ++i)
                paused.Memory()->Write(static_cast<uint16_t>(0x3000 + i), tape[i]);
        }
        if (period == 500) {
            machine->SetPaused(true);
            for (int i = 0; i < 3; ++i) machine->Debugger().Step();
            machine->SetPaused(false);
        }
        machine->CpuTimerEvent();
        ASSERT_FALSE(machine->FaultPending());
    }
    machine->SetPaused(true);
    const int64_t recordedTicks = machine->RecordedTicks();
    const std::string path = folder.Path() + "run.tvm";
    std::string error;
    ASSERT_TRUE(movie::SaveFile(path, machine->StopRecordingInputs(), &error)) << error;
    EXPECT_FALSE(machine->RecordingInputs());
    const std::vector<uint8_t> expected = State(*machine);
    const ScreenPicture picture = testing_support::PictureOf(*machine);

    movie::Movie played;
    ASSERT_EQ(movie::LoadFile(path, played, nullptr), snapshot::LoadError::None);
    EXPECT_EQ(played.length, recordedTicks);
    EXPECT_EQ(played.length, 1400 * 4000);
    int inputs = 0, states = 0;
    for (const movie::Event& event : played.events)
        ++(event.kind == movie::Event::Kind::Inputs ? inputs : states);
    EXPECT_GT(inputs, 40);
    EXPECT_GE(states, 5);  // three tape commands, the memory store, the debugger's steps

    // Without its inputs a playback ends with other keys and switches held.
    movie::Movie withoutInputs = played;
    std::vector<movie::Event>& kept = withoutInputs.events;
    kept.erase(std::remove_if(kept.begin() + 1, kept.end(),
                              [](const movie::Event& event) {
                                  return event.kind == movie::Event::Kind::Inputs;
                              }),
               kept.end());
    std::unique_ptr<Machine> deaf = Make();
    ASSERT_EQ(deaf->StartPlayingInputs(std::move(withoutInputs)), snapshot::LoadError::None);
    for (int i = 0; i < 2000 && deaf->PlayingInputs(); ++i) deaf->CpuTimerEvent();
    deaf->SetPaused(true);
    const Board::Inputs held = MachineTestAccess::BoardOf(*machine).CurrentInputs();
    EXPECT_FALSE(MachineTestAccess::BoardOf(*deaf).CurrentInputs() == held);

    std::unique_ptr<Machine> player = Make();
    player->SetSpeedFactor(3.0);
    for (int i = 0; i < 7; ++i) player->CpuTimerEvent();
    ASSERT_EQ(player->StartPlayingInputs(std::move(played)), snapshot::LoadError::None);
    HostKeyboard intruder;
    int periods = 0;
    for (; periods < 2000 && player->PlayingInputs(); ++periods) {
        intruder.Keys().Press(static_cast<uint8_t>(keyCodes[periods % 10]));
        intruder.ScanInto(*player);
        player->SampleJoystick(joybits::kFire | joybits::kLeft);
        if (periods % 50 == 0) player->CommandTape(tape.data(), 100, true);
        player->CpuTimerEvent();
        ASSERT_FALSE(player->FaultPending());
    }
    EXPECT_FALSE(player->PlayingInputs());
    // A third of the periods, each ending at the next event when one comes sooner.
    EXPECT_LT(periods, 1400);
    const Machine::PlaybackEnd end = player->TakePlaybackEnd();
    EXPECT_TRUE(end.ended);
    EXPECT_EQ(end.error, snapshot::LoadError::None);
    player->SetPaused(true);
    player->SetSpeedFactor(1.0);
    EXPECT_EQ(MachineTestAccess::Cpu(*player).PC, MachineTestAccess::Cpu(*machine).PC);
    EXPECT_EQ(player->ExecutedInstructions(), machine->ExecutedInstructions());
    EXPECT_TRUE(WithoutPortStamps(State(*player)) == WithoutPortStamps(expected));
    EXPECT_TRUE(MachineTestAccess::BoardOf(*player).CurrentInputs() == held);
    EXPECT_TRUE(testing_support::PictureOf(*player).pixels == picture.pixels);
}

// A movie is refused whole when any part of it is wrong, before anything plays; a movie of other
// hardware is refused by the machine, which stays as it was.
TEST_F(InputMovieTest, ADamagedOrForeignMovieIsRefused) {
    machine = Make();
    machine->CpuTimerEvent();
    machine->StartRecordingInputs();
    machine->CpuTimerEvent();
    KeyMatrix pressed;
    pressed.columns[2] = 0x04;
    machine->SetKeyMatrix(pressed);
    for (int i = 0; i < 5; ++i) machine->CpuTimerEvent();
    machine->CommandTape(nullptr, 0, false);
    machine->CpuTimerEvent();
    machine->SetPaused(true);
    const movie::Movie recorded = machine->StopRecordingInputs();
    const std::vector<uint8_t> bytes = movie::Encode(recorded);
    movie::Movie read;
    ASSERT_EQ(movie::Decode(bytes.data(), bytes.size(), read, nullptr), snapshot::LoadError::None);
    ASSERT_EQ(read.events.size(), 3u);  // the start's inputs, the key, the tape's stop
    EXPECT_EQ(read.events[1].tick, 4000);
    EXPECT_EQ(read.events[1].inputs.keys[2], 0x04);
    EXPECT_EQ(read.events[2].kind, movie::Event::Kind::State);
    EXPECT_EQ(read.events[2].tick, 6 * 4000);
    EXPECT_EQ(read.length, 7 * 4000);

    auto decode = [](const std::vector<uint8_t>& data) {
        movie::Movie ignored;
        uint32_t version = 0;
        return movie::Decode(data.data(), data.size(), ignored, &version);
    };
    auto resealed = [](std::vector<uint8_t> data) {
        const uint32_t crc = snapshot::Crc32(data.data(), data.size() - 4);
        for (int i = 0; i < 4; ++i)
            data[data.size() - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
        return data;
    };
    using snapshot::LoadError;
    for (size_t cut : {size_t{0}, size_t{10}, bytes.size() / 2, bytes.size() - 1}) {
        const std::vector<uint8_t> shorter(bytes.begin(), bytes.begin() + cut);
        EXPECT_NE(decode(shorter), LoadError::None) << cut;
    }
    std::vector<uint8_t> flipped = bytes;
    flipped[bytes.size() / 3] ^= 0x40;
    EXPECT_EQ(decode(flipped), LoadError::Damaged);
    std::vector<uint8_t> newer = bytes;
    newer[8] = 2;
    EXPECT_EQ(decode(resealed(newer)), LoadError::NewerVersion);
    std::vector<uint8_t> foreign = bytes;
    foreign[0] = 'X';
    EXPECT_EQ(decode(foreign), LoadError::NotSnapshot);
    // Checksums right, contents wrong: events out of order, past the end, a held snapshot
    // altered, an unknown kind of event.
    movie::Movie bad = recorded;
    std::swap(bad.events[1].tick, bad.events[2].tick);
    EXPECT_EQ(decode(movie::Encode(bad)), LoadError::Damaged);
    bad = recorded;
    bad.events[2].tick = bad.length + 1;
    EXPECT_EQ(decode(movie::Encode(bad)), LoadError::Damaged);
    bad = recorded;
    bad.events[2].state[40] ^= 1;
    EXPECT_EQ(decode(movie::Encode(bad)), LoadError::Damaged);
    bad = recorded;
    bad.events[1].kind = static_cast<movie::Event::Kind>(7);
    EXPECT_EQ(decode(movie::Encode(bad)), LoadError::Damaged);
    EXPECT_EQ(movie::LoadFile(folder.Path() + "none.tvm", read, nullptr), LoadError::Unreadable);

    settings->Set(config::keys::kMultiplier, false);
    std::unique_ptr<Machine> other = Make();
    other->CpuTimerEvent();
    other->SetPaused(true);
    const std::vector<uint8_t> before = State(*other);
    EXPECT_EQ(other->StartPlayingInputs(recorded), LoadError::OtherHardware);
    EXPECT_FALSE(other->PlayingInputs());
    EXPECT_TRUE(State(*other) == before);
}

}  // namespace
