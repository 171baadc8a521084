#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "emulator/SpeedControl.h"
#include "host/audio/SoundDevices.h"
#include "host/audio/SoundDriver.h"
#include "host/audio/SoundSystem.h"
#include "machine/SystemPIO.h"
#include "sound/SoundTestEnvironment.h"
#include "support/SignalAnalysis.h"

namespace {

using namespace std::chrono_literals;

constexpr double kRate = 44100.0;

// A private PulseAudio server with a null sink, a clocked device that plays nothing: ALSA's
// default device talks to it, and parec records what reaches the sink.
class PulsePacingSlowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!soundtest::ProgramExists("pulseaudio") || !soundtest::ProgramExists("parec") ||
            !soundtest::ProgramExists("pacat")) {
            GTEST_SKIP() << "pulseaudio, parec and pacat are needed (scripts/install-deps.sh)";
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
        // The first stream played after a recorder attaches to the sink's monitor waits about
        // 1.5 s before the sink takes from it: a desktop server is long past that, so a
        // throwaway stream takes it here.
        soundtest::WriteFile(folder.Dir() / "warm-up.raw", std::string(8820, '\0'));
        const std::string warmUp = "pacat --format=s16le --rate=44100 --channels=2 '" +
                                   (folder.Dir() / "warm-up.raw").string() + "'";
        ASSERT_EQ(std::system(warmUp.c_str()), 0);
        ASSERT_TRUE(recorder->Running());
    }

    void TearDown() override {
        recorder.reset();
        server.reset();
    }

    std::vector<int16_t> StopRecording() {
        std::this_thread::sleep_for(300ms);
        recorder.reset();
        return soundtest::ReadSamples(capture);
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

// A stretch of a recorded square wave: its rising edges through half its height, none more
// than 45 ms after the one before (a longer silence ends the tone).
struct Tone {
    std::vector<double> edges;
    double Seconds() const { return edges.size() < 2 ? 0 : (edges.back() - edges.front()) / kRate; }
    double Frequency() const {
        return edges.size() < 2 ? 0 : (edges.size() - 1) * kRate / (edges.back() - edges.front());
    }
    // Periods more than half as long again as the tone's own: the device heard a held frame
    // (or lost frames) there. The first period is left out: it may start from the level the
    // speaker idled at.
    std::vector<double> Gaps() const {
        std::vector<double> gaps;
        if (edges.size() < 3) return gaps;
        std::vector<double> periods;
        for (size_t i = 2; i < edges.size(); ++i) periods.push_back(edges[i] - edges[i - 1]);
        std::vector<double> sorted = periods;
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        const double usual = sorted[sorted.size() / 2];
        for (size_t i = 0; i < periods.size(); ++i) {
            if (periods[i] > 1.5 * usual || periods[i] < 0.5 * usual) {
                gaps.push_back(edges[i + 1] / kRate);
            }
        }
        return gaps;
    }
};

std::vector<Tone> Tones(const std::vector<double>& signal) {
    const auto [low, high] = std::minmax_element(signal.begin(), signal.end());
    std::vector<Tone> tones;
    if (low == signal.end() || *high - *low < 100) return tones;
    for (double edge : waveform::RisingCrossings(signal, (*low + *high) / 2)) {
        if (tones.empty() || edge - tones.back().edges.back() > 0.045 * kRate) tones.emplace_back();
        tones.back().edges.push_back(edge);
    }
    return tones;
}

std::string Describe(const std::vector<double>& gaps) {
    std::ostringstream text;
    for (size_t i = 0; i < gaps.size() && i < 10; ++i) text << gaps[i] << " s ";
    return text.str();
}

std::map<std::string, int64_t> ReadStats(const std::filesystem::path& path) {
    std::map<std::string, int64_t> stats;
    std::ifstream in(path);
    std::string word;
    while (in >> word) {
        const size_t equals = word.find('=');
        if (equals != std::string::npos)
            stats[word.substr(0, equals)] = std::atoll(word.c_str() + equals + 1);
    }
    return stats;
}

// The whole program as a user runs it, on the built-in ROM at normal speed. A typed program
// makes the Muse play 1 kHz on the left only and returns to the monitor, which then plays
// 1 kHz for 10 s on the speaker: left minus right is the Muse, right the speaker with the
// start-up beep, the keys' clicks and the tone.
TEST_F(PulsePacingSlowTest, ProgramPlaysBeepToneAndMuseWithoutAGapOnTheAudioClock) {
    std::string config;
    {
        std::ifstream in(TEVRIN_DELIVERED_CONFIG);
        config.assign(std::istreambuf_iterator<char>(in), {});
    }
    const size_t muse = config.find("muse=\"false\"");
    ASSERT_NE(muse, std::string::npos);
    config.replace(muse, 12, "muse=\"true\"");
    soundtest::WriteFile(folder.Dir() / "TevrinEmu.xml", config);

    // ORG 2000H: MVI A,80H; OUT 0C7H (the GPIO all outputs, which resets the generator);
    // LXI H,TABLE; then per table pair (byte, control): OUT 0C4H with the byte inverted,
    // OUT 0C6H control, OUT 0C6H 02H; RET. The table writes the SAA1099: amplitude 0 left
    // 15 right 0, tone 0 note 11 octave 5 (500,000 / (511 - 11) = 1000 Hz), tone 0 on, sound
    // on.
    const std::string typed =
        "e 2000 3E 80 D3 C7 21 1B 20 7E 23 2F D3 C4 7E 23 D3 C6 3E\n"
        "e 2011 02 D3 C6 7D FE 2F C2 07 20 C9 00 0B 0F 0F 08 0B 0B\n"
        "e 2022 0F 10 0B 05 0F 14 0B 01 0F 1C 0B 01 0F\n"
        "g 2000\n"
        "b 3e8 2710\n";
    const std::filesystem::path statsFile = folder.Dir() / "stats.txt";
    const std::string command = "'" + std::string(TEVRIN_BIN_DIR) + "/tevrinemu' --config '" +
                                (folder.Dir() / "TevrinEmu.xml").string() +
                                "' --headless --speed 1 --run-ms 30000 --type-after 500 --type '" +
                                typed + "' --stats >'" + statsFile.string() + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::vector<int16_t> heard = StopRecording();

    // No frame dropped (the machine never ran on without the device), none held (the device
    // never ran dry), and emulated time kept to the device's frames within the ring.
    std::map<std::string, int64_t> stats = ReadStats(statsFile);
    ASSERT_GT(stats["sound_played"], 0) << "no sound device";
    // 44,100 frames for each 2,000,000 ticks.
    EXPECT_EQ(stats["sound_produced"], stats["ticks"] * 441 / 20000);
    EXPECT_EQ(stats["sound_held"], 0);
    EXPECT_LE(std::abs(stats["sound_produced"] - (stats["sound_played"] - stats["sound_primed"])),
              SoundRing::kFrames);
    EXPECT_GT(stats["sound_skipped"], 0);

    std::vector<double> left = waveform::Side(heard, 0);
    const std::vector<double> speaker = waveform::Side(heard, 1);
    for (size_t i = 0; i < left.size(); ++i) left[i] -= speaker[i];

    // The start-up beep (the first tone, about 100 ms) and the 10 s tone.
    std::vector<Tone> tones = Tones(speaker);
    ASSERT_FALSE(tones.empty());
    const Tone& beep = tones.front();
    EXPECT_NEAR(beep.Seconds(), 0.1, 0.01);
    EXPECT_NEAR(beep.Frequency(), 1000.0, 10.0);
    EXPECT_TRUE(beep.Gaps().empty()) << Describe(beep.Gaps());
    const Tone& tone =
        *std::max_element(tones.begin(), tones.end(),
                          [](const Tone& a, const Tone& b) { return a.Seconds() < b.Seconds(); });
    EXPECT_NEAR(tone.Seconds(), 10.0, 0.05);
    EXPECT_NEAR(tone.Frequency(), 1000.0, 10.0);
    EXPECT_TRUE(tone.Gaps().empty()) << Describe(tone.Gaps());

    std::vector<Tone> museTones = Tones(left);
    ASSERT_EQ(museTones.size(), 1u);
    EXPECT_GT(museTones[0].Seconds(), 10.0);
    EXPECT_NEAR(museTones[0].Frequency(), 1000.0, 10.0);
    EXPECT_TRUE(museTones[0].Gaps().empty()) << Describe(museTones[0].Gaps());
}

// The run loop's part, period by period: ProducePeriod first; unless told to skip, 4000 ticks
// in which the program flips the speaker between levels 0 and 15 at 1 kHz.
struct PacedMachine {
    explicit PacedMachine(SoundSystem& sound) : sound(sound) {
        pio.Reset(0);
        pio.PortWrite(0xC3, 0x80, 0);
        pio.SetSpeakerOutput(sound.LevelOutput());
    }
    ~PacedMachine() { pio.SetSpeakerOutput({}); }

    void Period() {
        if (sound.ProducePeriod(normalSpeed)) {
            ++skipped;
            return;
        }
        ++emulated;
        for (int32_t tick = 0; tick < SoundDriver::kTicksPerPeriod; tick += 1000) {
            pio.PortWrite(0xC2, static_cast<uint8_t>(level), tick);
            level = level == 15 ? 0 : 15;
        }
    }

    SoundSystem& sound;
    SystemPIO pio{{}, nullptr};
    bool normalSpeed = true;
    int level = 15;
    int64_t emulated = 0;
    int64_t skipped = 0;
};

// Calls the machine as the run loop does while a device paces it: speed::kPeriodsPerWake
// periods a wake-up, the wake-ups closer together while the ring is less than half full (the
// host held the loop up), late ones dropped as the timer drops them. Returns the periods dropped.
int64_t RunPaced(PacedMachine& machine, std::chrono::nanoseconds duration) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + duration;
    Clock::time_point deadline = Clock::now();
    int64_t dropped = 0;
    while (deadline < end) {
        for (int i = 0; i < speed::kPeriodsPerWake; ++i) machine.Period();
        const std::chrono::microseconds wake(
            (machine.sound.Behind() ? speed::kCatchUpPeriodMicros : speed::kPacedPeriodMicros) *
            speed::kPeriodsPerWake);
        deadline += wake;
        const Clock::time_point now = Clock::now();
        while (deadline + wake <= now) {
            deadline += wake;
            ++dropped;
        }
        std::this_thread::sleep_until(deadline);
    }
    return dropped * speed::kPeriodsPerWake;
}

TEST_F(PulsePacingSlowTest, DriverKeepsTheMachineOnTheAudioClockAndRefillsAfterASpeedChange) {
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

        // Emulated time against the frames the device took, sampled once a second: apart
        // from the ring's content and the priming, the two agree (the periods come 10 % early
        // and the full ring skips the surplus).
        int64_t mostApart = 0;
        int64_t dropped = 0;
        for (int second = 0; second < 12; ++second) {
            dropped += RunPaced(machine, 1s);
            const SoundDriver::Statistics now = driver.GetStatistics();
            mostApart = std::max(mostApart, std::abs(machine.emulated * 441 / 5 -
                                                     (now.framesPlayed - now.framesPrimed)));
        }
        EXPECT_LE(mostApart, SoundRing::kFrames);
        EXPECT_EQ(driver.GetStatistics().framesHeld, 0);
        EXPECT_EQ(driver.GetStatistics().blocksProduced, machine.emulated);
        EXPECT_GT(machine.skipped, 0);
        RecordProperty("apart_frames", std::to_string(mostApart));
        RecordProperty("dropped_periods", std::to_string(dropped));

        // Half a second at another speed: no blocks, the device holds the last frame; back at
        // normal speed the ring is filled before the device hears the machine again.
        machine.normalSpeed = false;
        soundtest::RunPeriods(2ms, 500ms, [&](int64_t) { machine.Period(); });
        machine.normalSpeed = true;
        const int64_t heldBefore = driver.GetStatistics().framesHeld;
        RunPaced(machine, 5s);
        EXPECT_EQ(driver.GetStatistics().framesHeld, heldBefore);
    }
    const std::vector<int16_t> heard = StopRecording();

    // The tone breaks once: the half second at the other speed, less the 80 ms the ring still
    // held, plus the refill after it; no gap anywhere else.
    std::vector<Tone> tones = Tones(waveform::Side(heard, 0));
    ASSERT_EQ(tones.size(), 2u);
    EXPECT_GT(tones[0].Seconds(), 11.5);
    EXPECT_GT(tones[1].Seconds(), 4.5);
    const double pause = (tones[1].edges.front() - tones[0].edges.back()) / kRate;
    EXPECT_GT(pause, 0.45);
    EXPECT_LT(pause, 0.65);
    for (const Tone& tone : tones) {
        EXPECT_TRUE(tone.Gaps().empty()) << Describe(tone.Gaps());
        EXPECT_NEAR(tone.Frequency(), 1000.0, 10.0);
    }
}

TEST_F(PulsePacingSlowTest, StalledDeviceHoldsTheMachineHalfASecondAtMost) {
    SoundSystem sound;
    SoundSettings settings;
    settings.deviceIndex = SoundDevices::Select(SoundOutputType::WaveOut, -1);
    sound.ApplyDevice(settings);
    ASSERT_NE(sound.Driver(), nullptr);
    PacedMachine machine(sound);
    RunPaced(machine, 1s);
    ASSERT_GT(sound.Driver()->GetStatistics().framesPlayed, 22050);
    EXPECT_TRUE(sound.Paces());

    // The server freezes: the device takes nothing more, and the ring fills. The machine waits
    // for it the half second the driver allows, then runs on its timer.
    server->Signal(SIGSTOP);
    const int64_t emulatedBefore = machine.emulated;
    const int64_t skippedBefore = machine.skipped;
    RunPaced(machine, 2s);
    EXPECT_FALSE(sound.Paces());
    server->Signal(SIGCONT);
    EXPECT_EQ(machine.skipped - skippedBefore, SoundDriver::kStallPeriods);
    EXPECT_GT(machine.emulated - emulatedBefore, 0);

    // Once the server runs again the device paces the machine once more.
    RunPaced(machine, 2s);
    EXPECT_TRUE(sound.Paces());
    const int64_t skippedAfter = machine.skipped;
    RunPaced(machine, 2s);
    EXPECT_GT(machine.skipped - skippedAfter, 0);
}

}  // namespace
