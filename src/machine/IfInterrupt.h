#pragma once

#include <cstdint>

#include "machine/ChipICU3214.h"
#include "machine/InterruptController.h"
#include "machine/PeripheralDevice.h"

class StateArchive;
class StateReader;
class StateWriter;

// The machine's interrupt wiring round the 3214 (ports D4-D7). Four request lines are gated by
// enable bits of the byte written there; lines 4, 6 and 7 are latched and acknowledged by the
// program pulling the system PIO's PC5 or PC6 low. The unit answers the processor's interrupt
// acknowledge with an RST.
class IfInterrupt : public PeripheralDevice, public InterruptController {
  public:
    // Source lines of this machine.
    static constexpr int kLineTxReady = 0, kLineRxReady = 1, kLineTimer = 6;

    struct State {
        uint8_t EnableLine0 = 0, EnableLine1 = 0, EnableLine3 = 0, EnableLine5 = 0;
        uint8_t InputLine0 = 0, InputLine1 = 0, InputLine3 = 0, InputLine5 = 0;
        uint8_t ControlPC5 = 0, ControlPC6 = 0;
        uint8_t Latched4 = 0, Latched6 = 0, Latched7 = 0;
        uint8_t LastWritten = 0;
    };

    IfInterrupt();

    void PortWrite(uint8_t port, uint8_t value, int32_t ticks) override;
    uint8_t PortRead(uint8_t port, int32_t ticks) override;
    int DeviceType() const override { return kDeviceInterrupt; }

    // The state that decides the future, for snapshots; false for a malformed stream.
    void SaveState(StateWriter& out) const;
    bool LoadState(StateReader& in);
    void Serialize(StateArchive& a);  // the fields both name, once

    uint8_t InterruptInstruction(int index) override;
    void SetInteInput(bool state) override;

    void SetSourceLine(int line, uint8_t level);
    void SetPortControls(uint8_t pc5, uint8_t pc6);

    // Tick listener, registered after the timer and the serial interface.
    void OnTick(int32_t periodTicks, int32_t ticks);
    // Companion of OnTick for the processor: the unit only acts when its inputs change (a port
    // write, a request line, INTE), so while it has nothing to issue it may be left alone.
    int32_t QuietTicks() const { return chip_.Settled() ? INT32_MAX : 0; }

    const ChipICU3214& Chip() const { return chip_; }
    const State& GetState() const { return s_; }

  private:
    void DriveGated(int line, uint8_t input, uint8_t enable);

    ChipICU3214 chip_;
    State s_;
};
