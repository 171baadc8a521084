#include <gtest/gtest.h>

#include "machine/IfMultiplier.h"
#include "machine/MemoryOrganizer.h"

namespace {

struct Product {
    uint8_t low, high;
};

Product Multiply(IfMultiplier& m, uint8_t portX, uint8_t x, uint8_t portY, uint8_t y) {
    m.PortWrite(portX, x, 0);
    m.PortWrite(portY, y, 0);
    return {m.PortRead(portX, 0), m.PortRead(portY, 0)};
}

TEST(IfMultiplier, UnsignedAndSignMagnitudeProducts) {
    IfMultiplier m;
    Product p = Multiply(m, 0xD8, 12, 0xD9, 10);
    EXPECT_EQ(p.low, 0x78);
    EXPECT_EQ(p.high, 0x00);
    p = Multiply(m, 0xD8, 0xFF, 0xD9, 0xFF);
    EXPECT_EQ(p.low, 0x01);
    EXPECT_EQ(p.high, 0xFE);
    p = Multiply(m, 0xDA, 0x85, 0xDB, 0x03);  // -5 × +3
    EXPECT_EQ(p.low, 0x8F);
    EXPECT_EQ(p.high, 0x80);
    p = Multiply(m, 0xDA, 0xFF, 0xDB, 0xFF);  // -127 × -127 = +16129
    EXPECT_EQ(p.low, 0x01);
    EXPECT_EQ(p.high, 0x7E);
    p = Multiply(m, 0xDA, 0x80, 0xDB, 0x05);  // -0 × +5: the sign stays
    EXPECT_EQ(p.low, 0x80);
    EXPECT_EQ(p.high, 0x80);
}

TEST(IfMultiplier, ReadsReturnTheProductOfTheLastWrite) {
    IfMultiplier m;
    m.PortWrite(0xD8, 0x90, 0);
    m.PortWrite(0xD9, 0x03, 0);
    EXPECT_EQ(m.PortRead(0xDA, 0), 0xB0);  // unsigned 0x01B0, read on a signed port
    EXPECT_EQ(m.Chip().GetState().SignedMode, 1);
    EXPECT_EQ(m.PortRead(0xDB, 0), 0x01);
}

TEST(IfMultiplier, EveryAccessSwitchesPagingOn) {
    MemoryOrganizer organizer;
    IfMultiplier m;
    EXPECT_FALSE(
        m.SetEnablePaging(Closure<void()>::Bind<&MemoryOrganizer::EnablePaging>(&organizer)));
    m.PortRead(0xD9, 0);
    EXPECT_TRUE(organizer.PagingOn());
    organizer.Reset(0);
    m.PortWrite(0xDB, 1, 0);
    EXPECT_TRUE(organizer.PagingOn());
}

}  // namespace
