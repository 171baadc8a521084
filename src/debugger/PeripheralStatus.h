#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "machine/ChipPIT8253.h"
#include "machine/ChipUSART8251.h"
#include "machine/RegisterView.h"

// The timer's and the serial chip's states turned into the texts the peripheral status
// window shows. Every number is hexadecimal, whatever radix the debugger uses: these are register
// contents, read against the chips' data sheets.
namespace debugger {

struct TimerCounterStatus {
    std::string Mode;     // "3 / BIN / BOTH"
    std::string Count;    // "#1234", or "0099" for a BCD counter
    std::string Preset;   // the count register, the same way
    std::string Signals;  // gate / clock / out: "1 / 0 / 1"
};

std::array<TimerCounterStatus, 3> DecodeTimerStatus(
    const std::array<ChipPIT8253::CounterState, 3>& counters);

struct UsartStatus {
    bool Synchronous = false;  // the factor labels show only in asynchronous mode, sync ones in
                               // synchronous mode
    bool ReceiverEnabled = false;
    bool TransmitterEnabled = false;
    std::string Mode;         // "Asynchronous" / "Synchronous"
    std::string Format;       // "8N1", "7E1.5", "8O" (no stop bits in synchronous mode)
    std::string Factor;       // "1", "16", "64"
    std::string SyncMode;     // "Internal" / "External"
    std::string SyncChars;    // "#16 #16", or one when the mode asks for a single one
    std::string Receiver;     // "Enabled" / "Disabled"
    std::string Transmitter;  // the same
    std::string RtsCts;       // "/RTS=0  /CTS=1"
    std::string DtrDsr;       // "/DTR=1  /DSR=1"
    std::string Errors;       // "PE=0   OE=0   FE=0"
    std::string RxReady;      // "RxR=1"
    std::string TxReady;      // "TxR=1   TxE=1"
    std::string SynBrk;       // "SYN=0" or "BRK=0"
    std::string TxChar;       // "#41"
    std::string RxChar;
    std::string TxShift;  // "#41/3", or "#41/-" with no bits left to shift
    std::string RxShift;
};

UsartStatus DecodeUsartStatus(const ChipUSART8251::State& state);

struct RegisterLine {
    std::string Name;   // "Control:"
    std::string Value;  // "#9B 10011011"; a flip-flop "1"; a field of up to four bits "5"
};

// The registers a chip lists for itself, as the window shows them.
std::vector<RegisterLine> FormatRegisterList(const RegisterList& registers);

// An 8255's control word in words: "A mode 0 in, B mode 0 in, C in/in" (port C's upper half,
// then its lower half).
std::string DescribePioControl(uint8_t control);

}  // namespace debugger
