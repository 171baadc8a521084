#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

#include "host/audio/SoundDevices.h"
#include "host/audio/SoundDriver.h"
#include "host/audio/SoundSystem.h"
#include "machine/SystemPIO.h"
#include "sound/SoundTestEnvironment.h"

namespace {

using namespace std::chrono_literals;

// A private PulseAudio server with a null sink, a clocked device that plays nothing: ALSA's
// default device talks to it, and parec records what reaches the sink.
class PulsePacingSlowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!soundtest::ProgramExists("pulseaudio") || !soundtest::ProgramExists("parec")) {
            GTEST_SKIP() << "pulseaudio and parec are needed (scripts/install-deps.sh)";
        }
        ASSERT_TRUE(folder.Ok());
        std::filesystem::create_directory(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        soundtest::WriteFile(folder.Dir() / ".asoundrc", soundtest::AlsaPulseConfig());
        soundtest::WriteFile(folder.Dir() / ".config/pulse/client.conf", "autospawn = no\n");

        server.emplace(
            std::vector<std::string>{"pulseaudio", "-n", "--daemonize=no", "--use-pid-file=no",
                                     "--exit-idle-time=-1", "--load=module-null-sink",
                                     "--load=module-native-protocol-unix"},
            folder.Dir() / "server.out");
        for (int i = 0; i < 500 && !std::filesystem::exists(runtime / "pulse/native"); ++i) {
            ASSERT_TRUE(server->Running()) << "pulseaudio stopped; see " << folder.Dir();
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_TRUE(std::filesystem::exists(runtime / "pulse/native"));
        recorder.emplace(
            std::vector<std::string>{"parec", "-d", "null.monitor", "--format=s16le",
                                     "--rate=44100", "--channels=2", "--latency-msec=20"},
            capture);
        std::this_thread::sleep_for(300ms);
        ASSERT_TRUE(recorder->Running());
    }

    void TearDown() override {
        recorder.reset();
        server.reset();
    }

    testing_support::TempFolder folder;
    std::filesystem::path runtime = folder.Dir() / "run";
    std::filesystem::path capture = folder.Dir() / "capture.raw";
    soundtest::ScopedEnv home{"HOME", folder.Dir().string()};
    soundtest::ScopedEnv xdgConfig{"XDG_CONFIG_HOME", (folder.Dir() / ".config").string()};
    soundtest::ScopedEnv xdgRuntime{"XDG_RUNTIME_DIR", runtime.string()};
    std::optional<soundtest::ChildProcess> server;
    std::optional<soundtest::ChildProcess> recorder;
};

// The machine as the run loop drives it: per period, ProduceBlock first; unless told to skip,
// 4000 ticks in which the program, once beeping, flips the speaker between levels 8 and 15 at
// 1 kHz.
struct PacedMachine {
    explicit PacedMachine(SoundSystem& sound) : sound(sound) {
        pio.Reset(0);
        pio.PortWrite(0xC3, 0x80, 0);
        pio.SetSpeakerOutput(sound.LevelOutput());
    }
    ~PacedMachine() { pio.SetSpeakerOutput({}); }

    void Period() {
        if (sound.ProduceBlock()) {
            ++skipped;
            return;
        }
        ++emulated;
        if (!beeping) return;
        for (int32_t tick = 0; tick < SoundDriver::kTicksPerPeriod; tick += 1000) {
            pio.PortWrite(0xC2, static_cast<uint8_t>(level), tick);
            level = level == 15 ? 8 : 15;
        }
    }

    SoundSystem& sound;
    SystemPIO pio{{}, nullptr};
    bool beeping = false;
    int level = 15;
    int64_t emulated = 0;
    int64_t skipped = 0;
};

// Emulated time (frames produced) against audio time (frames the device took) over `duration`
// of a loop that calls the run loop every `period` of wall time. The device takes 880 frames at
// a time, so audio time is only known to within that buffer. Periods the host was too busy to
// run at all (dropped like the timer drops them) put the machine behind by 88 frames each; that
// is the host's doing, so it is not counted against the pacing.
struct Drift {
    int64_t mostAhead = 0;   // emulated time beyond audio time
    int64_t mostBehind = 0;  // audio time beyond emulated time, less the dropped periods
    int64_t skipped = 0;
    int64_t dropped = 0;
};

constexpr int64_t kDeviceBuffer = 880;

Drift Measure(PacedMachine& machine, SoundDriver& driver, std::chrono::nanoseconds period,
              std::chrono::seconds duration) {
    const SoundDriver::Statistics start = driver.GetStatistics();
    const int64_t skippedBefore = machine.skipped;
    Drift drift;
    int count = 0;
    drift.dropped = soundtest::RunPeriods(period, duration, [&](int64_t dropped) {
        machine.Period();
        if (++count % 50 != 0) return;
        const SoundDriver::Statistics now = driver.GetStatistics();
        const int64_t emulated =
            (now.blocksProduced - start.blocksProduced) * SoundDriver::kFramesPerBlock;
        const int64_t audio = now.framesPlayed - start.framesPlayed;
        drift.mostAhead = std::max(drift.mostAhead, emulated - audio);
        drift.mostBehind =
            std::max(drift.mostBehind, audio - emulated - dropped * SoundDriver::kFramesPerBlock);
    });
    drift.skipped = machine.skipped - skippedBefore;
    return drift;
}

TEST_F(PulsePacingSlowTest, EmulationKeepsToTheAudioClockAndThePlaybackHasNoGaps) {
    {
        SoundSystem sound;
        SoundSettings settings;
        settings.deviceIndex = SoundDevices::Select(SoundOutputType::WaveOut, -1);
        settings.volumeSpeaker = 100;
        sound.ApplyDevice(settings);
        ASSERT_NE(sound.Driver(), nullptr);
        ASSERT_TRUE(sound.Driver()->IsOpen());
        SoundDriver& driver = *sound.Driver();
        PacedMachine machine(sound);

        // Until the device plays steadily (the server takes a moment to start a stream), the
        // speaker is silent; the sound marks the measured stretch in the recording.
        soundtest::RunPeriods(2ms, 3s, [&](int64_t) { machine.Period(); });
        ASSERT_GT(driver.GetStatistics().framesPlayed, 44100);
        machine.beeping = true;

        // A timer 5 % fast would run the machine 22,000 frames ahead in 10 s; the full ring
        // makes it skip periods instead, and emulated time stays with the device's.
        const Drift fast = Measure(machine, driver, 1900us, 10s);
        EXPECT_LE(fast.mostAhead, SoundRing::kFrames + kDeviceBuffer);
        EXPECT_LE(fast.mostBehind, SoundRing::kFrames + kDeviceBuffer);
        EXPECT_GT(fast.skipped, 0);
        RecordProperty("fast_skipped", std::to_string(fast.skipped));
        RecordProperty("fast_dropped", std::to_string(fast.dropped));

        // A timer on time makes 44,000 frames a second against the 44,100 played (the stream is
        // not resampled): nothing is skipped once the ring has room, and the machine falls
        // behind by no more than the ring plus those 100 frames a second.
        const Drift onTime = Measure(machine, driver, 2ms, 10s);
        EXPECT_LE(onTime.mostAhead, SoundRing::kFrames + kDeviceBuffer);
        EXPECT_LE(onTime.mostBehind, SoundRing::kFrames + kDeviceBuffer + 10 * 100);
        EXPECT_LT(onTime.skipped, 30);
        RecordProperty("on_time_behind", std::to_string(onTime.mostBehind));
        RecordProperty("on_time_dropped", std::to_string(onTime.dropped));
    }
    std::this_thread::sleep_for(200ms);
    recorder.reset();

    // The sink heard the speaker without a break: every frame from the first sound to the last
    // is one of the two levels (a gap would be silence).
    const std::vector<int16_t> heard = soundtest::ReadSamples(capture);
    const auto first = std::find_if(heard.begin(), heard.end(), [](int16_t s) { return s != 0; });
    const auto last = std::find_if(heard.rbegin(), heard.rend(), [](int16_t s) { return s != 0; });
    ASSERT_NE(first, heard.end());
    const auto span = static_cast<size_t>(last.base() - first);
    EXPECT_GT(span, size_t{2 * 44100 * 19});  // the measured 20 s, less what was still queued
    const auto gap = std::find(first, last.base(), int16_t{0});
    EXPECT_EQ(gap, last.base()) << "silence at frame " << (gap - first) / 2 << " of " << span / 2;
}

TEST_F(PulsePacingSlowTest, StalledDeviceHoldsTheMachineHalfASecondAtMost) {
    SoundSystem sound;
    SoundSettings settings;
    settings.deviceIndex = SoundDevices::Select(SoundOutputType::WaveOut, -1);
    sound.ApplyDevice(settings);
    ASSERT_NE(sound.Driver(), nullptr);
    PacedMachine machine(sound);
    soundtest::RunPeriods(2ms, 3s, [&](int64_t) { machine.Period(); });
    ASSERT_GT(sound.Driver()->GetStatistics().framesPlayed, 44100);

    // The server freezes: the device takes nothing more, and the ring fills. The machine waits
    // for it the half second the driver allows, then runs on its timer.
    server->Signal(SIGSTOP);
    const int64_t emulatedBefore = machine.emulated;
    const int64_t skippedBefore = machine.skipped;
    soundtest::RunPeriods(2ms, 2s, [&](int64_t) { machine.Period(); });
    server->Signal(SIGCONT);
    EXPECT_EQ(machine.skipped - skippedBefore, SoundDriver::kStallPeriods);
    EXPECT_GT(machine.emulated - emulatedBefore, 0);

    // Once the server runs again the device paces the machine once more.
    soundtest::RunPeriods(2ms, 2s, [&](int64_t) { machine.Period(); });
    const int64_t skippedAfter = machine.skipped;
    soundtest::RunPeriods(1900us, 3s, [&](int64_t) { machine.Period(); });
    EXPECT_GT(machine.skipped - skippedAfter, 0);
}

}  // namespace
