#include <gtest/gtest.h>

#include <vector>

#include "machine/ChipPIO8255.h"

namespace {

using Pio = ChipPIO8255;

struct PortCLog {
    std::vector<std::pair<uint8_t, uint8_t>> upper, lower, whole;
    static void Upper(void* c, uint8_t o, uint8_t n) {
        static_cast<PortCLog*>(c)->upper.push_back({o, n});
    }
    static void Lower(void* c, uint8_t o, uint8_t n) {
        static_cast<PortCLog*>(c)->lower.push_back({o, n});
    }
    static void Whole(void* c, uint8_t o, uint8_t n) {
        static_cast<PortCLog*>(c)->whole.push_back({o, n});
    }
};

class ChipPIO8255Test : public ::testing::Test {
  protected:
    void SetUp() override {
        pio.ResetChip(true);
        pio.SetOnPortCUpperChanged(Pio::PortCChange(&PortCLog::Upper, &log));
        pio.SetOnPortCLowerChanged(Pio::PortCChange(&PortCLog::Lower, &log));
    }
    Pio pio;
    PortCLog log;
};

TEST_F(ChipPIO8255Test, ResetLeavesAllPortsReadingTheirPins) {
    EXPECT_EQ(pio.ReadPort(Pio::kControl, 0), 0x9B);
    pio.SetInputs(Pio::kPortA, 0x12);
    pio.SetInputs(Pio::kPortB, 0x34);
    pio.SetInputs(Pio::kPortC, 0x56);
    EXPECT_EQ(pio.ReadPort(Pio::kPortA, 0), 0x12);
    EXPECT_EQ(pio.ReadPort(Pio::kPortB, 0), 0x34);
    EXPECT_EQ(pio.ReadPort(Pio::kPortC, 0), 0x56);
    // Writes to input ports only load the latches; nothing reaches the pins.
    pio.WritePort(Pio::kPortA, 0xFF);
    EXPECT_EQ(pio.OutputLevels(Pio::kPortA), 0x12);
}

TEST_F(ChipPIO8255Test, AllOutputModeDrivesLatchesAndReportsPortCByNibble) {
    pio.WritePort(Pio::kControl, 0x80);
    // A mode set counts every bit of port C as changed.
    ASSERT_EQ(log.upper.size(), 1u);
    ASSERT_EQ(log.lower.size(), 1u);
    log = {};
    pio.WritePort(Pio::kPortC, 0x5A);
    EXPECT_EQ(pio.GetState().OutC, 0x5A);
    EXPECT_EQ(log.upper.size(), 1u);
    EXPECT_EQ(log.lower.size(), 1u);
    EXPECT_EQ(pio.OutputLevels(Pio::kPortC), 0x5A);
    pio.WritePort(Pio::kPortC, 0x5B);  // lower nibble only
    EXPECT_EQ(log.upper.size(), 1u);
    EXPECT_EQ(log.lower.size(), 2u);
    // Port A in mode 0 output reads latch AND pins; the mode set left the pins high.
    pio.WritePort(Pio::kPortA, 0xC3);
    EXPECT_EQ(pio.ReadPort(Pio::kPortA, 0), 0xC3);
    pio.SetInputs(Pio::kPortA, 0x0F);
    EXPECT_EQ(pio.ReadPort(Pio::kPortA, 0), 0x03);
    // Port B returns the latch alone.
    pio.WritePort(Pio::kPortB, 0x77);
    pio.SetInputs(Pio::kPortB, 0x00);
    EXPECT_EQ(pio.ReadPort(Pio::kPortB, 0), 0x77);
}

TEST_F(ChipPIO8255Test, BitSetResetTouchesOnlyOutputBits) {
    pio.WritePort(Pio::kControl, 0x81);  // lower C input, upper C output
    log = {};
    pio.WritePort(Pio::kControl, 0x05);  // set PC2: an input, ignored
    EXPECT_EQ(pio.GetState().OutC, 0x00);
    EXPECT_TRUE(log.lower.empty());
    pio.WritePort(Pio::kControl, 0x0B);  // set PC5
    EXPECT_EQ(pio.GetState().OutC, 0x20);
    EXPECT_EQ(log.upper.size(), 1u);
    pio.WritePort(Pio::kControl, 0x0A);  // reset PC5
    EXPECT_EQ(pio.GetState().OutC, 0x00);
    // Port C write with only the upper nibble an output keeps the lower latch bits.
    pio.WritePort(Pio::kPortC, 0xFF);
    EXPECT_EQ(pio.GetState().OutC, 0xF0);
}

TEST_F(ChipPIO8255Test, ModeBitsElevenAreStoredAsModeTwo) {
    pio.WritePort(Pio::kControl, 0xE0);
    EXPECT_EQ(pio.ReadPort(Pio::kControl, 0), 0xC0);
    EXPECT_EQ(pio.GroupAMode(), 2);
}

TEST_F(ChipPIO8255Test, Mode1InputStrobeLatchesAndReadClearsIbfAndIntr) {
    pio.WritePort(Pio::kControl, 0xB0);  // group A mode 1 input
    pio.WritePort(Pio::kControl, 0x09);  // INTE A (PC4) on
    pio.SetInputPin(Pio::kPortC, 4, 1);
    pio.SetInputs(Pio::kPortA, 0xA5);
    pio.SetInputPin(Pio::kPortC, 4, 0);  // /STB A falls: latch
    pio.SetInputs(Pio::kPortA, 0x00);
    EXPECT_TRUE(pio.GetState().OutC & Pio::kIbfA);
    EXPECT_FALSE(pio.GetState().OutC & Pio::kIntrA);
    pio.SetInputPin(Pio::kPortC, 4, 1);  // rising: INTR with INTE and IBF
    EXPECT_TRUE(pio.GetState().OutC & Pio::kIntrA);
    // Port C read shows INTR A, INTE A and IBF A in bits 3-5.
    EXPECT_EQ(pio.ReadPort(Pio::kPortC, 0) & 0xF8, 0x38);
    EXPECT_EQ(pio.ReadPort(Pio::kPortA, 0), 0xA5);
    EXPECT_FALSE(pio.GetState().OutC & (Pio::kIbfA | Pio::kIntrA));
    EXPECT_EQ(pio.ReadPort(Pio::kPortC, 0) & 0xF8, 0x10);
}

TEST_F(ChipPIO8255Test, Mode1OutputHandshakeRunsThroughObfAndAck) {
    pio.WritePort(Pio::kControl, 0xA0);  // group A mode 1 output
    pio.SetInputPin(Pio::kPortC, 6, 1);
    pio.WritePort(Pio::kControl, 0x0D);              // INTE A (PC6) on
    EXPECT_TRUE(pio.GetState().OutC & Pio::kIntrA);  // buffer empty, ACK high
    pio.WritePort(Pio::kPortA, 0x42);
    EXPECT_FALSE(pio.GetState().OutC & Pio::kObfA);  // /OBF A active (low)
    EXPECT_FALSE(pio.GetState().OutC & Pio::kIntrA);
    EXPECT_EQ(pio.OutputLevels(Pio::kPortA), 0x42);
    pio.SetInputPin(Pio::kPortC, 6, 0);
    EXPECT_TRUE(pio.GetState().OutC & Pio::kObfA);
    pio.SetInputPin(Pio::kPortC, 6, 1);
    EXPECT_TRUE(pio.GetState().OutC & Pio::kIntrA);
    EXPECT_EQ(pio.ReadPort(Pio::kPortC, 0) & 0xF8, 0xC8);
}

TEST_F(ChipPIO8255Test, Mode1PortBInputUsesPc2Strobe) {
    pio.WritePort(Pio::kControl, 0x86);  // group B mode 1 input
    pio.WritePort(Pio::kControl, 0x05);  // INTE B
    pio.SetInputPin(Pio::kPortC, 2, 1);
    pio.SetInputs(Pio::kPortB, 0x3C);
    pio.SetInputPin(Pio::kPortC, 2, 0);
    pio.SetInputPin(Pio::kPortC, 2, 1);
    EXPECT_EQ(pio.ReadPort(Pio::kPortC, 0) & 0x07, 0x07);  // INTR B, IBF B, INTE B
    EXPECT_EQ(pio.ReadPort(Pio::kPortB, 0), 0x3C);
    EXPECT_EQ(pio.ReadPort(Pio::kPortC, 0) & 0x07, 0x04);
}

TEST_F(ChipPIO8255Test, Mode2BusDrivesLatchOnlyDuringAck) {
    pio.WritePort(Pio::kControl, 0xC0);
    pio.SetInputs(Pio::kPortC, 0xFF);
    pio.WritePort(Pio::kPortA, 0x99);
    EXPECT_EQ(pio.OutputLevels(Pio::kPortA), 0xFF);
    pio.SetInputPin(Pio::kPortC, 6, 0);
    EXPECT_EQ(pio.OutputLevels(Pio::kPortA), 0x99);
    pio.SetInputPin(Pio::kPortC, 6, 1);
    pio.SetInputs(Pio::kPortA, 0x11);
    pio.SetInputPin(Pio::kPortC, 4, 0);
    EXPECT_EQ(pio.OutputLevels(Pio::kPortA), 0x11);
    pio.SetInputPin(Pio::kPortC, 4, 1);
    EXPECT_EQ(pio.ReadPort(Pio::kPortA, 0), 0x11);
}

TEST_F(ChipPIO8255Test, WholePortCCallbackReplacesTheNibbleOnes) {
    PortCLog whole;
    Pio::PortCChange previous = pio.SetOnPortCChanged(Pio::PortCChange(&PortCLog::Whole, &whole));
    EXPECT_FALSE(previous);
    log = {};
    pio.WritePort(Pio::kControl, 0x80);
    pio.WritePort(Pio::kPortC, 0x81);
    EXPECT_EQ(whole.whole.size(), 2u);
    EXPECT_EQ(whole.whole.back(), (std::pair<uint8_t, uint8_t>{0x00, 0x81}));
    EXPECT_TRUE(log.upper.empty());
    EXPECT_TRUE(log.lower.empty());
}

TEST_F(ChipPIO8255Test, ReadCallbacksRefreshInputPinsBeforeTheRead) {
    struct Feeder {
        Pio* pio;
        int32_t seenTicks = -1;
        void Refresh(int32_t ticks) {
            seenTicks = ticks;
            pio->SetInputs(Pio::kPortB, 0x5A);
        }
    } feeder{&pio};
    pio.SetOnPortBRead(Pio::ReadNotify::Bind<&Feeder::Refresh>(&feeder));
    EXPECT_EQ(pio.ReadPort(Pio::kPortB, 1234), 0x5A);
    EXPECT_EQ(feeder.seenTicks, 1234);
    // An output port is not refreshed.
    feeder.seenTicks = -1;
    pio.WritePort(Pio::kControl, 0x80);
    pio.ReadPort(Pio::kPortB, 5);
    EXPECT_EQ(feeder.seenTicks, -1);
}

}  // namespace
