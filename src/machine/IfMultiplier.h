#pragma once

#include <cstdint>

#include "machine/ChipMH102.h"
#include "machine/Closure.h"
#include "machine/PeripheralDevice.h"

class StateArchive;
class StateReader;
class StateWriter;

// The optional multiplier on ports D8-DB: D8/D9 are the operands (and the product's low/high
// byte) unsigned, DA/DB the same in sign-magnitude. The ports belong to the memory organizer on a
// machine without it, where touching them switches paging on; the multiplier does that too.
class IfMultiplier : public PeripheralDevice {
  public:
    IfMultiplier() = default;

    void PortWrite(uint8_t port, uint8_t value, int32_t ticks) override;
    uint8_t PortRead(uint8_t port, int32_t ticks) override;
    int DeviceType() const override { return kDeviceMultiplier; }
    // Its ports switch paging on.
    uint8_t PortReach() const override { return kReachExecution; }

    // The state that decides the future, for snapshots; false for a malformed stream.
    void SaveState(StateWriter& out) const;
    bool LoadState(StateReader& in);
    void Serialize(StateArchive& a);  // the fields both name, once

    Closure<void()> SetEnablePaging(Closure<void()> enablePaging);

    const ChipMH102& Chip() const { return chip_; }

  private:
    ChipMH102 chip_;
    Closure<void()> enablePaging_;
};
