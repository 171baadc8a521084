#include <gtest/gtest.h>

#include "asm/NumberFormat.h"

using assembler::FormatNumber;
using assembler::NumberStyle;
using assembler::ParseNumber;

TEST(FormatNumber, HexadecimalIsAlwaysTwoOrFourUpperCaseDigits) {
    EXPECT_EQ(FormatNumber(0x0A, {.HashPrefix = true}), "#0A");
    EXPECT_EQ(FormatNumber(0x0A, {.Word = true, .HashPrefix = true}), "#000A");
    EXPECT_EQ(FormatNumber(0xbeef, {.Word = true}), "BEEF");
    // Values are cut to the width asked for; an invalid field's -1 shows as FFFF.
    EXPECT_EQ(FormatNumber(0x1234, {}), "34");
    EXPECT_EQ(FormatNumber(-1, {.Word = true, .HashPrefix = true}), "#FFFF");
}

TEST(FormatNumber, DecimalPadsOnlyWhenTheWidthIsFixed) {
    EXPECT_EQ(FormatNumber(31, {.FixedWidth = true, .Hexadecimal = false}), "031");
    EXPECT_EQ(FormatNumber(31, {.Word = true, .FixedWidth = true, .Hexadecimal = false}), "00031");
    EXPECT_EQ(FormatNumber(31, {.Word = true, .Hexadecimal = false}), "31");
    EXPECT_EQ(FormatNumber(-1, {.Word = true, .Hexadecimal = false}), "65535");
    // The prefix and suffix belong to hexadecimal only.
    EXPECT_EQ(FormatNumber(200, {.Hexadecimal = false, .AsmSuffix = true, .HashPrefix = true}),
              "200");
}

TEST(FormatNumber, AssemblerSuffixAddsAZeroBeforeALeadingLetter) {
    NumberStyle byte{.AsmSuffix = true};
    NumberStyle word{.Word = true, .AsmSuffix = true};
    EXPECT_EQ(FormatNumber(0x9F, byte), "9FH");
    EXPECT_EQ(FormatNumber(0xA0, byte), "0A0H");
    EXPECT_EQ(FormatNumber(0xFF, byte), "0FFH");
    EXPECT_EQ(FormatNumber(0x0D, byte), "0DH");
    EXPECT_EQ(FormatNumber(0x9FFF, word), "9FFFH");
    EXPECT_EQ(FormatNumber(0xA000, word), "0A000H");
}

TEST(ParseNumber, HexadecimalFieldTakesItsFirstCharacterAsThePrefix) {
    EXPECT_EQ(ParseNumber("#1234", true), 0x1234);
    EXPECT_EQ(ParseNumber("#ffff", true), 0xFFFF);
    EXPECT_EQ(ParseNumber("#12  ", true), 0x1200);  // unfilled positions are zeros
    EXPECT_EQ(ParseNumber("#    ", true), 0);
    EXPECT_EQ(ParseNumber("#12G4", true), -1);
    EXPECT_EQ(ParseNumber("#", true), -1);
    EXPECT_EQ(ParseNumber("", true), -1);
    EXPECT_EQ(ParseNumber("#10000", true), -1);
}

TEST(ParseNumber, DecimalFieldAcceptsDigitsUpTo65535) {
    EXPECT_EQ(ParseNumber("65535", false), 65535);
    EXPECT_EQ(ParseNumber("65536", false), -1);
    EXPECT_EQ(ParseNumber("  123", false), 123);
    EXPECT_EQ(ParseNumber("1 2", false), 102);
    EXPECT_EQ(ParseNumber("12a45", false), -1);
    EXPECT_EQ(ParseNumber("-1", false), -1);
    EXPECT_EQ(ParseNumber("99999999999999999999", false), -1);
}
