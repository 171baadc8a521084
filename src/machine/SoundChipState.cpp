#include "machine/ChipSAA1099.h"
#include "machine/Muse.h"
#include "machine/SaaEnvelope.h"
#include "machine/StateArchive.h"

namespace {
// Beyond any half-cycle the generator works out (511 << 8 clocks in its time units), yet far
// from an overflow.
constexpr int64_t kMaxCountdown = int64_t{1} << 40;
constexpr uint8_t kHoldPhase = 0xFF;
}  // namespace

void SaaEnvelope::Serialize(StateArchive& a) {
    a.Field(control_);
    a.Field(pending_);
    // A shape has at most two phases (its ramp table's size); the hold phase has its own number.
    const uint8_t phase = a.Field(phase_);
    a.Require(phase < 2 || phase == kHoldPhase);
    a.Field(position_, 0, 15);
    a.Field(left_, 0, 15);
    a.Field(right_, 0, 15);
    a.Field(hasPending_);
}

// The sample rate and the frame period belong to the host's sound device, not to the chip.
void ChipSAA1099::Serialize(StateArchive& a) {
    for (FrequencyGenerator& g : tones_) {
        a.Field(g.countdown, 0, kMaxCountdown);
        a.Field(g.frequency);
        a.Field(g.octave, 0, 7);
        a.Field(g.high);
    }
    for (NoiseGenerator& g : noises_) {
        a.Field(g.countdown, 0, kMaxCountdown);
        // The shift register is 17 bits and never all zero.
        a.Field(g.shift, 1, (1u << 17) - 1);
        a.Field(g.source, 0, 3);
        a.Field(g.high);
    }
    for (SaaEnvelope& e : envelopes_) e.Serialize(a);
    a.Bytes(registers_.data(), registers_.size());
    a.Bytes(amplitude_.data(), amplitude_.size());
    a.Field(frequencyEnable_);
    a.Field(noiseEnable_);
    a.Field(soundEnable_);
    a.Field(sync_);
    a.Field(address_, 0, 0x1F);
    a.Field(mixLeft_);
    a.Field(mixRight_);
}

void ChipSAA1099::SaveState(StateWriter& out) const {
    StateArchive::Save(*this, out);
}

bool ChipSAA1099::LoadState(StateReader& in) {
    return StateArchive::Load(*this, in);
}

void Muse::Serialize(StateArchive& a) {
    a.Field(latchedData_);
    a.Field(lastControl_);
    saa_->Serialize(a);
}

void Muse::SaveState(StateWriter& out) const {
    StateArchive::Save(*this, out);
}

bool Muse::LoadState(StateReader& in) {
    return StateArchive::Load(*this, in);
}
