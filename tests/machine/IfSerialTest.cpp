#include <gtest/gtest.h>

#include <vector>

#include "machine/IfInterrupt.h"
#include "machine/IfSerial.h"

namespace {

struct LineProbe {
    std::vector<int> resets, txReady, clocks;
    int ticks = 0;
    void Reset(IfSerial*) { resets.push_back(1); }
    void TxReady(IfSerial* serial) { txReady.push_back(serial->TxReadyPin()); }
    void Tick(IfSerial*, int32_t, int32_t n) { ticks += n; }
    void Clock(IfSerial*, uint8_t level) { clocks.push_back(level); }
    IfSerial::LineHandlers Handlers() {
        return {IfSerial::LineNotify::Bind<&LineProbe::Reset>(this),
                IfSerial::LineNotify::Bind<&LineProbe::TxReady>(this),
                IfSerial::LineTick::Bind<&LineProbe::Tick>(this),
                IfSerial::LineClock::Bind<&LineProbe::Clock>(this),
                {},
                {}};
    }
};

class IfSerialTest : public ::testing::Test {
  protected:
    IfSerialTest() {
        for (int line = 0; line < 4; ++line) serial.SetLineHandlers(line, probes[line].Handlers());
    }
    IfInterrupt interrupts;
    IfSerial serial{&interrupts};
    LineProbe probes[4];
};

TEST_F(IfSerialTest, DtrAndRtsSelectTheLine) {
    EXPECT_EQ(serial.SelectedLine(), 3);
    serial.PortWrite(0xC9, 0x4E, 0);
    serial.PortWrite(0xC9, 0x27, 0);  // TxEN, DTR, RxE, RTS: the tape
    EXPECT_EQ(serial.SelectedLine(), 0);
    serial.PortWrite(0xCB, 0x40, 0);  // internal reset through the mirror port: no reselection
    EXPECT_EQ(serial.SelectedLine(), 0);
    serial.PortWrite(0xC9, 0x4E, 0);
    serial.PortWrite(0xC9, 0x05, 0);
    EXPECT_EQ(serial.SelectedLine(), 3);
    serial.PortWrite(0xC9, 0x07, 0);
    EXPECT_EQ(serial.SelectedLine(), 1);
    serial.PortWrite(0xC9, 0x25, 0);
    EXPECT_EQ(serial.SelectedLine(), 2);
}

TEST_F(IfSerialTest, OnlyTheSelectedLineHearsTicksAndTransmitterChanges) {
    serial.PortWrite(0xC9, 0x4E, 0);
    serial.PortWrite(0xC9, 0x27, 0);
    serial.OnTick(100, 7);
    serial.PortWrite(0xC8, 0x41, 0);
    EXPECT_EQ(probes[0].ticks, 7);
    EXPECT_EQ(probes[3].ticks, 0);
    ASSERT_EQ(probes[0].txReady.size(), 1u);
    EXPECT_EQ(probes[0].txReady[0], 0);  // a byte now waits
    EXPECT_TRUE(probes[3].txReady.empty());
}

TEST_F(IfSerialTest, TimerClocksTheReceiverOnlyOnLines2And3) {
    serial.PortWrite(0xC9, 0x4D, 0);
    serial.PortWrite(0xC9, 0x27, 0);  // line 0: the tape clocks the receiver itself
    serial.SetRxD(0);
    for (int i = 0; i < 4; ++i) {
        serial.TimerOutput(1);
        serial.TimerOutput(0);
    }
    EXPECT_TRUE(probes[0].clocks.empty());
    EXPECT_EQ(serial.Chip().GetState().RxState, ChipUSART8251::kRxStart);
    serial.PortWrite(0xC9, 0x05, 0);  // line 3
    serial.TimerOutput(0);
    serial.TimerOutput(1);
    EXPECT_EQ(probes[3].clocks, (std::vector<int>{0, 1}));
    EXPECT_EQ(serial.Chip().GetState().RxState, ChipUSART8251::kRxData);
    // Clock handlers cannot be put on lines 0 and 1.
    EXPECT_FALSE(serial.SetLineClockHandler(1, probes[1].Handlers().OnClock));
    EXPECT_FALSE(serial.SetLineTickHandler(4, {}));
}

TEST_F(IfSerialTest, ResetTellsEveryLineAndAwaitsAModeInstruction) {
    serial.PortWrite(0xC9, 0x4E, 0);
    serial.Reset(0);
    for (const LineProbe& probe : probes) EXPECT_EQ(probe.resets.size(), 1u);
    EXPECT_EQ(serial.Chip().GetState().WriteState, 0);
    EXPECT_EQ(serial.PortRead(0xCC, 0), 0xFF);
}

TEST_F(IfSerialTest, InterruptLinesFollowTxRdyAndRxRdy) {
    interrupts.PortWrite(0xD4, 0xC7, 0);  // lines 0 and 1 enabled
    serial.PortWrite(0xC9, 0x4E, 0);
    serial.PortWrite(0xC9, 0x04, 0);  // transmitter disabled: TxRDY low
    EXPECT_EQ(interrupts.Chip().GetState().Requests & 0x80, 0);
    serial.PortWrite(0xC9, 0x05, 0);  // enabling it with an empty buffer raises TxRDY
    EXPECT_EQ(interrupts.Chip().GetState().Requests & 0x80, 0x80);
    serial.PortWrite(0xC8, 0x00, 0);
    EXPECT_EQ(interrupts.Chip().GetState().Requests & 0x80, 0);
    serial.PutReceivedByte(0x42);
    EXPECT_EQ(interrupts.Chip().GetState().Requests & 0x40, 0x40);
    // A new mode instruction drops RxRDY; the request goes with it.
    serial.PortWrite(0xC9, 0x40, 0);
    serial.PortWrite(0xC9, 0x4E, 0);
    EXPECT_EQ(interrupts.Chip().GetState().Requests & 0x40, 0);
}

}  // namespace
