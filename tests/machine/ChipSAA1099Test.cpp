#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "machine/ChipSAA1099.h"
#include "support/SignalAnalysis.h"

namespace {

constexpr int kStep = ChipSAA1099::kOutputStep;

class ChipSAA1099Test : public ::testing::Test {
  protected:
    void Write(uint8_t address, uint8_t value) {
        chip.WriteAddress(address);
        chip.WriteData(value);
    }

    std::vector<int16_t> Generate(int frames) {
        std::vector<int16_t> stereo(static_cast<size_t>(frames) * 2);
        chip.Generate(stereo.data(), frames);
        return stereo;
    }

    // Channel `ch` playing a plain tone at full amplitude on both sides.
    void Tone(int ch, int octave, int frequency) {
        Write(static_cast<uint8_t>(ch), 0xFF);
        Write(static_cast<uint8_t>(0x08 + ch), static_cast<uint8_t>(frequency));
        const uint8_t octaveRegister = static_cast<uint8_t>(0x10 + ch / 2);
        const int shift = (ch % 2) * 4;
        Write(octaveRegister, static_cast<uint8_t>((chip.Register(octaveRegister) & ~(7 << shift)) |
                                                   (octave << shift)));
        Write(0x14, static_cast<uint8_t>(chip.Register(0x14) | (1 << ch)));
        Write(0x1C, 0x01);
    }

    // A pulse on the sync bit: every generator starts a fresh half-cycle with its registers now,
    // instead of finishing the one it runs (up to 16 ms at the lowest setting).
    void Restart() {
        Write(0x1C, 0x02);
        Write(0x1C, 0x01);
    }

    ChipSAA1099 chip;
};

double Peak(const std::vector<double>& x) {
    return *std::max_element(x.begin(), x.end());
}

struct ToneCase {
    int octave;
    int frequency;
};

class ChipSAA1099ToneTest : public ChipSAA1099Test,
                            public ::testing::WithParamInterface<ToneCase> {};

TEST_P(ChipSAA1099ToneTest, SquareWaveHasTheDividerFrequency) {
    const auto [octave, frequency] = GetParam();
    Tone(0, octave, frequency);
    const double expected = 15625.0 * (1 << octave) / (511 - frequency);
    const std::vector<double> left = waveform::Side(Generate(44100), 0);
    EXPECT_NEAR(waveform::Frequency(left, 15 * kStep / 2.0, 44100.0), expected, expected * 0.001);
    EXPECT_EQ(Peak(left), 15 * kStep);
}

INSTANTIATE_TEST_SUITE_P(EveryOctave, ChipSAA1099ToneTest,
                         ::testing::Values(ToneCase{0, 0}, ToneCase{0, 255}, ToneCase{1, 100},
                                           ToneCase{2, 33}, ToneCase{3, 170}, ToneCase{4, 5},
                                           ToneCase{5, 200}, ToneCase{6, 128}, ToneCase{7, 0},
                                           ToneCase{7, 255}),
                         [](const ::testing::TestParamInfo<ToneCase>& info) {
                             return "Octave" + std::to_string(info.param.octave) + "Frequency" +
                                    std::to_string(info.param.frequency);
                         });

TEST_F(ChipSAA1099Test, PowerOnIsSilentAndTheEnablesGateTheOutput) {
    for (int16_t s : Generate(2000)) ASSERT_EQ(s, 0);
    Tone(1, 4, 100);
    Write(0x01, 0x3C);  // left 12, right 3
    std::vector<int16_t> out = Generate(2000);
    EXPECT_EQ(Peak(waveform::Side(out, 0)), 12 * kStep);
    EXPECT_EQ(Peak(waveform::Side(out, 1)), 3 * kStep);

    Write(0x1C, 0x00);  // sound off
    for (int16_t s : Generate(2000)) ASSERT_EQ(s, 0);
    Write(0x1C, 0x01);
    Write(0x14, 0x00);  // frequency off, noise off
    for (int16_t s : Generate(2000)) ASSERT_EQ(s, 0);
}

TEST_F(ChipSAA1099Test, ChannelsAddUpToFullScale) {
    for (int ch = 0; ch < 6; ++ch) Tone(ch, 3, 40);
    Restart();  // every generator in step, so that all are high at once
    const std::vector<double> left = waveform::Side(Generate(4000), 0);
    EXPECT_EQ(Peak(left), 6 * 15 * kStep);
    EXPECT_LE(Peak(left), 32767);
}

TEST_F(ChipSAA1099Test, SyncHoldsTheGeneratorsAndReleasesThemInPhase) {
    Tone(0, 2, 0);
    Tone(1, 2, 0);
    Write(0x00, 0x0F);  // channel 0 on the left only
    Write(0x01, 0xF0);  // channel 1 on the right only
    Generate(300);
    Write(0x09, 77);  // channel 1 runs a little faster for a while: the two drift apart
    Generate(2000);
    Write(0x09, 0);
    Generate(2000);

    Write(0x1C, 0x03);
    for (int16_t s : Generate(500)) ASSERT_EQ(s, 0);
    Write(0x1C, 0x01);
    const std::vector<int16_t> out = Generate(5000);
    const auto left = waveform::RisingCrossings(waveform::Side(out, 0), 7 * kStep);
    const auto right = waveform::RisingCrossings(waveform::Side(out, 1), 7 * kStep);
    ASSERT_GE(left.size(), 5u);
    ASSERT_EQ(left.size(), right.size());
    for (size_t i = 0; i < left.size(); ++i) EXPECT_NEAR(left[i], right[i], 1e-9);
}

TEST_F(ChipSAA1099Test, NewFrequencyTakesOverWhenTheHalfCycleEnds) {
    Tone(0, 0, 0);  // 30.5 Hz: a half-cycle lasts 130816 clocks, 721.1 frames
    Generate(100);
    Write(0x08, 255);  // 61 Hz
    const std::vector<double> left = waveform::Side(Generate(4410), 0);
    const auto rises = waveform::RisingCrossings(left, 7.5 * kStep);
    ASSERT_GE(rises.size(), 2u);
    EXPECT_NEAR(rises[0], 721.1 - 100, 1.0);  // the running half-cycle is not cut short
    EXPECT_NEAR(rises[1] - rises[0], 44100.0 / (15625.0 / 256), 1.0);
}

// Noise held for one clock period has a sin(x)/x spectrum: flat well below the clock, nothing
// at the clock frequency itself.
class ChipSAA1099NoiseTest : public ChipSAA1099Test {
  protected:
    std::vector<double> Noise(uint8_t source) {
        Write(0x00, 0xFF);
        Write(0x15, 0x01);
        Write(0x16, source);
        Write(0x1C, 0x01);
        return waveform::Side(Generate(16384), 0);
    }
};

TEST_F(ChipSAA1099NoiseTest, SlowestInternalClockLeavesANotchAt7812Hz) {
    const std::vector<double> x = Noise(0x02);
    const double low = waveform::BandPower(x, 44100, 300, 2000);
    EXPECT_GT(low / waveform::BandPower(x, 44100, 7500, 8100), 20.0);
    EXPECT_GT(low / waveform::BandPower(x, 44100, 15300, 15900), 20.0);
    EXPECT_LT(waveform::BandPower(x, 44100, 2000, 3000) / low, 1.0);  // falling towards the notch
}

TEST_F(ChipSAA1099NoiseTest, FastestInternalClockIsFlatThroughTheAudibleBand) {
    const std::vector<double> x = Noise(0x00);
    const double low = waveform::BandPower(x, 44100, 300, 2000);
    const double mid = waveform::BandPower(x, 44100, 7500, 8100);
    EXPECT_GT(mid / low, 0.5);
    EXPECT_LT(mid / low, 1.2);
    // Half and quarter rate put their notches where 31.25 kHz has none.
    const std::vector<double> half = Noise(0x01);
    EXPECT_GT(waveform::BandPower(half, 44100, 300, 2000) /
                  waveform::BandPower(half, 44100, 15300, 15900),
              20.0);
}

TEST_F(ChipSAA1099NoiseTest, NoiseClockedByGeneratorZeroNotchesAtItsFrequency) {
    Write(0x08, 178);  // generator 0 at 15625 * 64 / 333 = 3003 Hz, not enabled as a tone
    Write(0x10, 0x06);
    const std::vector<double> x = Noise(0x03);
    const double low = waveform::BandPower(x, 44100, 100, 600);
    EXPECT_GT(low / waveform::BandPower(x, 44100, 2900, 3100), 20.0);
    // The generator on channel 3 clocks noise generator 1 alone.
    Write(0x15, 0x08);
    Write(0x03, 0xFF);
    Write(0x16, 0x03);  // generator 1 on its fastest internal clock
    const std::vector<double> other = waveform::Side(Generate(16384), 0);
    EXPECT_GT(
        waveform::BandPower(other, 44100, 2900, 3100) / waveform::BandPower(other, 44100, 100, 600),
        0.5);
}

TEST_F(ChipSAA1099NoiseTest, ToneAndNoiseTogetherSoundOnlyWhileBothAreHigh) {
    Tone(0, 7, 255);
    const std::vector<double> tone = waveform::Side(Generate(8192), 0);
    const std::vector<double> both = Noise(0x00);  // frequency enable stays on
    double toneMean = 0, bothMean = 0;
    for (double v : tone) toneMean += v;
    for (double v : both) bothMean += v;
    // The noise is high half the time: the gated tone carries half the energy of the tone.
    EXPECT_NEAR(bothMean / both.size(), toneMean / tone.size() / 2, toneMean / tone.size() * 0.1);
}

TEST_F(ChipSAA1099Test, EnvelopeScalesChannelTwoAndMirrorsTheRightSide) {
    Tone(2, 7, 255);  // 7.8 kHz: every few frames catch the tone fully high
    Restart();
    Write(0x18, 0xA0 | (3 << 1) | 0x01);  // external clock, repetitive decay, right inverted
    // The envelope starts at the top of the ramp; every address write from now on clocks it.
    for (int step = 0; step < 5; ++step) {
        const std::vector<int16_t> out = Generate(64);
        const int level = 15 - step;
        EXPECT_EQ(Peak(waveform::Side(out, 0)), (15 * level >> 4) * kStep) << step;
        EXPECT_EQ(Peak(waveform::Side(out, 1)), (15 * (15 - level) >> 4) * kStep) << step;
        chip.WriteAddress(0x00);
    }
}

TEST_F(ChipSAA1099Test, InternallyClockedEnvelopeRepeatsEverySixteenCyclesOfGeneratorOne) {
    Tone(2, 7, 255);
    Write(0x09, 255);  // generator 1 at 61.04 Hz, heard or not
    Write(0x10, 0x00);
    Write(0x18, 0x80 | (7 << 1));  // repetitive attack
    const std::vector<double> left = waveform::Side(Generate(44100), 0);
    // The loudness at each frame: the largest value in the window around it.
    std::vector<double> loudness;
    for (size_t i = 0; i + 32 <= left.size(); i += 32) {
        loudness.push_back(*std::max_element(left.begin() + i, left.begin() + i + 32));
    }
    std::vector<double> restarts;  // where the sawtooth falls back to zero
    for (size_t i = 1; i < loudness.size(); ++i) {
        if (loudness[i] < loudness[i - 1] - 5 * kStep) restarts.push_back(i * 32.0);
    }
    ASSERT_GE(restarts.size(), 3u);
    const double period = 16 * 44100.0 / (15625.0 / 256);
    for (size_t i = 1; i < restarts.size(); ++i) {
        EXPECT_NEAR(restarts[i] - restarts[i - 1], period, 64.0);
    }
}

TEST_F(ChipSAA1099Test, LowerSampleRatesKeepThePitch) {
    ASSERT_TRUE(chip.SetSampleRate(22050));
    EXPECT_FALSE(chip.SetSampleRate(48000));
    EXPECT_EQ(chip.SampleRate(), 22050);
    Tone(4, 5, 30);
    const double expected = 15625.0 * 32 / (511 - 30);
    const std::vector<double> left = waveform::Side(Generate(22050), 0);
    EXPECT_NEAR(waveform::Frequency(left, 7.5 * kStep, 22050.0), expected, expected * 0.001);
}

TEST_F(ChipSAA1099Test, AddressKeepsFiveBitsAndPowerOnClearsEverything) {
    chip.WriteAddress(0x3C);
    EXPECT_EQ(chip.Address(), 0x1C);
    chip.WriteData(0x01);
    EXPECT_EQ(chip.Register(0x1C), 0x01);
    Tone(0, 3, 3);
    chip.PowerOn();
    EXPECT_EQ(chip.Register(0x14), 0);
    EXPECT_EQ(chip.Address(), 0);
    for (int16_t s : Generate(500)) ASSERT_EQ(s, 0);
}

}  // namespace
