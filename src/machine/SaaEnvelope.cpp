#include "machine/SaaEnvelope.h"

namespace {

// The ramps of each shape; after the last, a repetitive shape starts over and a single one holds
// (at zero: even the single attack falls silent at its top).
struct ShapePhases {
    uint8_t count;
    bool repeats;
    uint8_t ramps[2];  // 0 zero, 1 maximum, 2 up, 3 down
};
constexpr ShapePhases kShapes[8] = {
    {1, false, {0, 0}},  // zero amplitude
    {1, false, {1, 1}},  // maximum amplitude
    {1, false, {3, 0}},  // single decay
    {1, true, {3, 0}},   // repetitive decay
    {2, false, {2, 3}},  // single triangle
    {2, true, {2, 3}},   // repetitive triangle
    {1, false, {2, 0}},  // single attack
    {1, true, {2, 0}},   // repetitive attack
};
constexpr uint8_t kHoldPhase = 0xFF;

}  // namespace

void SaaEnvelope::PowerOn() {
    control_ = pending_ = 0;
    hasPending_ = false;
    phase_ = position_ = 0;
    UpdateLevels();
}

void SaaEnvelope::WriteControl(uint8_t value) {
    if (Enabled() && (value & 0x80) != 0) {
        pending_ = value;
        hasPending_ = true;
        return;
    }
    Apply(value);
}

void SaaEnvelope::Apply(uint8_t value) {
    control_ = value;
    hasPending_ = false;
    phase_ = position_ = 0;
    UpdateLevels();
}

SaaEnvelope::Ramp SaaEnvelope::CurrentRamp() const {
    if (phase_ == kHoldPhase) return Ramp::Zero;
    return static_cast<Ramp>(kShapes[(control_ >> 1) & 7].ramps[phase_]);
}

void SaaEnvelope::Clock() {
    if (!Enabled()) return;
    const Ramp ramp = CurrentRamp();
    if (ramp == Ramp::Zero || ramp == Ramp::Maximum) {
        // A level that holds has no phase to finish: a waiting write takes over at once.
        if (hasPending_) Apply(pending_);
        return;
    }
    position_ += (control_ & 0x10) ? 2 : 1;
    if (position_ < 16) {
        UpdateLevels();
        return;
    }
    if (hasPending_) {
        Apply(pending_);
        return;
    }
    position_ = 0;
    const ShapePhases& shape = kShapes[(control_ >> 1) & 7];
    ++phase_;
    if (phase_ >= shape.count) phase_ = shape.repeats ? 0 : kHoldPhase;
    UpdateLevels();
}

void SaaEnvelope::UpdateLevels() {
    uint8_t level = 0;
    switch (CurrentRamp()) {
        case Ramp::Zero: level = 0; break;
        case Ramp::Maximum: level = 15; break;
        case Ramp::Up: level = position_; break;
        case Ramp::Down: level = static_cast<uint8_t>(15 - position_); break;
    }
    const uint8_t mask = (control_ & 0x10) ? 0x0E : 0x0F;
    const uint8_t mirrored = (control_ & 0x01) ? static_cast<uint8_t>(15 - level) : level;
    left_ = level & mask;
    right_ = mirrored & mask;
}
