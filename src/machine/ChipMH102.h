#pragma once

#include <cstdint>

class StateArchive;

// The MH102 hardware multiplier: two 8-bit operands, multiplied unsigned or in sign-magnitude
// form (bit 7 the sign, bits 0-6 the magnitude).
class ChipMH102 {
  public:
    struct State {
        uint8_t OperandX = 0;
        uint8_t OperandY = 0;
        uint16_t Product = 0;
        uint8_t SignedMode = 0;
    };

    void SetOperandX(uint8_t value, bool signedMode);
    void SetOperandY(uint8_t value, bool signedMode);
    void SetSignedMode(bool signedMode) { s_.SignedMode = signedMode ? 1 : 0; }
    uint8_t ProductLow() const { return static_cast<uint8_t>(s_.Product); }
    uint8_t ProductHigh() const { return static_cast<uint8_t>(s_.Product >> 8); }

    const State& GetState() const { return s_; }

    // The state that decides the future, for snapshots (its owner's section holds it).
    void Serialize(StateArchive& a);

  private:
    void Multiply();

    State s_;
};
