#include <gtest/gtest.h>

#include "asm/NumberFormat.h"

using assembler::FormatNumber;
using assembler::NumberStyle;
using assembler::ReadFieldNumber;

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

// A short entry leaves the mask's places unfilled: they are read as nothing, not as zeros.
TEST(ReadFieldNumber, ReadsTheTypedDigitsAndNothingElse) {
    EXPECT_EQ(ReadFieldNumber("100  ", false), 100);
    EXPECT_EQ(ReadFieldNumber("31", false), 31);
    EXPECT_EQ(ReadFieldNumber("  123", false), 123);
    EXPECT_EQ(ReadFieldNumber("#1F  ", true), 0x1F);
    EXPECT_EQ(ReadFieldNumber("#200 ", true), 0x200);
    EXPECT_EQ(ReadFieldNumber("#ffff", true), 0xFFFF);
    EXPECT_EQ(ReadFieldNumber("1F", true), 0x1F) << "the mark is optional";
    EXPECT_EQ(ReadFieldNumber("#10000", true), 0x10000);
    EXPECT_EQ(ReadFieldNumber("65536", false), 65536);
}

TEST(ReadFieldNumber, RefusesWhatIsNoNumberOfTheNotation) {
    EXPECT_EQ(ReadFieldNumber("#    ", true), -1) << "no digit at all";
    EXPECT_EQ(ReadFieldNumber("", false), -1);
    EXPECT_EQ(ReadFieldNumber("#", true), -1);
    EXPECT_EQ(ReadFieldNumber("#12G4", true), -1);
    EXPECT_EQ(ReadFieldNumber("1#2", true), -1) << "the mark only leads";
    EXPECT_EQ(ReadFieldNumber("#12", false), -1) << "no mark in decimal";
    EXPECT_EQ(ReadFieldNumber("12a45", false), -1);
    EXPECT_EQ(ReadFieldNumber("-1", false), -1);
    EXPECT_EQ(ReadFieldNumber("99999999999999999999", false), -1);
}
