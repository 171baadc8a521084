#include <gtest/gtest.h>

#include "debugger/PeripheralStatus.h"
#include "machine/ChipICU3214.h"
#include "machine/ChipPIO8255.h"

using debugger::DecodeTimerStatus;
using debugger::DecodeUsartStatus;

TEST(PeripheralStatus, TimerCountersShowModeFormatCountsAndPins) {
    std::array<uint8_t, 18> b{};
    b[0] = 0x3E;  // counter 0: both bytes, mode 7 (an alias of 3), binary
    b[1] = 0x34, b[2] = 0x12, b[9] = 0xCD, b[10] = 0xAB, b[15] = 0xA0;
    b[3] = 0x11;  // counter 1: LSB only, mode 0, BCD
    b[4] = 0x99, b[5] = 0x00, b[11] = 0x99, b[12] = 0x00, b[16] = 0x10;
    b[6] = 0x0C;  // counter 2: latch, mode 6 (an alias of 2)
    auto s = DecodeTimerStatus(b);
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
    std::array<uint8_t, 12> b{};
    b[0] = 0x4E;  // 1 stop bit, no parity, 8 bits, factor 16
    b[3] = 0x27;  // RTS, receiver and transmitter on, DTR
    b[4] = 0x85 | 0x08 | 0x40;
    b[5] = 1;
    b[6] = 0x41, b[7] = 0x42, b[8] = 3, b[9] = 0x0D, b[10] = 0x80, b[11] = 0;
    auto a = DecodeUsartStatus(b);
    EXPECT_FALSE(a.Synchronous);
    EXPECT_EQ(a.Mode, "Asynchronous");
    EXPECT_EQ(a.Format, "8N1");
    EXPECT_EQ(a.Factor, "16");
    EXPECT_TRUE(a.ReceiverEnabled && a.TransmitterEnabled);
    EXPECT_EQ(a.RtsCts, "/RTS=0  /CTS=1");
    EXPECT_EQ(a.DtrDsr, "/DTR=0  /DSR=0");
    EXPECT_EQ(a.Errors, "PE=1   OE=0   FE=0");
    EXPECT_EQ(a.TxReady, "TxR=1   TxE=1");
    EXPECT_EQ(a.RxReady, "RxR=0");
    EXPECT_EQ(a.SynBrk, "BRK=1");
    EXPECT_EQ(a.TxChar, "#41");
    EXPECT_EQ(a.TxShift, "#42/5");  // 8 bits, 3 still to go
    EXPECT_EQ(a.RxShift, "#80/-");

    b[0] = 0x1C, b[1] = 0x16, b[2] = 0x7E, b[3] = 0;  // synchronous, 8 bits, odd parity, 2 syncs
    auto s = DecodeUsartStatus(b);
    EXPECT_TRUE(s.Synchronous);
    EXPECT_EQ(s.Format, "8O");
    EXPECT_EQ(s.SyncMode, "Internal");
    EXPECT_EQ(s.SyncChars, "#16 #7E");
    EXPECT_EQ(s.SynBrk, "SYN=1");
    EXPECT_EQ(s.Receiver, "Disabled");
    EXPECT_EQ(s.RtsCts, "/RTS=1  /CTS=1");
    b[0] = 0xF8 | 0x20;  // one external sync character, even parity, 7 bits
    auto e = DecodeUsartStatus(b);
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
