#pragma once

#include <array>
#include <cstdint>

#include "machine/RegisterView.h"

class StateArchive;

// The Intel 3214 priority interrupt control unit: eight request levels (7 highest), a current
// status below which nothing is honoured, and an interrupt-disable flip-flop that keeps the unit
// silent from the moment it issues INT until the program writes the status again.
class ChipICU3214 {
  public:
    struct State {
        uint8_t CurrentStatus = 0;  // 3 bits
        uint8_t StatusGroupSelect = 0;
        uint8_t Requests = 0;  // level n is bit 7 - n
        uint8_t Pending = 0;
        int RequestLevel = -1;
        uint8_t Disabled = 1;  // no interrupt before the first status write
        uint8_t EnableGroup = 0;
        uint8_t InteInput = 0;
        uint8_t IntOutput = 0;
        bool operator==(const State&) const = default;
    };

    void WriteStatus(uint8_t status, uint8_t sgs);
    void SetRequest(int level, uint8_t active);
    // Samples the inputs as the unit does on every clock; returns the INT output.
    bool Evaluate() {
        s_.IntOutput = WouldInterrupt();
        if (s_.IntOutput) s_.Disabled = 1;
        return s_.IntOutput != 0;
    }
    // True while sampling would change nothing: no INT to issue and none being issued.
    bool Settled() const { return !s_.IntOutput && !WouldInterrupt(); }
    uint8_t Vector() const;

    void SetEnableGroup(uint8_t on) { s_.EnableGroup = on ? 1 : 0; }
    void SetInteInput(uint8_t on) { s_.InteInput = on ? 1 : 0; }

    const State& GetState() const { return s_; }
    // The current status and its group select, the request latches, the level being offered,
    // the interrupt-disable flip-flop and the enable, INTE and INT lines.
    RegisterList Registers() const;

    // The state that decides the future, for snapshots (its owner's section holds it).
    void Serialize(StateArchive& a);

  private:
    bool WouldInterrupt() const {
        return !s_.Disabled && s_.Pending && s_.InteInput && s_.EnableGroup &&
               (s_.StatusGroupSelect || s_.CurrentStatus < s_.RequestLevel);
    }
    int HighestRequest() const;

    State s_;
};
