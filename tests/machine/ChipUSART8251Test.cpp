#include <gtest/gtest.h>

#include <vector>

#include "machine/ChipUSART8251.h"

namespace {

using Usart = ChipUSART8251;

class ChipUSART8251Test : public ::testing::Test {
  protected:
    ChipUSART8251Test() { usart.SetCts(0); }

    void Async(uint8_t mode, uint8_t command = 0x15) {
        usart.WriteControl(mode);
        usart.WriteControl(command);
        usart.SetCts(0);
    }
    // One transmitter clock cycle; returns TxD after the falling edge.
    int TxCycle() {
        usart.TxClockEdge(1);
        usart.TxClockEdge(0);
        return usart.GetState().TxD;
    }
    // Drives RxD with `level` for `cycles` receiver clock cycles.
    void RxFor(int level, int cycles) {
        usart.SetRxD(static_cast<uint8_t>(level));
        for (int i = 0; i < cycles; ++i) {
            usart.RxClockEdge(0);
            usart.RxClockEdge(1);
        }
    }
    // A ×1 frame: start bit, data bits lowest first, optional parity bit, stop level.
    void RxFrame(int value, int bits, int parityBit, int stopLevel) {
        RxFor(0, 1);
        for (int i = 0; i < bits; ++i) RxFor((value >> i) & 1, 1);
        if (parityBit >= 0) RxFor(parityBit, 1);
        RxFor(stopLevel, 1);
        RxFor(1, 2);
    }

    Usart usart;
};

TEST_F(ChipUSART8251Test, BeforeTheModeInstructionEverythingIsQuietAndDefined) {
    EXPECT_EQ(usart.ReadStatus(), 0x00);
    EXPECT_EQ(usart.GetState().TxD, 1);
    EXPECT_EQ(usart.GetState().RxD, 1);
    usart.WriteData(0x55);  // ignored until the mode and command are written
    EXPECT_EQ(usart.GetState().TxChar, 0);
    usart.WriteControl(0x4E);
    EXPECT_EQ(usart.GetState().WriteState, 3);
    usart.WriteData(0x55);
    EXPECT_EQ(usart.GetState().TxChar, 0x55);
}

TEST_F(ChipUSART8251Test, ByteLeavesAtTheNextDividerExpiryWithSixteenEdgesPerBit) {
    Async(0x4E);                             // ×16, 8 bits, no parity, 1 stop bit
    for (int i = 0; i < 40; ++i) TxCycle();  // idle
    usart.WriteData(0xA5);
    std::vector<int> line;
    for (int i = 0; i < 16 * 12; ++i) line.push_back(TxCycle());
    // The first expiry comes within 16 edges; from there every bit lasts 16.
    size_t start = 0;
    while (start < line.size() && line[start] == 1) ++start;
    ASSERT_LT(start, 16u);
    const int expected[10] = {0, 1, 0, 1, 0, 0, 1, 0, 1, 1};  // start, A5 lowest first, stop
    for (int bit = 0; bit < 10; ++bit) {
        for (int edge = 0; edge < 16; ++edge) {
            ASSERT_EQ(line[start + bit * 16 + edge], expected[bit]) << "bit " << bit;
        }
    }
    EXPECT_EQ(usart.GetState().TxEmpty, 1);
}

TEST_F(ChipUSART8251Test, DisabledTransmitterKeepsTheCharacter) {
    Async(0x4D, 0x14);  // ×1, TxEN off
    usart.WriteData(0x0F);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(TxCycle(), 1);
    usart.WriteControl(0x15);
    usart.SetCts(0);
    std::vector<int> line;
    for (int i = 0; i < 4; ++i) line.push_back(TxCycle());
    EXPECT_EQ(line, (std::vector<int>{0, 1, 1, 1}));
}

TEST_F(ChipUSART8251Test, SendBreakHoldsTheLineLowUntilCleared) {
    Async(0x4D);
    usart.WriteControl(0x1D);
    EXPECT_EQ(usart.GetState().TxD, 0);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(TxCycle(), 0);
    usart.WriteControl(0x15);
    EXPECT_EQ(usart.GetState().TxD, 1);
}

TEST_F(ChipUSART8251Test, ReceiverFlagsParityFramingOverrunAndBreak) {
    Async(0x79);             // ×1, 7 bits, even parity, 1 stop
    RxFrame(0x41, 7, 1, 1);  // 0x41 has two ones: even parity bit 0, so 1 is wrong
    EXPECT_EQ(usart.ReadStatus() & 0x3A, 0x0A);  // RxRDY and PE
    EXPECT_EQ(usart.ReadData(), 0x41);
    usart.WriteControl(0x15);  // ER clears the error flags
    EXPECT_EQ(usart.ReadStatus() & 0x38, 0);

    RxFrame(0x12, 7, 0, 1);
    RxFrame(0x13, 7, 1, 1);  // arrives before the first is read
    EXPECT_EQ(usart.ReadStatus() & 0x10, 0x10);
    EXPECT_EQ(usart.ReadData(), 0x13);
    EXPECT_EQ(usart.ReadData(), 0xFF);  // nothing more: 0xFF, nothing changes
    EXPECT_EQ(usart.ReadStatus() & 0x02, 0);

    RxFrame(0x00, 7, 0, 0);  // stop bit low
    EXPECT_EQ(usart.ReadStatus() & 0x20, 0x20);
    EXPECT_EQ(usart.GetState().BreakDetect, 0);
    RxFor(0, 30);  // the line stays low: a second framing error is a break
    EXPECT_EQ(usart.ReadStatus() & 0x40, 0x40);
    RxFor(1, 1);
    EXPECT_EQ(usart.ReadStatus() & 0x40, 0);
}

TEST_F(ChipUSART8251Test, InternalResetReturnsToTheModeInstruction) {
    Async(0x4E, 0x27);
    usart.WriteControl(0x40);
    EXPECT_EQ(usart.GetState().WriteState, 0);
    EXPECT_EQ(usart.GetState().CommandWord, 0x40);
    EXPECT_EQ(usart.GetState().TxReady, 1);  // flags keep their values
    usart.WriteData(0x77);
    EXPECT_NE(usart.GetState().TxChar, 0x77);
}

TEST_F(ChipUSART8251Test, SyncDetectIsClearedByTheStatusReadThatShowsIt) {
    usart.WriteControl(0x8C);  // sync, 8 bits, single sync
    usart.WriteControl(0x16);
    usart.WriteControl(0x84);  // RxE, hunt
    for (int bit = 0; bit < 8; ++bit) RxFor((0x16 >> bit) & 1, 1);
    EXPECT_EQ(usart.ReadStatus() & 0x40, 0x40);
    EXPECT_EQ(usart.ReadStatus() & 0x40, 0);
    EXPECT_EQ(usart.GetState().RxState, Usart::kRxData);
}

TEST_F(ChipUSART8251Test, WholeBytesBypassTheBitEngines) {
    Async(0x4E);
    usart.PutReceivedByte(0x99);
    EXPECT_EQ(usart.ReadData(), 0x99);

    EXPECT_EQ(usart.TakeTransmitByte(), 0);  // nothing waiting
    usart.WriteData(0x31);
    EXPECT_EQ(usart.TakeTransmitByte(), 0x31);  // peeked: still waiting
    EXPECT_EQ(usart.GetState().TxReady, 0);
    usart.SetParallelTx(1);
    EXPECT_EQ(usart.TakeTransmitByte(), 0x31);
    EXPECT_EQ(usart.GetState().TxReady, 1);
    EXPECT_EQ(usart.GetState().TxEmpty, 1);
}

TEST_F(ChipUSART8251Test, SynchronousSetUpFillsTheLineWithTheFirstSyncCharacter) {
    usart.WriteControl(0x1C);
    usart.WriteControl(0x16);
    usart.WriteControl(0x17);
    usart.WriteControl(0x05);
    usart.SetCts(0);
    usart.SetDsr(0);
    const ChipUSART8251::State& s = usart.GetState();
    EXPECT_EQ(s.ModeWord, 0x1C);
    EXPECT_EQ(s.SyncChar1, 0x16);
    EXPECT_EQ(s.SyncChar2, 0x17);
    EXPECT_EQ(s.CommandWord, 0x05);
    EXPECT_TRUE(usart.TxReadyPin());
    EXPECT_EQ(s.TxEmpty, 1);
    EXPECT_EQ(s.DsrPin, 0);
    EXPECT_EQ(s.TxShift, 0x16);  // the fill sync character in the shift register
    EXPECT_EQ(s.TxBitsLeft, 8);
}

}  // namespace
