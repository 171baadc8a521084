#include "debugger/PeripheralStatus.h"

#include <algorithm>
#include <cstdio>

namespace debugger {

namespace {

std::string Hex(unsigned value, int digits) {
    char text[8];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

const char* Level(unsigned level) {
    return level != 0 ? "1" : "0";
}

// Bits already shifted out (or in), or "-" when the register has nothing left to shift.
std::string Shift(uint8_t reg, uint8_t bitsLeft, int charLength) {
    std::string text = "#" + Hex(reg, 2) + "/";
    return bitsLeft == 0 ? text + "-" : text + std::to_string(charLength - bitsLeft);
}

}  // namespace

std::array<TimerCounterStatus, 3> DecodeTimerStatus(
    const std::array<ChipPIT8253::CounterState, 3>& counters) {
    static const char* const kFormats[] = {"CAP", "LSB", "MSB", "BOTH"};
    std::array<TimerCounterStatus, 3> out;
    for (int i = 0; i < 3; ++i) {
        const ChipPIT8253::CounterState& k = counters[static_cast<size_t>(i)];
        const uint8_t control = k.Control;
        int mode = (control >> 1) & 7;
        if (mode >= 6) mode &= 3;  // modes 6 and 7 are the 8253's aliases of 2 and 3
        const bool bcd = control & 1;
        TimerCounterStatus& s = out[i];
        s.Mode = std::to_string(mode) + " / " + (bcd ? "BCD" : "BIN") + " / " +
                 kFormats[(control >> 4) & 3];
        // A BCD count reads as decimal digits, so it goes without the hexadecimal sign.
        const std::string sign = bcd ? "" : "#";
        s.Preset = sign + Hex(k.CountRegister, 4);
        s.Count = sign + Hex(k.Counter, 4);
        s.Signals = std::string(Level(k.Gate)) + " / " + Level(k.Clock) + " / " + Level(k.Out);
    }
    return out;
}

UsartStatus DecodeUsartStatus(const ChipUSART8251::State& u) {
    const uint8_t mode = u.ModeWord;
    const uint8_t command = u.CommandWord;
    UsartStatus s;
    s.Synchronous = (mode & 3) == 0;
    s.ReceiverEnabled = command & 0x04;
    s.TransmitterEnabled = command & 0x01;
    s.Mode = s.Synchronous ? "Synchronous" : "Asynchronous";

    const int charLength = ((mode >> 2) & 3) + 5;
    s.Format = std::to_string(charLength);
    s.Format += !(mode & 0x10) ? "N" : (mode & 0x20) ? "E" : "O";
    if (!s.Synchronous) {
        static const char* const kStops[] = {"?", "1", "1.5", "2"};
        s.Format += kStops[mode >> 6];
        static const char* const kFactors[] = {"", "1", "16", "64"};
        s.Factor = kFactors[mode & 3];
    } else {
        s.SyncMode = mode & 0x40 ? "External" : "Internal";
        s.SyncChars = "#" + Hex(u.SyncChar1, 2);
        if (!(mode & 0x80)) s.SyncChars += " #" + Hex(u.SyncChar2, 2);
    }
    s.Receiver = s.ReceiverEnabled ? "Enabled" : "Disabled";
    s.Transmitter = s.TransmitterEnabled ? "Enabled" : "Disabled";
    // The modem pins are active low: a command bit set drives its pin to 0.
    s.RtsCts = std::string("/RTS=") + (command & 0x20 ? "0" : "1") + "  /CTS=" + Level(u.CtsPin);
    s.DtrDsr = std::string("/DTR=") + (command & 0x02 ? "0" : "1") + "  /DSR=" + Level(u.DsrPin);
    s.Errors = std::string("PE=") + Level(u.ParityError) + "   OE=" + Level(u.OverrunError) +
               "   FE=" + Level(u.FramingError);
    s.RxReady = std::string("RxR=") + Level(u.RxReady);
    // TxRDY as the status register and the pin give it: a character may be written now.
    s.TxReady =
        std::string("TxR=") + Level(ChipUSART8251::TxReadyPinOf(u)) + "   TxE=" + Level(u.TxEmpty);
    s.SynBrk =
        std::string(s.Synchronous ? "SYN=" : "BRK=") + Level(u.SyncMode ? u.SynDet : u.BreakDetect);
    s.TxChar = "#" + Hex(u.TxChar, 2);
    s.RxChar = "#" + Hex(u.RxChar, 2);
    s.TxShift = Shift(u.TxShift, u.TxBitsLeft, charLength);
    s.RxShift = Shift(u.RxShift, u.RxBitsLeft, charLength);
    return s;
}

std::vector<RegisterLine> FormatRegisterList(const RegisterList& registers) {
    std::vector<RegisterLine> lines;
    for (const RegisterView& r : registers) {
        std::string value;
        if (r.bits <= 4) {
            value = Hex(r.value, 1);
        } else {
            value = "#" + Hex(r.value, (r.bits + 3) / 4);
            // A port's byte is read bit by bit against the pins it drives.
            if (r.bits == 8) {
                value += ' ';
                for (int bit = 7; bit >= 0; --bit) value += Level((r.value >> bit) & 1);
            }
        }
        lines.push_back({std::string(r.name) + ":", value});
    }
    return lines;
}

std::string DescribePioControl(uint8_t control) {
    const auto direction = [&](int bit) { return (control >> bit) & 1 ? "in" : "out"; };
    // A mode of 3 in the group A bits is the 8255's alias of mode 2.
    const int modeA = std::min((control >> 5) & 3, 2);
    // Mode 2 is port A both ways; its direction bit means nothing then.
    const std::string sideA = modeA == 2 ? "in/out" : direction(4);
    return "A mode " + std::to_string(modeA) + " " + sideA + ", B mode " +
           std::to_string((control >> 2) & 1) + " " + direction(1) + ", C " + direction(3) + "/" +
           direction(0);
}

}  // namespace debugger
