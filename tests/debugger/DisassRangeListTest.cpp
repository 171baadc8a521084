#include <gtest/gtest.h>

#include "debugger/DisassRangeList.h"

using debugger::DisassRange;
using debugger::ParseRangeList;

TEST(DisassRangeList, InsertKeepsStartsSortedAndEqualStartsInTheirOrder) {
    std::vector<DisassRange> list;
    EXPECT_EQ(debugger::InsertRangeSorted(list, {0x200, 0x2FF, 0, 1}), 0u);
    EXPECT_EQ(debugger::InsertRangeSorted(list, {0x100, 0x1FF, 0, 0}), 0u);
    EXPECT_EQ(debugger::InsertRangeSorted(list, {0x100, 0x10F, 0, 2}), 1u);
    EXPECT_EQ(debugger::InsertRangeSorted(list, {0x300, 0x30F, 0, 4}), 3u);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].Type, 0);
    EXPECT_EQ(list[1].Type, 2);
    EXPECT_EQ(list[2].Type, 1);

    EXPECT_EQ(debugger::NextRangeAddress({0x4000, 0x4004, 0, debugger::kRangeWords}), 0x4006);
    EXPECT_EQ(debugger::NextRangeAddress({0x4000, 0x4003, 0, debugger::kRangeWords}), 0x4004);
    EXPECT_EQ(debugger::NextRangeAddress({0x4000, 0x4004, 0, debugger::kRangeBytes}), 0x4005);
    EXPECT_EQ(debugger::NextRangeAddress({0xFF00, 0xFFFF, 0, debugger::kRangeText}), 0x0000);
}

TEST(DisassRangeList, SavedListLoadsBackAndBlankLinesCount) {
    const std::vector<DisassRange> saved = {
        {16384, 16400, 0, 0, false}, {0, 65535, 65535, 3, true}, {5, 5, 0, 4, false}};
    const std::string text = debugger::FormatRangeList(saved);
    EXPECT_EQ(text.substr(0, 20), "16384,16400,0,0,0\r\n0");
    std::vector<DisassRange> loaded;
    EXPECT_EQ(ParseRangeList(text, loaded).Line, 0);
    ASSERT_EQ(loaded.size(), 3u);
    EXPECT_EQ(loaded[1].Offset, 65535);
    EXPECT_TRUE(loaded[1].DwLabels);
    EXPECT_EQ(loaded[2].From, 5);
}

TEST(DisassRangeList, MalformedLinesStopTheLoadAtTheirLineNumber) {
    struct Case {
        const char* Text;
        int Line;
        size_t Kept;
    };
    const Case cases[] = {
        {"16384,16400,0,0,1\r\n\r\n16384,16400,0,5,0\r\n", 3, 1},  // type 5
        // CR LF, a lone CR and a lone LF each end one line; blanks and tabs may stand before a
        // number.
        {"1,2,0,0,1\r\r\n\n\t 3, 4,0,1,0\n5,4,0,0,0\n", 5, 2},  // to below from
        {"65536,65536,0,0,0", 1, 0},
        {"1,2,65536,0,0", 1, 0},
        {"1,2,3,4,2", 1, 0},
        {"1,2,3,4", 1, 0},
        {"1,2,3,4,", 1, 0},
        {"1,2,3,4,0,", 1, 1},  // nothing may follow the last number
        {"1,2,-3,4,0", 1, 0},
        {"99999999999999999999,1,0,0,0", 1, 0},
        {"1,2,3,4,0 x", 1, 1},
    };
    for (const Case& c : cases) {
        std::vector<DisassRange> loaded;
        EXPECT_EQ(ParseRangeList(c.Text, loaded).Line, c.Line) << c.Text;
        EXPECT_EQ(loaded.size(), c.Kept) << c.Text;
    }
    // A byte 0 ends the file: what follows it is never read.
    std::vector<DisassRange> loaded;
    EXPECT_EQ(ParseRangeList(std::string("1,2,0,0,0\n") + '\0' + "garbage", loaded).Line, 0);
    EXPECT_EQ(loaded.size(), 1u);
}
