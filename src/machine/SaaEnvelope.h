#pragma once

#include <cstdint>

class StateArchive;

// One of the SAA1099's two envelope generators (control registers 0x18 and 0x19). It shapes the
// amplitude of one channel (2 or 5) in 16 steps per phase, or 8 coarser ones, clocked either by
// a frequency generator (1 or 4) or by every write to the chip's address register.
//
// Control register: bit 7 enable, bit 5 external clock, bit 4 three-bit resolution, bits 3-1
// the shape, bit 0 the right side inverted. A write while the envelope runs waits for the end of
// the current phase, so a program can change shape without a jump in the middle of a ramp.
class SaaEnvelope {
  public:
    enum Shape : uint8_t {
        kZero = 0,
        kMaximum = 1,
        kSingleDecay = 2,
        kRepetitiveDecay = 3,
        kSingleTriangle = 4,
        kRepetitiveTriangle = 5,
        kSingleAttack = 6,
        kRepetitiveAttack = 7,
    };

    void PowerOn();
    void WriteControl(uint8_t value);
    void Clock();

    bool Enabled() const { return (control_ & 0x80) != 0; }
    bool ExternalClock() const { return (control_ & 0x20) != 0; }
    // Amplitude factors 0..15 for the two sides.
    uint8_t LeftLevel() const { return left_; }
    uint8_t RightLevel() const { return right_; }

    // The state that decides the future, for snapshots (its owner's section holds it).
    void Serialize(StateArchive& a);

  private:
    enum class Ramp : uint8_t { Zero, Maximum, Up, Down };

    void Apply(uint8_t value);
    Ramp CurrentRamp() const;
    void UpdateLevels();

    uint8_t control_ = 0;
    uint8_t pending_ = 0;
    bool hasPending_ = false;
    uint8_t phase_ = 0;     // index into the shape's phase list
    uint8_t position_ = 0;  // 0..15 inside the phase
    uint8_t left_ = 0;
    uint8_t right_ = 0;
};
