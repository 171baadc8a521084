#include "frontend/AddressField.h"

#include <gtest/gtest.h>

#include "debugger/SymbolTable.h"

namespace {

TEST(AddressField, LabelsWithATableAndTheFieldsOwnNumbersAlways) {
    debugger::SymbolTable symbols;
    symbols.Add("GK1", 0xC50C);
    const NumberField hex{"BP1", true};
    const NumberField dec{"BP1", false};
    EXPECT_FALSE(ReadAddressField(hex, "GK1", nullptr).ok);
    EXPECT_EQ(ReadAddressField(dec, "1000", nullptr).value, 1000);

    EXPECT_EQ(ReadAddressField(hex, " GK1+3 ", &symbols).value, 0xC50F);
    EXPECT_EQ(ReadAddressField(dec, "gk1", &symbols).value, 0xC50C);
    // A decimal field's digits stay decimal; a hexadecimal field reads them as it always did.
    EXPECT_EQ(ReadAddressField(dec, "1000", &symbols).value, 1000);
    EXPECT_EQ(ReadAddressField(hex, "1000", &symbols).value, 0x1000);

    const FieldReading unknown = ReadAddressField(hex, "NOPE", &symbols);
    EXPECT_FALSE(unknown.ok);
    EXPECT_FALSE(unknown.refusal.empty());
    // The field's range holds for a label as for a number.
    const NumberField end{"End", true, 0xC600};
    EXPECT_FALSE(ReadAddressField(end, "GK1", &symbols).ok);
    EXPECT_TRUE(ReadAddressField(end, "GK1+0100H", &symbols).ok);
}

}  // namespace
