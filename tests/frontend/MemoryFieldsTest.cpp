#include "frontend/MemoryFields.h"

#include <gtest/gtest.h>

namespace {

constexpr bool kHex = true, kDec = false;

TEST(MemoryFields, RangesPastTheEndAndReversedPagesAreCorrected) {
    MemoryFieldValues values;
    EXPECT_FALSE(ValidateMemoryFields({"#F000", "#2000", "#E0", "#E0", "#0000"}, kHex, values));
    EXPECT_EQ(values.start, 0xF000);
    EXPECT_EQ(values.length, 0x1000);
    // The corrected values pass the second time.
    EXPECT_TRUE(ValidateMemoryFields(FormatMemoryFields(values, kHex), kHex, values));

    EXPECT_FALSE(ValidateMemoryFields({"#0000", "#0001", "#E2", "#E0", "#0000"}, kHex, values));
    EXPECT_EQ(values.from, 0xE2);
    EXPECT_EQ(values.to, 0xE2);
}

TEST(MemoryFields, UnreadableValuesFallBackToTheirDefaults) {
    MemoryFieldValues values;
    EXPECT_FALSE(ValidateMemoryFields({"70000", "65536", "256", "999", "99999"}, kDec, values));
    EXPECT_EQ(values.start, 0);
    EXPECT_EQ(values.length, 1);
    EXPECT_EQ(values.from, 224);
    EXPECT_EQ(values.to, 224);
    EXPECT_EQ(values.run, 0);
    EXPECT_FALSE(ValidateMemoryFields({"#0000", "#0000", "#E0", "#E0", "#0000"}, kHex, values))
        << "a length of 0";
    EXPECT_EQ(values.length, 1);
    // Unfilled positions of the mask count as 0.
    EXPECT_TRUE(ValidateMemoryFields({"#1  0", "#  1", "# 1", "#FF", "#0012"}, kHex, values));
    EXPECT_EQ(values.start, 0x1000);
    EXPECT_EQ(values.length, 0x1);
    EXPECT_EQ(values.from, 0x01);
    EXPECT_EQ(values.to, 0xFF);
    EXPECT_EQ(values.run, 0x12);
}

TEST(MemoryFields, TextsFollowTheRadix) {
    EXPECT_EQ(FormatAddressField(4096, kHex), "#1000");
    EXPECT_EQ(FormatAddressField(4096, kDec), "04096");
    EXPECT_EQ(FormatPageField(224, kHex), "#E0");
    EXPECT_EQ(FormatPageField(7, kDec), "007");
    EXPECT_TRUE(AcceptedFieldCharacter('f'));
    EXPECT_TRUE(AcceptedFieldCharacter('7'));
    EXPECT_FALSE(AcceptedFieldCharacter('g'));
    EXPECT_FALSE(AcceptedFieldCharacter('-'));
}

}  // namespace
