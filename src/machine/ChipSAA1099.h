#pragma once

#include <array>
#include <cstdint>

#include "machine/SaaEnvelope.h"

class StateArchive;
class StateReader;
class StateWriter;

// The Philips SAA1099 sound generator at 8 MHz: six square-wave frequency generators with an
// octave (0-7) and a frequency (0-255) register each, two noise generators, two envelope
// generators on channels 2 and 5, a 4-bit amplitude per channel and side, frequency and noise
// enables per channel, and the sound-enable and sync bits.
//
// Registers (the address register keeps five bits):
//   00-05 amplitude of channel 0-5: bits 3-0 left, 7-4 right
//   08-0D frequency of channel 0-5
//   10-12 octaves: channel 2n in bits 2-0, channel 2n+1 in bits 6-4
//   14    frequency enable, bit n = channel n        15  noise enable, bit n = channel n
//   16    noise clock: bits 1-0 generator 0, bits 5-4 generator 1 (0 31.25 kHz, 1 15.6 kHz,
//         2 7.8 kHz, 3 the frequency generator 0 or 3)
//   18-19 envelope generator 0 and 1 (see SaaEnvelope)
//   1C    bit 0 sound enable, bit 1 reset and hold every frequency generator (sync)
//
// A frequency generator's output is a square wave of 15625 * 2^octave / (511 - frequency) Hz. A
// new octave or frequency takes effect when the current half-cycle ends, as on the chip. Noise
// generators 0 and 1 serve channels 0-2 and 3-5; a channel with both enabled sounds while its
// tone and its noise are both high. Envelopes 0 and 1 (clocked by generator 1 or 4, or by
// address writes) scale the amplitude of channel 2 or 5 by level/16.
//
// Output is stereo 16-bit at 44,100, 22,050 or 11,025 frames per second. Each frame is the
// average of the chip's output over the frame's time span (the chip's edges come at up to
// 31 kHz, and point sampling would alias them into audible whistles); like the chip's current
// outputs the samples are never negative, 0 being silence.
class ChipSAA1099 {
  public:
    static constexpr int kClockHz = 8000000;
    // Full scale: six channels at amplitude 15 sum to 6 * 15 * 364 = 32760.
    static constexpr int kOutputStep = 364;

    ChipSAA1099();

    // Every register 0, address 0, generators restarted.
    void PowerOn();
    // 44100, 22050 or 11025; false (and nothing changes) for anything else.
    bool SetSampleRate(int framesPerSecond);
    int SampleRate() const { return sampleRate_; }

    void WriteAddress(uint8_t address);
    void WriteData(uint8_t value);

    // Writes `frames` interleaved frames (left, right) and advances the chip by their time.
    void Generate(int16_t* stereo, int frames);

    // The selected register and the last value written to each (the chip itself is write-only).
    uint8_t Address() const { return address_; }
    uint8_t Register(int address) const { return registers_[address & 0x1F]; }

    // The state that decides the future, for snapshots; false for a malformed stream.
    void SaveState(StateWriter& out) const;
    bool LoadState(StateReader& in);
    void Serialize(StateArchive& a);  // the fields both name, once

  private:
    struct FrequencyGenerator {
        int64_t countdown = 0;  // time units to the end of the current half-cycle
        uint8_t frequency = 0;
        uint8_t octave = 0;
        bool high = false;
    };
    struct NoiseGenerator {
        int64_t countdown = 0;
        uint32_t shift = 1;
        uint8_t source = 0;
        bool high = false;
    };

    int64_t HalfCycleUnits(const FrequencyGenerator& g) const;
    int64_t NoiseUnits(const NoiseGenerator& g) const;
    void EndHalfCycle(int index);
    void ShiftNoise(NoiseGenerator& g);
    void RestartFrequencyGenerators();
    void UpdateMix();

    std::array<FrequencyGenerator, 6> tones_;
    std::array<NoiseGenerator, 2> noises_;
    std::array<SaaEnvelope, 2> envelopes_;
    std::array<uint8_t, 32> registers_{};
    std::array<uint8_t, 6> amplitude_{};  // as written: right in the high nibble
    uint8_t frequencyEnable_ = 0;
    uint8_t noiseEnable_ = 0;
    bool soundEnable_ = false;
    bool sync_ = false;
    uint8_t address_ = 0;
    int sampleRate_ = 44100;
    int64_t framePeriodUnits_ = 0;
    // Sum of the amplitudes of the channels that are high now, left and right.
    int32_t mixLeft_ = 0;
    int32_t mixRight_ = 0;
};
