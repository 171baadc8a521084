#include <gtest/gtest.h>

#include "machine/Cpu8080Alu.h"
#include "support/CpuFixture.h"

namespace {

class Cpu8080Flags : public CpuFixture {};

TEST_F(Cpu8080Flags, LogicalAndSubtractEdgeCases) {
    cpu.A = 0x5A;
    RunProgram(0x100, {0xAF}, 1);  // XRA A
    EXPECT_EQ(cpu.A, 0x00);
    EXPECT_EQ(cpu.F, 0x46);

    cpu.A = 0x77;
    RunProgram(0x100, {0x97}, 1);  // SUB A: Z, AC as inverted borrow, P, bit 1
    EXPECT_EQ(cpu.A, 0x00);
    EXPECT_EQ(cpu.F, 0x56);
}

TEST_F(Cpu8080Flags, DecimalAdjustCarriesOutOfBothDigits) {
    cpu.A = 0x9A;
    cpu.F = 0x02;
    RunProgram(0x100, {0x27}, 1);  // DAA
    EXPECT_EQ(cpu.A, 0x00);
    EXPECT_EQ(cpu.F & 0x01, 0x01);
    EXPECT_EQ(cpu.F & 0x10, 0x10);
    EXPECT_EQ(cpu.F & 0x40, 0x40);
}

TEST_F(Cpu8080Flags, PopPswForcesTheFixedBits) {
    cpu.SP = 0x2000;
    Poke(0x2000, {0xFF, 0x12});
    RunProgram(0x100, {0xF1}, 1);  // POP PSW
    EXPECT_EQ(cpu.F, 0xD7);
    EXPECT_EQ(cpu.A, 0x12);
    EXPECT_EQ(cpu.SP, 0x2002);
}

TEST_F(Cpu8080Flags, PushPswNormalisesFItself) {
    cpu.SP = 0x2000;
    cpu.A = 0x34;
    cpu.F = 0xFF;
    RunProgram(0x100, {0xF5}, 1);  // PUSH PSW
    EXPECT_EQ(cpu.F, 0xD7);
    EXPECT_EQ(Peek(0x1FFE), 0xD7);
    EXPECT_EQ(Peek(0x1FFF), 0x34);
}

TEST_F(Cpu8080Flags, IncrementAndDecrementAuxiliaryCarry) {
    cpu.B = 0x0F;
    cpu.F = 0x03;                  // carry must survive
    RunProgram(0x100, {0x04}, 1);  // INR B
    EXPECT_EQ(cpu.B, 0x10);
    EXPECT_EQ(cpu.F & 0x11, 0x11);

    cpu.C = 0x10;
    RunProgram(0x100, {0x0D}, 1);  // DCR C
    EXPECT_EQ(cpu.C, 0x0F);
    EXPECT_EQ(cpu.F & 0x10, 0x00);

    cpu.C = 0x11;
    RunProgram(0x100, {0x0D}, 1);
    EXPECT_EQ(cpu.F & 0x10, 0x10);
    EXPECT_EQ(cpu.F & 0x01, 0x01);
}

TEST_F(Cpu8080Flags, AndTakesAuxiliaryCarryFromBitThreeOfEitherOperand) {
    cpu.A = 0x08;
    cpu.B = 0x00;
    RunProgram(0x100, {0xA0}, 1);  // ANA B
    EXPECT_EQ(cpu.F & 0x10, 0x10);
    EXPECT_EQ(cpu.F & 0x01, 0x00);
    cpu.A = 0xF0;
    RunProgram(0x100, {0xE6, 0x07}, 1);  // ANI 07h
    EXPECT_EQ(cpu.F & 0x10, 0x00);
    EXPECT_EQ(cpu.F & 0x40, 0x40);
}

TEST_F(Cpu8080Flags, DoubleAddSetsOnlyCarry) {
    cpu.SetHL(0x8000);
    cpu.SetBC(0x8001);
    cpu.F = 0xD6;
    RunProgram(0x100, {0x09}, 1);  // DAD B
    EXPECT_EQ(cpu.HL(), 0x0001);
    EXPECT_EQ(cpu.F, 0xD7);
}

TEST_F(Cpu8080Flags, RotationsMoveOnlyCarry) {
    cpu.A = 0x81;
    cpu.F = 0x02;
    RunProgram(0x100, {0x17}, 1);  // RAL: carry in 0
    EXPECT_EQ(cpu.A, 0x02);
    EXPECT_EQ(cpu.F, 0x03);
    RunProgram(0x100, {0x1F}, 1);  // RAR: carry in 1
    EXPECT_EQ(cpu.A, 0x81);
    EXPECT_EQ(cpu.F, 0x02);
    RunProgram(0x100, {0x0F}, 1);  // RRC
    EXPECT_EQ(cpu.A, 0xC0);
    EXPECT_EQ(cpu.F, 0x03);
    RunProgram(0x100, {0x07}, 1);  // RLC
    EXPECT_EQ(cpu.A, 0x81);
    EXPECT_EQ(cpu.F, 0x03);
}

// The ALU computes AC from the bit-4 carry; the hardware's rule is stated as two lookup tables on
// bit 3 of the accumulator, the operand and the result. Both must agree for every input.
TEST(Cpu8080Alu, AuxiliaryCarryMatchesTheBitThreeTables) {
    static constexpr uint8_t kAddTable[8] = {0, 1, 1, 1, 0, 0, 0, 1};
    static constexpr uint8_t kSubTable[8] = {1, 1, 0, 1, 0, 1, 0, 0};
    std::array<uint8_t, 256> flags{};  // S, Z, P are not under test here
    for (int a = 0; a < 256; ++a) {
        for (int v = 0; v < 256; ++v) {
            for (unsigned carry = 0; carry < 2; ++carry) {
                uint8_t acc = static_cast<uint8_t>(a), f = 0;
                alu8080::Add(acc, f, flags.data(), static_cast<uint8_t>(v), carry);
                int index = ((a >> 3) & 1) | ((v >> 3) & 1) << 1 | ((acc >> 3) & 1) << 2;
                ASSERT_EQ((f & 0x10) != 0, kAddTable[index] != 0) << a << " + " << v;
                ASSERT_EQ(acc, static_cast<uint8_t>(a + v + carry));
                ASSERT_EQ(f & 1, (a + v + carry) > 0xFF ? 1 : 0);

                acc = static_cast<uint8_t>(a);
                f = 0;
                alu8080::Sub(acc, f, flags.data(), static_cast<uint8_t>(v), carry);
                index = ((a >> 3) & 1) | ((v >> 3) & 1) << 1 | ((acc >> 3) & 1) << 2;
                ASSERT_EQ((f & 0x10) != 0, kSubTable[index] != 0) << a << " - " << v;
                ASSERT_EQ(acc, static_cast<uint8_t>(a - v - static_cast<int>(carry)));
                ASSERT_EQ(f & 1, (a - v - static_cast<int>(carry)) < 0 ? 1 : 0);
            }
        }
    }
}

TEST_F(Cpu8080Flags, FlagTableAndDaaTableFollowTheirDefinitions) {
    EXPECT_EQ(cpu.FlagTable[0x00], 0x46);
    EXPECT_EQ(cpu.FlagTable[0x80], 0x82);  // one bit set: odd parity
    EXPECT_EQ(cpu.FlagTable[0x03], 0x06);
    // 0x15 + 0x27 in BCD: binary 0x3C, adjusted 0x42, half carry from the low digit.
    uint16_t entry = cpu.DaaTable[0x3C];
    EXPECT_EQ(entry >> 8, 0x42);
    EXPECT_EQ(entry & 0x11, 0x10);
    // AC set with a low digit that is not above 9 still adds 6, but the new AC stays clear.
    entry = cpu.DaaTable[0x05 | 1 << 9];
    EXPECT_EQ(entry >> 8, 0x0B);
    EXPECT_EQ(entry & 0x10, 0x00);
    // The high correction looks at the value after the low one: 0x9A -> 0xA0 > 0x9F.
    entry = cpu.DaaTable[0x9A];
    EXPECT_EQ(entry >> 8, 0x00);
    EXPECT_EQ(entry & 0xFF, 0x57);
}

}  // namespace
