#include "frontend/MemoryFields.h"

#include <gtest/gtest.h>

#include "frontend/NumberField.h"
#include "host/lang/Language.h"

namespace {

constexpr bool kHex = true, kDec = false;

// The delivered language files, so that the refusals are the texts the user reads.
class NumberFieldTest : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(lang::ActiveLanguage().Load(TEVRIN_SOURCE_DIR "/resources/Lang", GetParam()));
    }
    void TearDown() override { lang::ActiveLanguage().Unload(); }
};

TEST_P(NumberFieldTest, ReadsWhatWasTypedAndRefusesWhatIsOutOfRange) {
    const bool english = std::string(GetParam()) == "english";
    const NumberField length{english ? "Length" : "Länge", kDec, 1, 0x10000};
    // A short entry in a five-place field: unfilled places are nothing, not zeros.
    EXPECT_EQ(ReadNumberField(length, "31   ").value, 31);
    EXPECT_EQ(ReadNumberField(length, "65536").value, 65536);
    EXPECT_EQ(ReadNumberField({"Start", kHex}, "#1F  ").value, 0x1F);
    EXPECT_EQ(ReadNumberField({"Start", kHex}, "#200 ").value, 0x200);

    const FieldReading none = ReadNumberField(length, "00000");
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.refusal,
              english ? "Length must be 1 to 65536." : "Länge muss 1 bis 65536 sein.");
    EXPECT_EQ(ReadNumberField(length, "     ").refusal, none.refusal) << "an empty field";
    const NumberField hexLength{"Length", kHex, 1, 0x10000};
    EXPECT_EQ(ReadNumberField(hexLength, "#10000").value, 0x10000);
    EXPECT_FALSE(ReadNumberField(hexLength, "#10001").ok);
    EXPECT_NE(ReadNumberField(hexLength, "#10001").refusal.find("#1"), std::string::npos)
        << "the range in the field's own notation";
    const NumberField tapeNumber{"Number", kHex, 0, 0x7F, false};
    EXPECT_EQ(ReadNumberField(tapeNumber, "7 ").value, 7);
    EXPECT_EQ(ReadNumberField(tapeNumber, "80").refusal,
              english ? "Number must be 0 to 7F." : "Number muss 0 bis 7F sein.");
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, NumberFieldTest, ::testing::Values("english", "german"));

TEST(NumberField, PlacesAndNamesComeFromTheFieldAndItsCaption) {
    EXPECT_EQ(FieldDigits({"", kDec, 1, 0x10000}), 5);
    EXPECT_EQ(FieldDigits({"", kHex, 0, 0xFFFF}), 4);
    EXPECT_EQ(FieldDigits({"", kHex, 1, 0x10000}), 5);
    EXPECT_EQ(FieldDigits({"", kDec, 0, 255}), 3);
    EXPECT_EQ(FieldNameOf("&Length:"), "Length");
    EXPECT_EQ(FieldNameOf("(SP+2):"), "(SP+2)");
}

// Start 100 and length 31 typed into the fields as the user leaves them: exactly those numbers.
TEST(MemoryFields, ShortEntriesAreTakenAsTypedAndTheWholeSpaceFits) {
    const MemoryFieldNames names{"Start", "Length", "From page", "To page", "Run from"};
    MemoryFieldValues values;
    ASSERT_TRUE(
        ReadMemoryFields({"100  ", "31   ", "224", "224", "0    "}, names, kDec, {}, values).ok);
    EXPECT_EQ(values.start, 100);
    EXPECT_EQ(values.length, 31);
    EXPECT_EQ(values.Area(false).Size(), 31u);
    ASSERT_TRUE(
        ReadMemoryFields({"#0000", "#10000", "#E0", "#E0", "#0000"}, names, kHex, {}, values).ok);
    EXPECT_EQ(values.length, 0x10000) << "the whole address space";
    EXPECT_EQ(FormatAddressField(values.length, kHex), "#10000");
    EXPECT_EQ(FormatAddressField(values.length, kDec), "65536");
}

TEST(MemoryFields, WhatCannotBeUsedIsRefusedNamingTheFieldAndNothingChanges) {
    const MemoryFieldNames names{"Start", "Length", "From page", "To page", "Run from"};
    MemoryFieldValues values;
    values.start = 0x1234;
    const MemoryFieldValues before = values;
    auto refused = [&](const MemoryFieldTexts& texts, bool hex, MemoryFieldsInUse inUse) {
        const MemoryFieldCheck check = ReadMemoryFields(texts, names, hex, inUse, values);
        EXPECT_FALSE(check.ok);
        EXPECT_EQ(values.start, before.start) << "a refusal changes no value";
        EXPECT_EQ(values.length, before.length);
        return check.field;
    };
    EXPECT_EQ(refused({"70000", "00001", "224", "224", "00000"}, kDec, {}), MemoryField::Start);
    EXPECT_EQ(refused({"00000", "65537", "224", "224", "00000"}, kDec, {}), MemoryField::Length);
    EXPECT_EQ(refused({"#0000", "#0000", "#E0", "#E0", "#0000"}, kHex, {}), MemoryField::Length);
    // Past the end of the address space: F000 + 2000 is not cut to 1000.
    EXPECT_EQ(refused({"#F000", "#2000", "#E0", "#E0", "#0000"}, kHex, {}), MemoryField::Length);
    EXPECT_EQ(refused({"#0000", "#0001", "#E2", "#E0", "#0000"}, kHex, {true, false}),
              MemoryField::To);
    EXPECT_EQ(refused({"00000", "00001", "256", "224", "00000"}, kDec, {true, false}),
              MemoryField::From);
    EXPECT_EQ(refused({"00000", "00001", "224", "224", "     "}, kDec, {false, true}),
              MemoryField::Run);

    // A field not in use does not stand in the way, and keeps its value when it reads as none.
    values.from = 0xE5;
    ASSERT_TRUE(
        ReadMemoryFields({"#0010", "#0020", "#  ", "#E0", "#    "}, names, kHex, {}, values).ok);
    EXPECT_EQ(values.start, 0x10);
    EXPECT_EQ(values.from, 0xE5);
    EXPECT_EQ(values.to, 0xE0);
}

TEST(MemoryFields, StoredValuesNoFieldCouldHoldTakeTheirDefaults) {
    const MemoryFieldValues values = UsableStoredFields({0xF000, 0x2000, 300, 0x10, 70000});
    EXPECT_EQ(values.start, 0xF000);
    EXPECT_EQ(values.length, 0x1000);
    EXPECT_EQ(values.from, 0xE0);
    EXPECT_EQ(values.to, 0xE0);
    EXPECT_EQ(values.run, 0);
    EXPECT_EQ(UsableStoredFields({0, 0x10000, 0xE0, 0xE0, 0}).length, 0x10000);
}

TEST(MemoryFields, TextsFollowTheRadix) {
    EXPECT_EQ(FormatAddressField(4096, kHex), "#1000");
    EXPECT_EQ(FormatAddressField(4096, kDec), "04096");
    EXPECT_EQ(FormatPageField(224, kHex), "#E0");
    EXPECT_EQ(FormatPageField(7, kDec), "007");
}

}  // namespace
