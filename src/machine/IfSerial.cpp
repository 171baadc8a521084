#include "machine/IfSerial.h"

#include "machine/IfInterrupt.h"

IfSerial::IfSerial(IfInterrupt* interrupts) : interrupts_(interrupts) {
    chip_.SetWriteStateCallback(
        ChipUSART8251::WriteStateCallback::Bind<&IfSerial::OnControlWritten>(this));
    chip_.SetNoticeCallback(ChipUSART8251::NoticeCallback::Bind<&IfSerial::OnNotice>(this));
    chip_.SetOutputCallback(ChipUSART8251::kOutTxReady,
                            ChipUSART8251::LevelCallback::Bind<&IfSerial::OnTxReadyChanged>(this));
    chip_.SetOutputCallback(ChipUSART8251::kOutRxReady,
                            ChipUSART8251::LevelCallback::Bind<&IfSerial::OnRxReadyChanged>(this));
    SelectLine();
}

void IfSerial::PortWrite(uint8_t port, uint8_t value, int32_t /*ticks*/) {
    if ((port & 0xFC) != 0xC8) return;
    catchUp_();
    // Address bit 1 is not decoded: CA and CB mirror C8 and C9.
    if (port & 1) {
        chip_.WriteControl(value);
    } else {
        chip_.WriteData(value);
    }
}

uint8_t IfSerial::PortRead(uint8_t port, int32_t /*ticks*/) {
    if ((port & 0xFC) != 0xC8) return 0xFF;
    catchUp_();
    return (port & 1) ? chip_.ReadStatus() : chip_.ReadData();
}

void IfSerial::Reset(int32_t /*ticks*/) {
    catchUp_();
    chip_.ResetChip(false);
    for (int line = 0; line < kLines; ++line) lines_[line].OnLineReset(this);
}

IfSerial::LineHandlers IfSerial::SetLineHandlers(int line, const LineHandlers& handlers) {
    if (!ValidLine(line)) return {};
    catchUp_();
    LineHandlers previous = lines_[line];
    lines_[line] = handlers;
    if (line < 2) {
        lines_[line].OnClock = {};
        lines_[line].IsClockIdle = {};
    }
    selectedTick_ = lines_[selectedLine_].OnTick;
    return previous;
}

IfSerial::LineNotify IfSerial::SetLineResetHandler(int line, LineNotify handler) {
    if (!ValidLine(line)) return {};
    LineNotify previous = lines_[line].OnLineReset;
    lines_[line].OnLineReset = handler;
    return previous;
}

IfSerial::LineNotify IfSerial::SetLineTxReadyHandler(int line, LineNotify handler) {
    if (!ValidLine(line)) return {};
    LineNotify previous = lines_[line].OnTxReady;
    lines_[line].OnTxReady = handler;
    return previous;
}

IfSerial::LineTick IfSerial::SetLineTickHandler(int line, LineTick handler) {
    if (!ValidLine(line)) return {};
    LineTick previous = lines_[line].OnTick;
    lines_[line].OnTick = handler;
    selectedTick_ = lines_[selectedLine_].OnTick;
    return previous;
}

IfSerial::LineClock IfSerial::SetLineClockHandler(int line, LineClock handler) {
    if (line != 2 && line != 3) return {};
    catchUp_();
    LineClock previous = lines_[line].OnClock;
    lines_[line].OnClock = handler;
    return previous;
}

// /DTR and /RTS are the two select bits: both commands set → line 0, neither → line 3.
void IfSerial::SelectLine() {
    selectedLine_ = chip_.DtrPin() * 2 + chip_.RtsPin();
    selectedTick_ = lines_[selectedLine_].OnTick;
}

void IfSerial::OnControlWritten(int /*writeState*/) {
    // The board ties /CTS active.
    chip_.SetCts(0);
    RefreshInterruptLines();
}

void IfSerial::OnNotice(int notice) {
    if (notice == ChipUSART8251::kNoticeCommandApplied) SelectLine();
}

void IfSerial::OnTxReadyChanged(uint8_t /*level*/) {
    lines_[selectedLine_].OnTxReady(this);
    if (interrupts_ != nullptr) {
        interrupts_->SetSourceLine(IfInterrupt::kLineTxReady, chip_.TxReadyPin() ? 1 : 0);
    }
}

void IfSerial::OnRxReadyChanged(uint8_t level) {
    if (interrupts_ != nullptr) interrupts_->SetSourceLine(IfInterrupt::kLineRxReady, level);
}

// TxRDY also follows TxEN, and a mode instruction drops RxRDY without a change callback; the
// request lines must follow the pins, or a stale request keeps interrupting.
void IfSerial::RefreshInterruptLines() {
    if (interrupts_ == nullptr) return;
    interrupts_->SetSourceLine(IfInterrupt::kLineTxReady, chip_.TxReadyPin() ? 1 : 0);
    interrupts_->SetSourceLine(IfInterrupt::kLineRxReady, chip_.GetState().RxReady);
}

void IfSerial::TimerOutput(uint8_t level) {
    chip_.TxClockEdge(level);
    // On lines 0 and 1 the receiver clock comes from the line device (the tape makes its own).
    if (selectedLine_ >= 2) {
        lines_[selectedLine_].OnClock(this, level);
        chip_.RxClockEdge(level);
    }
}

void IfSerial::OnTick(int32_t periodTicks, int32_t ticks) {
    if (selectedTick_) selectedTick_(this, periodTicks, ticks);
}

int32_t IfSerial::QuietTicks() {
    if (!selectedTick_) return INT32_MAX;
    const LineHandlers& line = lines_[selectedLine_];
    return line.QuietTicks ? line.QuietTicks(this) : 0;
}

bool IfSerial::TimerClockIdle() const {
    if (!chip_.TxClockIdle()) return false;
    if (selectedLine_ < 2) return true;
    if (!chip_.RxClockIdle()) return false;
    const LineHandlers& line = lines_[selectedLine_];
    return !line.OnClock || (line.IsClockIdle && line.IsClockIdle(const_cast<IfSerial*>(this)));
}

void IfSerial::SkipTimerEdges(uint64_t fallingEdges, uint64_t risingEdges, uint8_t level) {
    // The edges alternate and end at `level`. A mode instruction sets the chip's clock levels
    // without regard to the timer, so the first edge may find the chip at its level already and
    // not count.
    const uint64_t edges = fallingEdges + risingEdges;
    if (edges == 0) return;
    const uint8_t first = (edges & 1) ? level : static_cast<uint8_t>(level ^ 1);
    const ChipUSART8251::State& s = chip_.GetState();
    const uint64_t txFalling = fallingEdges - ((first == 0 && s.TxC == 0) ? 1 : 0);
    const uint64_t rxRising = risingEdges - ((first == 1 && s.RxC == 1) ? 1 : 0);
    chip_.SkipTxClocks(txFalling, level);
    if (selectedLine_ >= 2) chip_.SkipRxClocks(rxRising, level);
}

void IfSerial::RxClockEdges(uint64_t count, uint8_t firstLevel) {
    if (count == 0) return;
    catchUp_();
    firstLevel = firstLevel ? 1 : 0;
    // The first edge rises only from a low clock; after it, every other one rises.
    uint64_t rising = (firstLevel == 1 && chip_.GetState().RxC == 0) ? 1 : 0;
    rising += firstLevel == 1 ? (count - 1) / 2 : count / 2;
    const uint8_t last = (count & 1) ? firstLevel : static_cast<uint8_t>(firstLevel ^ 1);
    chip_.SkipRxClocks(rising, last);
}

Closure<void()> IfSerial::SetClockCatchUp(Closure<void()> catchUp) {
    Closure<void()> previous = catchUp_;
    catchUp_ = catchUp;
    return previous;
}
