#pragma once

#include <cstdint>

#include "machine/Closure.h"
#include "machine/RegisterView.h"

class StateArchive;

// The Intel 8255 programmable peripheral interface at register and pin level: modes 0, 1 and 2,
// the control word, the port C bit set/reset command and the strobe/acknowledge handshakes. It
// knows nothing of ports: an owner maps the four registers, feeds the input pins and listens to
// the outputs through closures.
class ChipPIO8255 {
  public:
    enum Port : int { kPortA = 0, kPortB = 1, kPortC = 2, kControl = 3 };

    // Handshake bits the chip keeps in port C's output latch, and the pins it watches there.
    static constexpr uint8_t kIntrB = 0x01, kBufferB = 0x02, kStrobeB = 0x04, kIntrA = 0x08,
                             kStrobeA = 0x10, kIbfA = 0x20, kAckA = 0x40, kObfA = 0x80;

    struct State {
        uint8_t Mode = 0;
        uint8_t PinsA = 0, PinsB = 0, PinsC = 0;
        uint8_t LatchInA = 0, LatchInB = 0;
        uint8_t OutA = 0, OutB = 0, OutC = 0;
        uint8_t InteA1 = 0;  // port A input side: PC4 in mode 1, INTE 2 in mode 2
        uint8_t InteA2 = 0;  // port A output side: PC6 in mode 1, INTE 1 in mode 2
        uint8_t InteB = 0;   // PC2
    };

    using Notify = Closure<void()>;
    using PortCChange = Closure<void(uint8_t oldValue, uint8_t newValue)>;
    using ReadNotify = Closure<void(int32_t ticks)>;
    using ModeNotify = Closure<void(uint8_t mode)>;

    ChipPIO8255() = default;

    void ResetChip(bool clearCallbacks);
    void WritePort(int index, uint8_t value);
    uint8_t ReadPort(int index, int32_t ticks);
    void SetInputs(int port, uint8_t value);
    void SetInputPin(int port, int bit, uint8_t level);
    uint8_t OutputLevels(int port) const;
    uint8_t OutputPin(int port, int bit) const { return (OutputLevels(port) >> bit) & 1; }

    const State& GetState() const { return s_; }
    // The control word, the output latches, the pins, the input latches and the three INTE
    // flip-flops.
    RegisterList Registers() const;

    // The state that decides the future, for snapshots (its owner's section holds it).
    void Serialize(StateArchive& a);

    // Every registration returns the closure it replaces.
    Notify SetOnPortAWritten(Notify c) { return Swap(onPortAWritten_, c); }
    Notify SetOnPortBWritten(Notify c) { return Swap(onPortBWritten_, c); }
    PortCChange SetOnPortCChanged(PortCChange c) { return Swap(onPortCChanged_, c); }
    PortCChange SetOnPortCUpperChanged(PortCChange c) { return Swap(onPortCUpperChanged_, c); }
    PortCChange SetOnPortCLowerChanged(PortCChange c) { return Swap(onPortCLowerChanged_, c); }
    ReadNotify SetOnPortARead(ReadNotify c) { return Swap(onPortARead_, c); }
    ReadNotify SetOnPortBRead(ReadNotify c) { return Swap(onPortBRead_, c); }
    ReadNotify SetOnPortCRead(ReadNotify c) { return Swap(onPortCRead_, c); }
    ReadNotify SetOnPortCUpperRead(ReadNotify c) { return Swap(onPortCUpperRead_, c); }
    ReadNotify SetOnPortCLowerRead(ReadNotify c) { return Swap(onPortCLowerRead_, c); }
    ModeNotify SetOnModeSet(ModeNotify c) { return Swap(onModeSet_, c); }

    // Decoded control word.
    int GroupAMode() const { return (s_.Mode >> 5) & 3; }
    bool PortAInput() const { return (s_.Mode & 0x10) != 0; }
    bool UpperCInput() const { return (s_.Mode & 0x08) != 0; }
    bool GroupBMode1() const { return (s_.Mode & 0x04) != 0; }
    bool PortBInput() const { return (s_.Mode & 0x02) != 0; }
    bool LowerCInput() const { return (s_.Mode & 0x01) != 0; }

  private:
    template <typename T>
    static T Swap(T& slot, T replacement) {
        T previous = slot;
        slot = replacement;
        return previous;
    }

    bool LowerCOutputMode0() const { return !GroupBMode1() && !LowerCInput(); }
    bool UpperCOutputMode0() const { return GroupAMode() == 0 && !UpperCInput(); }
    bool GroupAHasInputSide() const {
        return GroupAMode() == 2 || (GroupAMode() == 1 && PortAInput());
    }
    bool GroupAHasOutputSide() const {
        return GroupAMode() == 2 || (GroupAMode() == 1 && !PortAInput());
    }

    void SetMode(uint8_t value);
    void BitSetReset(uint8_t value);
    void SetOutCBit(uint8_t mask, bool on);
    void NotifyPortC(uint8_t oldValue, uint8_t newValue);
    uint8_t ReadPortC(int32_t ticks);
    void SetPortCPins(uint8_t value);

    State s_;
    Notify onPortAWritten_, onPortBWritten_;
    PortCChange onPortCChanged_, onPortCUpperChanged_, onPortCLowerChanged_;
    ReadNotify onPortARead_, onPortBRead_, onPortCRead_, onPortCUpperRead_, onPortCLowerRead_;
    ModeNotify onModeSet_;
};
