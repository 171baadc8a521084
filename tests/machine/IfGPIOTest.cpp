#include <gtest/gtest.h>

#include "machine/ChipCpu8080.h"
#include "machine/ChipMemory.h"
#include "machine/IfGPIO.h"
#include "machine/MemoryOrganizer.h"

namespace {

class IfGPIOTest : public ::testing::Test {
  protected:
    IfGPIOTest() : memory(organizer), cpu(memory), gpio(&cpu) { gpio.Reset(0); }
    MemoryOrganizer organizer;
    ChipMemory memory;
    ChipCpu8080 cpu;
    IfGPIO gpio;
};

TEST_F(IfGPIOTest, Pc4InvertsPortAReads) {
    gpio.PortWrite(0xC7, 0x80, 0);
    gpio.PortWrite(0xC4, 0x3C, 0);
    EXPECT_EQ(gpio.PortRead(0xC4, 0), 0x3C);
    gpio.PortWrite(0xC6, 0x10, 0);
    EXPECT_TRUE(gpio.InvertA());
    gpio.SetInputs(0, 0xF0);
    EXPECT_EQ(gpio.PortRead(0xC4, 0), static_cast<uint8_t>(~(0x3C & 0xF0)));
    gpio.PortWrite(0xC6, 0x00, 0);
    EXPECT_EQ(gpio.PortRead(0xC4, 0), 0x30);
}

TEST_F(IfGPIOTest, PortBReadsBackPortCAndTheInterruptEnable) {
    gpio.PortWrite(0xC7, 0x82, 0);  // port B input, port C output
    gpio.PortWrite(0xC6, 0xEC, 0);
    EXPECT_EQ(gpio.PortRead(0xC5, 0), 0xEC);
    gpio.PortWrite(0xC6, 0x13, 0);  // PC0, PC1 and PC4 are not wired back
    EXPECT_EQ(gpio.PortRead(0xC5, 0), 0x00);

    cpu.SetInte(true);
    EXPECT_EQ(gpio.PortRead(0xC5, 0) & 1, 0);
    gpio.SetInteOnPB0(true);
    EXPECT_EQ(gpio.PortRead(0xC5, 0) & 1, 1);
    cpu.SetInte(false);
    EXPECT_EQ(gpio.PortRead(0xC5, 0) & 1, 0);
}

TEST_F(IfGPIOTest, ControlPortReadsZeroAndResetRestoresInputs) {
    gpio.PortWrite(0xC7, 0x80, 0);
    EXPECT_EQ(gpio.PortRead(0xC7, 0), 0x00);
    gpio.PortWrite(0xC6, 0x10, 0);
    gpio.Reset(0);
    EXPECT_FALSE(gpio.InvertA());
    EXPECT_EQ(gpio.Chip().GetState().Mode, 0x9B);
    EXPECT_EQ(gpio.PortRead(0xC5, 0), 0x00);
    EXPECT_EQ(gpio.PortRead(0x10, 0), 0xFF);
}

}  // namespace
