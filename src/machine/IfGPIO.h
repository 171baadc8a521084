#pragma once

#include <cstdint>

#include "machine/ChipPIO8255.h"
#include "machine/PeripheralDevice.h"

class StateArchive;
class StateReader;
class StateWriter;

class ChipCpu8080;

// The general-purpose parallel port (8255 on ports C4-C7) that the game controller and the sound
// interface plug into. Port B reads back PC2, PC3 and PC5-PC7 and, optionally, the processor's
// interrupt enable on PB0; port A reads inverted while PC4 is high.
class IfGPIO : public PeripheralDevice {
  public:
    explicit IfGPIO(ChipCpu8080* cpu);

    void PortWrite(uint8_t port, uint8_t value, int32_t ticks) override;
    uint8_t PortRead(uint8_t port, int32_t ticks) override;
    void Reset(int32_t ticks) override;
    int DeviceType() const override { return kDeviceGpio; }
    // The joystick, the sound board and the loop-backs keep no time of their own.
    uint8_t PortReach() const override { return kReachNothing; }

    // The state that decides the future, for snapshots; false for a malformed stream.
    void SaveState(StateWriter& out) const;
    bool LoadState(StateReader& in);
    void Serialize(StateArchive& a);  // the fields both name, once

    void SetInteOnPB0(bool on) { inteOnPB0_ = on; }
    bool InteOnPB0() const { return inteOnPB0_; }
    bool InvertA() const { return invertA_; }

    // For the devices plugged into the port.
    void SetInputs(int port, uint8_t value) { chip_.SetInputs(port, value); }
    uint8_t OutputLevels(int port) const { return chip_.OutputLevels(port); }
    int32_t LastTicks() const { return lastTicks_; }

    ChipPIO8255& Chip() { return chip_; }
    const ChipPIO8255& Chip() const { return chip_; }

  private:
    void OnPortCChanged(uint8_t oldValue, uint8_t newValue);
    void OnPortBRead(int32_t ticks);

    ChipPIO8255 chip_;
    ChipCpu8080* cpu_;
    int32_t lastTicks_ = 0;
    bool invertA_ = false;
    bool inteOnPB0_ = false;
};
