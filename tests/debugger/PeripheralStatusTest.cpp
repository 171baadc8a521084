#include <gtest/gtest.h>

#include "debugger/PeripheralStatus.h"
#include "machine/ChipICU3214.h"
#include "machine/ChipPIO8255.h"

using debugger::DecodeTimerStatus;
using debugger::DecodeUsartStatus;

TEST(PeripheralStatus, TimerCountersShowModeFormatCountsAndPins) {
    std::array<ChipPIT8253::CounterState, 3> k{};
    k[0].Control = 0x3E;  // both bytes, mode 7 (an alias of 3), binary
    k[0].CountRegister = 0x1234, k[0].Counter = 0xABCD;
    k[0].Out = 1, k[0].Gate = 1, k[0].Clock = 0;
    k[1].Control = 0x11;  // LSB only, mode 0, BCD
    k[1].CountRegister = 0x0099, k[1].Counter = 0x0099;
    k[1].Out = 0, k[1].Gate = 0, k[1].Clock = 1;
    k[2].Control = 0x0C;  // latch, mode 6 (an alias of 2)
    auto s = DecodeTimerStatus(k);
    EXPECT_EQ(s[0].Mode, "3 / BIN / BOTH");
    EXPECT_EQ(s[0].Preset, "#1234");
    EXPECT_EQ(s[0].Count, "#ABCD");
    EXPECT_EQ(s[0].Signals, "1 / 0 / 1");
    EXPECT_EQ(s[1].Mode, "0 / BCD / LSB");
    EXPECT_EQ(s[1].Count, "0099");
    EXPECT_EQ(s[1].Signals, "0 / 1 / 0");
    EXPECT_EQ(s[2].Mode, "2 / BIN / CAP");
}

TEST(PeripheralStatus, UsartAsynchronousAndSynchronousModes) {
    ChipUSART8251::State u;
    u.ModeWord = 0x4E;     // 1 stop bit, no parity, 8 bits, factor 16
    u.CommandWord = 0x27;  // RTS, receiver and transmitter on, DTR
    u.SyncMode = 0;
    u.TxReady = 1, u.CtsPin = 0;  // TxRDY: a character may be written, CTS asserted
    u.TxEmpty = 1, u.ParityError = 1, u.BreakDetect = 1, u.DsrPin = 0;
    u.TxChar = 0x41, u.TxShift = 0x42, u.TxBitsLeft = 3;
    u.RxChar = 0x0D, u.RxShift = 0x80, u.RxBitsLeft = 0;
    auto a = DecodeUsartStatus(u);
    EXPECT_FALSE(a.Synchronous);
    EXPECT_EQ(a.Mode, "Asynchronous");
    EXPECT_EQ(a.Format, "8N1");
    EXPECT_EQ(a.Factor, "16");
    EXPECT_TRUE(a.ReceiverEnabled && a.TransmitterEnabled);
    EXPECT_EQ(a.RtsCts, "/RTS=0  /CTS=0");
    EXPECT_EQ(a.DtrDsr, "/DTR=0  /DSR=0");
    EXPECT_EQ(a.Errors, "PE=1   OE=0   FE=0");
    EXPECT_EQ(a.TxReady, "TxR=1   TxE=1");
    EXPECT_EQ(a.RxReady, "RxR=0");
    EXPECT_EQ(a.SynBrk, "BRK=1");
    EXPECT_EQ(a.TxChar, "#41");
    EXPECT_EQ(a.TxShift, "#42/5");  // 8 bits, 3 still to go
    EXPECT_EQ(a.RxShift, "#80/-");

    u.ModeWord = 0x1C, u.SyncChar1 = 0x16, u.SyncChar2 = 0x7E, u.CommandWord = 0;
    u.SyncMode = 1, u.SynDet = 1, u.CtsPin = 1;  // synchronous, 8 bits, odd parity, 2 syncs
    auto s = DecodeUsartStatus(u);
    EXPECT_TRUE(s.Synchronous);
    EXPECT_EQ(s.Format, "8O");
    EXPECT_EQ(s.SyncMode, "Internal");
    EXPECT_EQ(s.SyncChars, "#16 #7E");
    EXPECT_EQ(s.SynBrk, "SYN=1");
    EXPECT_EQ(s.Receiver, "Disabled");
    EXPECT_EQ(s.RtsCts, "/RTS=1  /CTS=1");
    u.ModeWord = 0xF8 | 0x20;  // one external sync character, even parity, 7 bits
    auto e = DecodeUsartStatus(u);
    EXPECT_EQ(e.Format, "7E");
    EXPECT_EQ(e.SyncMode, "External");
    EXPECT_EQ(e.SyncChars, "#16");
}

// The 8255s and the 3214 list their own registers; the window shows the list as it comes.
TEST(PeripheralStatus, ParallelPortsAndInterruptUnitDescribeThemselves) {
    ChipPIO8255 pio;
    pio.ResetChip(true);
    pio.WritePort(ChipPIO8255::kControl, 0x82);  // A mode 0 out, B mode 0 in, C out/out
    pio.WritePort(ChipPIO8255::kPortA, 0x5A);
    pio.WritePort(ChipPIO8255::kControl, 0x07);  // set PC3
    pio.SetInputs(ChipPIO8255::kPortB, 0x81);
    const std::vector<debugger::RegisterLine> lines = debugger::FormatRegisterList(pio.Registers());
    auto value = [&](const std::vector<debugger::RegisterLine>& list, const std::string& name) {
        for (const auto& line : list) {
            if (line.Name == name) return line.Value;
        }
        return std::string("(missing)");
    };
    EXPECT_EQ(value(lines, "Control:"), "#82 10000010");
    EXPECT_EQ(value(lines, "A out:"), "#5A 01011010");
    EXPECT_EQ(value(lines, "B pins:"), "#81 10000001");
    EXPECT_EQ(value(lines, "C out:"), "#08 00001000");
    EXPECT_EQ(value(lines, "INTE B:"), "0");
    EXPECT_EQ(debugger::DescribePioControl(0x82), "A mode 0 out, B mode 0 in, C out/out");
    EXPECT_EQ(debugger::DescribePioControl(0x9B), "A mode 0 in, B mode 0 in, C in/in");
    // Group A in mode 2 (a written 11 is its alias), B in mode 1 output, C's halves apart.
    EXPECT_EQ(debugger::DescribePioControl(0xE5), "A mode 2 in/out, B mode 1 out, C out/in");

    ChipICU3214 icu;
    icu.SetRequest(5, 1);
    icu.WriteStatus(3, 0);
    icu.SetEnableGroup(1);
    const std::vector<debugger::RegisterLine> unit = debugger::FormatRegisterList(icu.Registers());
    EXPECT_EQ(value(unit, "Status:"), "3");
    EXPECT_EQ(value(unit, "Requests:"), "#04 00000100") << "level n is bit 7 - n";
    EXPECT_EQ(value(unit, "Level:"), "5");
    EXPECT_EQ(value(unit, "Pending:"), "1");
    EXPECT_EQ(value(unit, "Disabled:"), "0") << "the status write enables the unit";
    EXPECT_EQ(value(unit, "ENLG:"), "1");
    EXPECT_EQ(value(unit, "INT:"), "0");
}
