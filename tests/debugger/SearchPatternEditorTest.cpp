#include <gtest/gtest.h>

#include "debugger/SearchPatternEditor.h"

using debugger::ReadEightNumbers;
using debugger::SearchPatternEditor;

TEST(SearchPatternEditor, ReadsBothRadixesAndPointsAtTheDigitThatIsTooLarge) {
    auto hex = ReadEightNumbers("#00 #1F #ff #80 #00 #00 #00 #0A", false);
    ASSERT_TRUE(hex.Ok);
    EXPECT_EQ(hex.Values[2], 0xFF);
    EXPECT_EQ(hex.Values[7], 0x0A);
    EXPECT_FALSE(ReadEightNumbers("#00 #1F #ff #80 #00 #00 #00", false).Ok);
    EXPECT_FALSE(ReadEightNumbers("#00 #1G #ff #80 #00 #00 #00 #0A", false).Ok);

    auto dec = ReadEightNumbers("000 255 007 000 000 000 000 100", true);
    ASSERT_TRUE(dec.Ok);
    EXPECT_EQ(dec.Values[1], 255);
    EXPECT_EQ(dec.Values[7], 100);
    // The units digit for 256 to 259, the tens for 260 to 299, the hundreds from 300.
    EXPECT_EQ(ReadEightNumbers("000 259 000 000 000 000 000 000", true).BadColumn, 6);
    EXPECT_EQ(ReadEightNumbers("000 000 260 000 000 000 000 000", true).BadColumn, 9);
    EXPECT_EQ(ReadEightNumbers("000 000 000 000 000 000 000 300", true).BadColumn, 28);
    EXPECT_FALSE(ReadEightNumbers("000 000 000 000 000 000 000 999", true).Ok);
    // Short entries are what was typed, not padded with zeros; a place left empty is no number.
    auto typed = ReadEightNumbers("12  7   000 000 000 000 000 000", true);
    ASSERT_TRUE(typed.Ok);
    EXPECT_EQ(typed.Values[0], 12);
    EXPECT_EQ(typed.Values[1], 7);
    EXPECT_EQ(ReadEightNumbers("#1  #00 #00 #00 #00 #00 #00 #00", false).Values[0], 0x1);
    EXPECT_FALSE(ReadEightNumbers("#   #00 #00 #00 #00 #00 #00 #00", false).Ok);
}

TEST(SearchPatternEditor, EachChangeTakesOnePositionAndTheBoxesRuleTheMasks) {
    SearchPatternEditor e;
    EXPECT_FALSE(e.FindEnabled());
    EXPECT_EQ(e.CharsText(), " .   .   .   .   .   .   .   .");
    // Two numbers changed at once: only the first is taken.
    auto c = e.ValuesChanged("#00 #41 #42 #00 #00 #00 #00 #00", false);
    EXPECT_TRUE(c.Ok);
    EXPECT_EQ(c.Position, 1);
    EXPECT_EQ(e.ValuesText(false), "#00 #41 #00 #00 #00 #00 #00 #00");
    EXPECT_EQ(e.MasksText(true), "000 255 000 000 000 000 000 000");
    EXPECT_TRUE(e.FindEnabled());
    EXPECT_EQ(e.CharsText(), " .   A   .   .   .   .   .   .");

    c = e.CharsChanged(" .   A   z   .   .   .   .   .");
    EXPECT_EQ(c.Position, 2);
    EXPECT_EQ(e.Pattern().Values[2], 'z');
    EXPECT_EQ(e.Pattern().Masks[2], 0xFF);

    e.SetMaskEditing(true);
    c = e.MasksChanged("#00 #0F #FF #00 #00 #00 #00 #00", false);
    EXPECT_EQ(c.Position, 1);
    EXPECT_EQ(e.Pattern().Masks[1], 0x0F);
    e.SetMaskEditing(false);
    EXPECT_EQ(e.Pattern().Masks[1], 0xFF);

    auto bad = e.ValuesChanged("000 065 299 000 000 000 000 000", true);
    EXPECT_FALSE(bad.Ok);
    EXPECT_EQ(bad.BadColumn, 9);
    EXPECT_EQ(e.Pattern().Values[2], 'z');  // unchanged

    e.SetUsed(1, false);
    EXPECT_EQ(e.Pattern().Values[1], 0);
    EXPECT_EQ(e.Pattern().Masks[1], 0);
    e.SetUsed(2, false);
    EXPECT_FALSE(e.FindEnabled());
    e.SetUsed(5, true);
    EXPECT_EQ(e.Pattern().Masks[5], 0xFF);
    EXPECT_EQ(e.Pattern().Values[5], 0);
}
