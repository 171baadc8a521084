#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "machine/ChipSAA1099.h"
#include "machine/IfGPIO.h"
#include "machine/Muse.h"
#include "support/CpuFixture.h"
#include "support/SignalAnalysis.h"

namespace {

class MuseTest : public ::testing::Test {
  protected:
    MuseTest() {
        gpio.Reset(0);
        Out(0xC7, 0x80);  // mode 0, every port an output
    }

    void Out(uint8_t port, uint8_t value) { gpio.PortWrite(port, value, 0); }

    // A register write as programs make it: inverted bytes on port A, strobes on port C.
    void WriteRegister(uint8_t reg, uint8_t value) {
        Out(0xC6, 0x02);
        Out(0xC4, static_cast<uint8_t>(~reg));
        Out(0xC6, 0x0B);
        Out(0xC6, 0x02);
        Out(0xC4, static_cast<uint8_t>(~value));
        Out(0xC6, 0x0F);
        Out(0xC6, 0x02);
    }

    const ChipSAA1099& Chip() const { return *muse->Handle(); }

    IfGPIO gpio{nullptr};
    std::unique_ptr<Muse> muse = std::make_unique<Muse>(&gpio);
};

TEST_F(MuseTest, InvertedBytesAndStrobesBecomeAddressAndDataWrites) {
    WriteRegister(0x08, 0x55);
    EXPECT_EQ(Chip().Address(), 0x08);
    EXPECT_EQ(Chip().Register(0x08), 0x55);

    // From the address-write state 0x0B to 0x0F: a data write of whatever is latched.
    Out(0xC4, static_cast<uint8_t>(~0x14));
    Out(0xC6, 0x0B);
    Out(0xC4, static_cast<uint8_t>(~0x3F));
    EXPECT_EQ(muse->LatchedData(), 0x3F);
    Out(0xC6, 0x0F);
    EXPECT_EQ(Chip().Register(0x14), 0x3F);

    // The same control value again is no new strobe.
    Out(0xC4, static_cast<uint8_t>(~0x01));
    Out(0xC6, 0x0F);
    EXPECT_EQ(Chip().Register(0x14), 0x3F);

    // An address byte above 0x1F goes to the chip as it is; the chip keeps five bits of it.
    Out(0xC6, 0x02);
    Out(0xC4, static_cast<uint8_t>(~0x3C));
    Out(0xC6, 0x0B);
    EXPECT_EQ(Chip().Address(), 0x1C);
}

TEST_F(MuseTest, WhileTheJoystickOwnsThePortNothingReachesTheGenerator) {
    WriteRegister(0x00, 0x77);
    Out(0xC6, 0x12);  // bit 4: port A belongs to the joystick
    Out(0xC4, 0x00);
    EXPECT_EQ(muse->LatchedData(), 0x77);  // still the last value byte
    Out(0xC6, 0x1B);
    Out(0xC6, 0x1F);
    Out(0xC6, 0x1D);  // not even a reset
    EXPECT_EQ(Chip().Address(), 0x00);
    EXPECT_EQ(Chip().Register(0x00), 0x77);
}

TEST_F(MuseTest, ResetLineClearsAllRegistersWhateverTheOtherLines) {
    WriteRegister(0x00, 0x77);
    WriteRegister(0x14, 0x3F);
    WriteRegister(0x1C, 0x01);
    Out(0xC6, 0x0D);  // strobes high, /reset low
    for (int r = 0; r < 32; ++r) EXPECT_EQ(Chip().Register(r), 0) << r;
}

TEST_F(MuseTest, ThePortKeepsItsOwnPortCWiringWithTheBoardAndAfterIt) {
    Out(0xC7, 0x82);  // port B input: it reads PC2, PC3, PC5-PC7 back
    Out(0xC6, 0xEF);  // bit 4 low: the board listens too
    EXPECT_EQ(gpio.PortRead(0xC5, 0) & 0xEC, 0xEC);
    muse.reset();
    Out(0xC6, 0x00);
    EXPECT_EQ(gpio.PortRead(0xC5, 0) & 0xEC, 0x00);
    Out(0xC6, 0x24);
    EXPECT_EQ(gpio.PortRead(0xC5, 0) & 0xEC, 0x24);
}

// An 8080 program drives the board through OUT C4 and OUT C6 exactly as machine software would.
class MuseProgramTest : public CpuFixture {
  protected:
    MuseProgramTest() { cpu.AttachPort(0xC4, 0xFC, true, &gpio); }

    IfGPIO gpio{&cpu};
    Muse muse{&gpio};
};

TEST_F(MuseProgramTest, RegisterTableWrittenByAProgramSoundsAsProgrammed) {
    // 0100: MVI A,80h / OUT C7h / LXI H,0140h / MVI B,n
    // 0109: MOV A,M / CMA / OUT C4h / MVI A,0Bh / OUT C6h / MVI A,02h / OUT C6h / INX H
    //       MOV A,M / CMA / OUT C4h / MVI A,0Fh / OUT C6h / MVI A,02h / OUT C6h / INX H
    //       DCR B / JNZ 0109h / HLT
    const std::vector<uint8_t> table = {
        0x1C, 0x02,  // hold the generators while they are set up
        0x00, 0x0F,  // channel 0: left 15
        0x08, 0x2D,  // frequency 45
        0x10, 0x03,  // octave 3: 15625 * 8 / 466 = 268.2 Hz
        0x03, 0xF0,  // channel 3: right 15
        0x14, 0x01,  // tone on channel 0
        0x15, 0x08,  // noise on channel 3
        0x16, 0x20,  // noise generator 1 on the 7.8 kHz clock
        0x1C, 0x01,  // sound on, generators released together
    };
    Poke(0x0100,
         {0x3E, 0x80, 0xD3, 0xC7, 0x21, 0x40, 0x01, 0x06, static_cast<uint8_t>(table.size() / 2),
          0x7E, 0x2F, 0xD3, 0xC4, 0x3E, 0x0B, 0xD3, 0xC6, 0x3E,
          0x02, 0xD3, 0xC6, 0x23, 0x7E, 0x2F, 0xD3, 0xC4, 0x3E,
          0x0F, 0xD3, 0xC6, 0x3E, 0x02, 0xD3, 0xC6, 0x23, 0x05,
          0xC2, 0x09, 0x01, 0x76});
    for (size_t i = 0; i < table.size(); ++i) {
        memory.Write(static_cast<uint16_t>(0x0140 + i), table[i]);
    }
    cpu.PC = 0x0100;
    for (int i = 0; i < 10000 && !cpu.Halted; ++i) cpu.Step();
    ASSERT_TRUE(cpu.Halted);
    ASSERT_FALSE(cpu.PortFault);

    std::vector<int16_t> stereo(2 * 88 * 186);
    for (size_t done = 0; done < stereo.size(); done += 2 * 88) {
        muse.Generate(stereo.data() + done, 88);  // one emulation period at a time
    }
    const std::vector<double> left = waveform::Side(stereo, 0);
    const std::vector<double> right = waveform::Side(stereo, 1);
    const double tone = 15625.0 * 8 / (511 - 45);
    EXPECT_NEAR(waveform::Frequency(left, 7.5 * ChipSAA1099::kOutputStep, 44100), tone,
                tone * 0.001);
    EXPECT_GT(waveform::BandPower(right, 44100, 300, 2000) /
                  waveform::BandPower(right, 44100, 7500, 8100),
              20.0);
}

}  // namespace
