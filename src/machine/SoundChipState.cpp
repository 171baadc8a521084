#include "machine/ChipSAA1099.h"
#include "machine/Muse.h"
#include "machine/SaaEnvelope.h"
#include "machine/StateStream.h"

namespace {
// Beyond any half-cycle the generator works out (511 << 8 clocks in its time units), yet far
// from an overflow.
constexpr int64_t kMaxCountdown = int64_t{1} << 40;
constexpr uint8_t kHoldPhase = 0xFF;
}  // namespace

void SaaEnvelope::SaveState(StateWriter& out) const {
    for (uint8_t v : {control_, pending_, phase_, position_, left_, right_}) out.U8(v);
    out.Bool(hasPending_);
}

bool SaaEnvelope::LoadState(StateReader& in) {
    const uint8_t control = in.U8(), pending = in.U8(), phase = in.U8(), position = in.U8();
    const uint8_t left = in.U8Max(15), right = in.U8Max(15);
    const bool hasPending = in.Bool();
    // A shape has at most two phases (its ramp table's size); the hold phase has its own number.
    if (in.Failed() || (phase >= 2 && phase != kHoldPhase) || position >= 16) return false;
    control_ = control, pending_ = pending, phase_ = phase, position_ = position;
    left_ = left, right_ = right, hasPending_ = hasPending;
    return true;
}

// The sample rate and the frame period belong to the host's sound device, not to the chip.
void ChipSAA1099::SaveState(StateWriter& out) const {
    for (const FrequencyGenerator& g : tones_) {
        out.I64(g.countdown);
        out.U8(g.frequency);
        out.U8(g.octave);
        out.Bool(g.high);
    }
    for (const NoiseGenerator& g : noises_) {
        out.I64(g.countdown);
        out.U32(g.shift);
        out.U8(g.source);
        out.Bool(g.high);
    }
    for (const SaaEnvelope& e : envelopes_) e.SaveState(out);
    out.Bytes(registers_.data(), registers_.size());
    out.Bytes(amplitude_.data(), amplitude_.size());
    out.U8(frequencyEnable_);
    out.U8(noiseEnable_);
    out.Bool(soundEnable_);
    out.Bool(sync_);
    out.U8(address_);
    out.I32(mixLeft_);
    out.I32(mixRight_);
}

bool ChipSAA1099::LoadState(StateReader& in) {
    std::array<FrequencyGenerator, 6> tones;
    for (FrequencyGenerator& g : tones) {
        g.countdown = in.I64();
        g.frequency = in.U8();
        g.octave = in.U8Max(7);
        g.high = in.Bool();
        if (g.countdown < 0 || g.countdown > kMaxCountdown) in.Fail();
    }
    std::array<NoiseGenerator, 2> noises;
    for (NoiseGenerator& g : noises) {
        g.countdown = in.I64();
        g.shift = in.U32();
        g.source = in.U8Max(3);
        g.high = in.Bool();
        // The shift register is 17 bits and never all zero.
        if (g.countdown < 0 || g.countdown > kMaxCountdown || g.shift == 0 || g.shift >> 17) {
            in.Fail();
        }
    }
    std::array<SaaEnvelope, 2> envelopes = envelopes_;
    for (SaaEnvelope& e : envelopes) {
        if (!e.LoadState(in)) return false;
    }
    std::array<uint8_t, 32> registers{};
    std::array<uint8_t, 6> amplitude{};
    in.Bytes(registers.data(), registers.size());
    in.Bytes(amplitude.data(), amplitude.size());
    const uint8_t frequencyEnable = in.U8(), noiseEnable = in.U8();
    const bool soundEnable = in.Bool(), sync = in.Bool();
    const uint8_t address = in.U8Max(0x1F);
    const int32_t mixLeft = in.I32(), mixRight = in.I32();
    if (in.Failed()) return false;
    tones_ = tones;
    noises_ = noises;
    envelopes_ = envelopes;
    registers_ = registers;
    amplitude_ = amplitude;
    frequencyEnable_ = frequencyEnable, noiseEnable_ = noiseEnable;
    soundEnable_ = soundEnable, sync_ = sync, address_ = address;
    mixLeft_ = mixLeft, mixRight_ = mixRight;
    return true;
}

void Muse::SaveState(StateWriter& out) const {
    out.U8(latchedData_);
    out.U8(lastControl_);
    saa_->SaveState(out);
}

bool Muse::LoadState(StateReader& in) {
    const uint8_t latched = in.U8(), control = in.U8();
    if (in.Failed() || !saa_->LoadState(in)) return false;
    latchedData_ = latched;
    lastControl_ = control;
    return true;
}
