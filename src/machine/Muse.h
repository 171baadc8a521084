#pragma once

#include <cstdint>

#include "machine/ChipPIO8255.h"
#include "machine/SAASound.h"
#include "machine/SoundLevelOutput.h"

class IfGPIO;
class StateArchive;
class StateReader;
class StateWriter;

// The Muse board: an SAA1099 on the general-purpose parallel port. Port A (C4) carries the data
// bus through an inverter, port C (C6) the control lines:
//   bit 0 and bit 3  strobes, both high to write
//   bit 1            /reset: low clears all 32 registers of the generator
//   bit 2            A0: 1 data write, 0 address write
//   bit 4            high while the joystick owns port A; the board then ignores both ports
// A program writes a register by putting the complement of the address on port A and raising
// the strobes with A0 low, then the complement of the value with A0 high.
//
// Port handlers run on the emulation thread; the generator runs inside the sound driver's
// ProduceBlock on the same thread, so the chip needs no lock of its own.
class Muse {
  public:
    // Plugs into the port (null: a board on nothing, only its generator works). Both handlers
    // are registered on the port's 8255, each calling first the one it replaces.
    explicit Muse(IfGPIO* port);
    // Unplugs, putting the replaced handlers back. The port must still exist: destroy the board
    // before the port it sits on.
    ~Muse();
    Muse(const Muse&) = delete;
    Muse& operator=(const Muse&) = delete;

    // The sample source for the sound driver's SetGenerator.
    SoundGenerator Generator() { return SoundGenerator::Bind<&Muse::Generate>(this); }
    void Generate(int16_t* block, int frames);

    uint8_t LatchedData() const { return latchedData_; }
    SAASND Handle() const { return saa_; }

    // The state that decides the future, for snapshots; false for a malformed stream.
    void SaveState(StateWriter& out) const;
    bool LoadState(StateReader& in);
    void Serialize(StateArchive& a);  // the fields both name, once

  private:
    void OnPortAWritten();
    void OnPortCChanged(uint8_t oldValue, uint8_t newValue);
    bool PortOwnedByJoystick() const;

    IfGPIO* port_;
    SAASND saa_;
    uint8_t latchedData_ = 0xFF;
    uint8_t lastControl_ = 0xFF;
    ChipPIO8255::Notify previousPortA_;
    ChipPIO8255::PortCChange previousPortC_;
};
