#include "machine/ChipSAA1099.h"

#include <algorithm>

namespace {

// Time runs in units of 1/(8 MHz * 44100) s: a chip clock is 44100 units and a frame at any of
// the supported rates a whole number of units.
constexpr int64_t kUnitsPerClock = 44100;
constexpr uint8_t kNoiseFromGenerator = 3;

}  // namespace

ChipSAA1099::ChipSAA1099() {
    SetSampleRate(44100);
    PowerOn();
}

void ChipSAA1099::PowerOn() {
    for (FrequencyGenerator& g : tones_) {
        g = FrequencyGenerator{};
        g.countdown = HalfCycleUnits(g);
    }
    for (NoiseGenerator& g : noises_) {
        g = NoiseGenerator{};
        g.countdown = NoiseUnits(g);
    }
    for (SaaEnvelope& e : envelopes_) e.PowerOn();
    registers_.fill(0);
    amplitude_.fill(0);
    frequencyEnable_ = noiseEnable_ = 0;
    soundEnable_ = sync_ = false;
    address_ = 0;
    UpdateMix();
}

bool ChipSAA1099::SetSampleRate(int framesPerSecond) {
    if (framesPerSecond != 44100 && framesPerSecond != 22050 && framesPerSecond != 11025) {
        return false;
    }
    sampleRate_ = framesPerSecond;
    framePeriodUnits_ = int64_t{kClockHz} * kUnitsPerClock / framesPerSecond;
    return true;
}

int64_t ChipSAA1099::HalfCycleUnits(const FrequencyGenerator& g) const {
    // The divider counts 511 - frequency steps of 256 >> octave clocks per half-cycle.
    return (int64_t{511 - g.frequency} << (8 - g.octave)) * kUnitsPerClock;
}

int64_t ChipSAA1099::NoiseUnits(const NoiseGenerator& g) const {
    return (int64_t{256} << g.source) * kUnitsPerClock;
}

void ChipSAA1099::ShiftNoise(NoiseGenerator& g) {
    // 17-bit maximal-length shift register (taps 17 and 14): a period of 131071 clocks, far
    // longer than anything the ear could recognise as a repeat.
    const uint32_t feedback = (g.shift ^ (g.shift >> 3)) & 1;
    g.shift = (g.shift >> 1) | (feedback << 16);
    g.high = (g.shift & 1) != 0;
}

void ChipSAA1099::EndHalfCycle(int index) {
    FrequencyGenerator& g = tones_[index];
    g.high = !g.high;
    g.countdown = HalfCycleUnits(g);
    if (!g.high) return;
    // Rising edges clock the noise generators set to follow generator 0 or 3 and the internally
    // clocked envelopes of generator 1 or 4.
    if (index == 0 || index == 3) {
        NoiseGenerator& noise = noises_[index / 3];
        if (noise.source == kNoiseFromGenerator) ShiftNoise(noise);
    } else if (index == 1 || index == 4) {
        SaaEnvelope& envelope = envelopes_[index / 3];
        if (!envelope.ExternalClock()) envelope.Clock();
    }
}

void ChipSAA1099::RestartFrequencyGenerators() {
    for (FrequencyGenerator& g : tones_) {
        g.high = false;
        g.countdown = HalfCycleUnits(g);
    }
}

void ChipSAA1099::WriteAddress(uint8_t address) {
    address_ = address & 0x1F;
    for (SaaEnvelope& e : envelopes_) {
        if (e.ExternalClock()) e.Clock();
    }
    UpdateMix();
}

void ChipSAA1099::WriteData(uint8_t value) {
    registers_[address_] = value;
    switch (address_) {
        case 0x00:
        case 0x01:
        case 0x02:
        case 0x03:
        case 0x04:
        case 0x05: amplitude_[address_] = value; break;
        case 0x08:
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D: tones_[address_ - 0x08].frequency = value; break;
        case 0x10:
        case 0x11:
        case 0x12: {
            const int first = (address_ - 0x10) * 2;
            tones_[first].octave = value & 7;
            tones_[first + 1].octave = (value >> 4) & 7;
            break;
        }
        case 0x14: frequencyEnable_ = value & 0x3F; break;
        case 0x15: noiseEnable_ = value & 0x3F; break;
        case 0x16:
            for (int n = 0; n < 2; ++n) {
                NoiseGenerator& g = noises_[n];
                const uint8_t source = (value >> (4 * n)) & 3;
                if (source == g.source) continue;
                g.source = source;
                g.countdown = NoiseUnits(g);
            }
            break;
        case 0x18:
        case 0x19: envelopes_[address_ - 0x18].WriteControl(value); break;
        case 0x1C: {
            const bool sync = (value & 0x02) != 0;
            if (sync_ && !sync) RestartFrequencyGenerators();
            if (sync) {
                for (FrequencyGenerator& g : tones_) g.high = false;
            }
            sync_ = sync;
            soundEnable_ = (value & 0x01) != 0;
            break;
        }
        default: break;  // unused addresses
    }
    UpdateMix();
}

void ChipSAA1099::UpdateMix() {
    mixLeft_ = mixRight_ = 0;
    if (!soundEnable_) return;
    for (int ch = 0; ch < 6; ++ch) {
        const bool tone = (frequencyEnable_ >> ch) & 1;
        const bool noise = (noiseEnable_ >> ch) & 1;
        if (!tone && !noise) continue;
        if (tone && !tones_[ch].high) continue;
        if (noise && !noises_[ch / 3].high) continue;
        int32_t left = amplitude_[ch] & 0x0F;
        int32_t right = amplitude_[ch] >> 4;
        if (ch == 2 || ch == 5) {
            const SaaEnvelope& envelope = envelopes_[ch / 3];
            if (envelope.Enabled()) {
                left = left * envelope.LeftLevel() >> 4;
                right = right * envelope.RightLevel() >> 4;
            }
        }
        mixLeft_ += left;
        mixRight_ += right;
    }
}

void ChipSAA1099::Generate(int16_t* stereo, int frames) {
    for (int f = 0; f < frames; ++f) {
        int64_t remaining = framePeriodUnits_;
        int64_t left = 0;
        int64_t right = 0;
        while (remaining > 0) {
            // Run to the next edge of any generator (or the frame's end) at a constant output.
            int64_t step = remaining;
            if (!sync_) {
                for (const FrequencyGenerator& g : tones_) step = std::min(step, g.countdown);
            }
            for (const NoiseGenerator& g : noises_) {
                if (g.source != kNoiseFromGenerator) step = std::min(step, g.countdown);
            }
            left += mixLeft_ * step;
            right += mixRight_ * step;
            remaining -= step;

            bool edge = false;
            if (!sync_) {
                for (int i = 0; i < 6; ++i) {
                    tones_[i].countdown -= step;
                    if (tones_[i].countdown == 0) {
                        EndHalfCycle(i);
                        edge = true;
                    }
                }
            }
            for (NoiseGenerator& g : noises_) {
                if (g.source == kNoiseFromGenerator) continue;
                g.countdown -= step;
                if (g.countdown == 0) {
                    ShiftNoise(g);
                    g.countdown = NoiseUnits(g);
                    edge = true;
                }
            }
            if (edge) UpdateMix();
        }
        stereo[2 * f] = static_cast<int16_t>(left * kOutputStep / framePeriodUnits_);
        stereo[2 * f + 1] = static_cast<int16_t>(right * kOutputStep / framePeriodUnits_);
    }
}
