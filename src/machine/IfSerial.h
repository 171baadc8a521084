#pragma once

#include <array>
#include <cstdint>

#include "machine/ChipUSART8251.h"
#include "machine/Closure.h"
#include "machine/PeripheralDevice.h"

class StateArchive;
class StateReader;
class StateWriter;

class IfInterrupt;

// The 8251 on ports C8-CB, clocked by the timer's counter 2. /DTR and /RTS select one of four
// serial lines (0 tape, 3 SD-ROM module); the selected line's device is told of resets,
// transmitter-ready changes and processor ticks, and on lines 2 and 3 it also sees the clock,
// which then clocks the receiver too. TxRDY and RxRDY request interrupts on lines 0 and 1.
class IfSerial : public PeripheralDevice {
  public:
    static constexpr int kLines = 4;
    static constexpr int kLineTape = 0, kLineSdRom = 3;

    using LineNotify = Closure<void(IfSerial* serial)>;
    using LineTick = Closure<void(IfSerial* serial, int32_t periodTicks, int32_t ticks)>;
    using LineClock = Closure<void(IfSerial* serial, uint8_t level)>;

    struct LineHandlers {
        LineNotify OnLineReset;
        LineNotify OnTxReady;
        LineTick OnTick;
        LineClock OnClock;  // lines 2 and 3 only
        // Optional, with OnClock: true while the device has no use for clock edges. A device
        // that answers true must call CatchUpClock before it starts needing them again.
        Closure<bool(IfSerial* serial)> IsClockIdle;
        // Optional, with OnTick: how many ticks may pass before OnTick must be called again, and
        // merged calls are fine (see QuietQuery in ChipCpu8080.h). Without it: every
        // instruction.
        Closure<int32_t(IfSerial* serial)> QuietTicks;
    };

    explicit IfSerial(IfInterrupt* interrupts);

    void PortWrite(uint8_t port, uint8_t value, int32_t ticks) override;
    uint8_t PortRead(uint8_t port, int32_t ticks) override;
    void Reset(int32_t ticks) override;
    int DeviceType() const override { return kDeviceSerial; }

    // The state that decides the future, for snapshots; false for a malformed stream.
    void SaveState(StateWriter& out) const;
    bool LoadState(StateReader& in);
    void Serialize(StateArchive& a);  // the fields both name, once

    // Each returns what it replaces; a line outside 0-3 (or a clock handler on line 0 or 1) is
    // refused and nothing changes.
    LineHandlers SetLineHandlers(int line, const LineHandlers& handlers);
    LineNotify SetLineResetHandler(int line, LineNotify handler);
    LineNotify SetLineTxReadyHandler(int line, LineNotify handler);
    LineTick SetLineTickHandler(int line, LineTick handler);
    LineClock SetLineClockHandler(int line, LineClock handler);

    int SelectedLine() const { return selectedLine_; }

    // Counter 2's output.
    void TimerOutput(uint8_t level);
    // While the timer's edges would only move the USART's dividers on, the timer may count them
    // and hand them over later; before anything here changes it is asked to catch up.
    bool TimerClockIdle() const;
    void SkipTimerEdges(uint64_t fallingEdges, uint64_t risingEdges, uint8_t level);
    Closure<void()> SetClockCatchUp(Closure<void()> catchUp);
    void CatchUpClock() { catchUp_(); }
    // Tick listener.
    void OnTick(int32_t periodTicks, int32_t ticks);
    // Companion of OnTick for the processor: quiet for ever without a device ticking on the
    // selected line, else what that device says.
    int32_t QuietTicks();

    // What the line devices use of the chip.
    void SetRxD(uint8_t level) {
        catchUp_();
        chip_.SetRxD(level);
    }
    void RxClockEdge(uint8_t level) {
        catchUp_();
        chip_.RxClockEdge(level);
    }
    // True while receiver clock edges would only move its divider on (see RxClockEdges).
    bool RxClockIdle() const { return chip_.RxClockIdle(); }
    // `count` receiver clock edges at alternating levels, the first at `firstLevel`, in one
    // go; exact only while RxClockIdle().
    void RxClockEdges(uint64_t count, uint8_t firstLevel);
    bool TxReadyPin() const { return chip_.TxReadyPin(); }
    bool RxReady() const { return chip_.GetState().RxReady != 0; }
    void SetDsr(uint8_t level) { chip_.SetDsr(level); }
    void SetParallelTx(uint8_t on) { chip_.SetParallelTx(on); }
    void PutReceivedByte(uint8_t value) {
        catchUp_();
        chip_.PutReceivedByte(value);
    }
    uint8_t TakeTransmitByte() {
        catchUp_();
        return chip_.TakeTransmitByte();
    }

    // The chip, with the timer caught up first; the const view is for viewers and shows the
    // dividers as of the last catch-up.
    ChipUSART8251& Chip() {
        catchUp_();
        return chip_;
    }
    const ChipUSART8251& Chip() const { return chip_; }

  private:
    static bool ValidLine(int line) { return line >= 0 && line < kLines; }
    void OnControlWritten(int writeState);
    void OnNotice(int notice);
    void OnTxReadyChanged(uint8_t level);
    void OnRxReadyChanged(uint8_t level);
    void RefreshInterruptLines();
    void SelectLine();

    ChipUSART8251 chip_;
    IfInterrupt* interrupts_;
    Closure<void()> catchUp_;
    int selectedLine_ = kLineSdRom;
    LineTick selectedTick_;  // the selected line's tick handler, looked up once per selection
    std::array<LineHandlers, kLines> lines_{};
};
