#include <gtest/gtest.h>

#include "TestMemory.h"
#include "debugger/MemorySearch.h"

using debugger::MemorySearch;
using debugger::SearchOutcome;
using debugger::SearchPattern;

namespace {

SearchPattern Bytes(std::initializer_list<uint8_t> values) {
    SearchPattern p;
    int i = 0;
    for (uint8_t v : values) {
        p.Values[i] = v;
        p.Masks[i++] = 0xFF;
    }
    return p;
}

}  // namespace

TEST(MemorySearch, FindsEachMatchOnceAroundTheTurnThenReportsTheWrap) {
    TestMemory m;
    m.Put(0x1000, {0xCD, 0x34, 0x12});
    m.Put(0x0005, {0xCD, 0x34, 0x12});
    const SearchPattern p = Bytes({0xCD, 0x34, 0x12});
    MemorySearch search;
    ASSERT_EQ(search.FindNext(m.memory, p, true, 0x0800), SearchOutcome::Found);
    EXPECT_EQ(search.Current(), 0x1000);
    ASSERT_EQ(search.FindNext(m.memory, p, false, 0), SearchOutcome::Found);
    EXPECT_EQ(search.Current(), 0x0005);  // past FFFF and on from 0000
    EXPECT_EQ(search.FindNext(m.memory, p, false, 0), SearchOutcome::WrappedAround);
    EXPECT_EQ(search.Current(), 0x0800);
    // A new search from where a match lies sees it only when everything else has been passed,
    // that is never: the start itself ends the turn.
    EXPECT_EQ(search.FindNext(m.memory, Bytes({0xCD, 0x34, 0x12}), true, 0x1000),
              SearchOutcome::Found);
    EXPECT_EQ(search.Current(), 0x0005);
    m.Put(0x0005, {0});
    EXPECT_EQ(search.FindNext(m.memory, p, true, 0x1000), SearchOutcome::NotFound);
}

TEST(MemorySearch, MasksSpanningTheTopAndUnmappedPages) {
    TestMemory m;
    m.Put(0xFFFE, {0xA7, 0x55});
    m.Put(0x0000, {0x66});
    SearchPattern p = Bytes({0xA0, 0x55, 0x66});
    p.Masks[0] = 0xF0;  // any byte with the high nibble A
    MemorySearch search;
    ASSERT_EQ(search.FindNext(m.memory, p, true, 0x4000), SearchOutcome::Found);
    EXPECT_EQ(search.Current(), 0xFFFE);

    // Positions with mask 0 take no part, even before the first used one.
    SearchPattern gap;
    gap.Values = {0x12, 0, 0, 0, 0, 0, 0, 0xFF};
    gap.Masks = {0, 0, 0, 0, 0, 0, 0, 0xFF};
    m.Unmap(3);  // 3000-3FFF reads as FF
    for (uint32_t a = 0; a < 0x10000; ++a) {
        if (a < 0x3000 || a > 0x3FFF) m.Put(uint16_t(a), {0});
    }
    ASSERT_EQ(search.FindNext(m.memory, gap, true, 0x8000), SearchOutcome::Found);
    EXPECT_EQ(search.Current(), 0x3000 - 7);
    EXPECT_FALSE(SearchPattern{}.Any());
    EXPECT_TRUE(gap.Any());
}
