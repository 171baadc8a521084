#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "machine/IfInterrupt.h"
#include "machine/StateArchive.h"

namespace {

// A part as the chips write theirs: ranged fields, one shared with another thread, a count it
// works out itself, bytes of that count and a position limited by it.
struct Part {
    uint8_t mode = 0;  // 0-3
    int32_t level = 0;
    std::atomic<uint8_t> shared{0};
    std::vector<uint8_t> data;
    size_t used = 0;  // kept in 32 bits, at most data.size()

    void Serialize(StateArchive& a) {
        a.Field(mode, 0, 3);
        a.Field(level, -5, 5);
        a.Field(shared);
        const size_t count = a.Value<uint16_t>(data.size(), 0, 8);
        a.Bytes(data, count);
        a.Field<uint32_t>(used, 0, count);
    }
    std::vector<uint8_t> Saved() const {
        std::vector<uint8_t> bytes;
        StateWriter out(bytes);
        StateArchive::Save(*this, out);
        return bytes;
    }
};

bool Load(Part& part, const std::vector<uint8_t>& bytes) {
    StateReader in(bytes.data(), bytes.size());
    return StateArchive::Load(part, in) && in.Complete();
}

TEST(StateArchive, WritesEachFieldInItsWidthAndReadsItBack) {
    Part source;
    source.mode = 2;
    source.level = -3;
    source.shared = 0xAB;
    source.data = {1, 2, 3};
    source.used = 2;
    const std::vector<uint8_t> expected{0x02, 0xFD, 0xFF, 0xFF, 0xFF, 0xAB, 0x03, 0x00,
                                        0x01, 0x02, 0x03, 0x02, 0x00, 0x00, 0x00};
    ASSERT_EQ(source.Saved(), expected);

    Part copy;
    copy.data = {9, 9, 9, 9, 9};
    ASSERT_TRUE(Load(copy, expected));
    EXPECT_EQ(copy.mode, 2);
    EXPECT_EQ(copy.level, -3);
    EXPECT_EQ(copy.shared.load(), 0xAB);
    EXPECT_EQ(copy.data, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(copy.used, 2u);
}

// A stream that is short, or holds one value out of its range anywhere, changes nothing: not
// the fields read before the bad one either.
TEST(StateArchive, AShortOrOutOfRangeStreamLeavesThePartAsItWas) {
    const std::vector<uint8_t> good{0x01, 0x04, 0x00, 0x00, 0x00, 0x55, 0x02,
                                    0x00, 0x07, 0x08, 0x01, 0x00, 0x00, 0x00};
    Part target;
    target.mode = 3;
    target.level = -1;
    target.shared = 0x11;
    target.data = {4, 5, 6, 7};
    target.used = 4;
    const std::vector<uint8_t> before = target.Saved();

    for (size_t length = 0; length < good.size(); ++length) {
        EXPECT_FALSE(Load(target, std::vector<uint8_t>(good.begin(), good.begin() + length)))
            << length;
        ASSERT_EQ(target.Saved(), before) << "cut to " << length;
    }
    // mode 4; level 6 and -6; 9 bytes of data; a position past the data's 2 bytes.
    for (auto [at, value] :
         {std::pair<size_t, uint8_t>{0, 4}, {1, 6}, {1, 0xFA}, {6, 9}, {10, 3}}) {
        std::vector<uint8_t> bad = good;
        bad[at] = value;
        if (at == 1 && value == 0xFA) bad[2] = bad[3] = bad[4] = 0xFF;
        EXPECT_FALSE(Load(target, bad)) << "byte " << at << " = " << int{value};
        ASSERT_EQ(target.Saved(), before) << "byte " << at << " = " << int{value};
    }
    ASSERT_TRUE(Load(target, good));
    EXPECT_EQ(target.Saved(), good);
}

// A unit and the chip inside it are one commit: a bad line flag after the controller's fields
// leaves the controller as it was too.
TEST(StateArchive, AUnitAndItsChipLoadWholeOrNotAtAll) {
    IfInterrupt source;
    source.PortWrite(0xD7, 0xFF, 0);
    source.PortWrite(0xD4, 0x47, 0);
    std::vector<uint8_t> saved;
    StateWriter out(saved);
    source.SaveState(out);

    IfInterrupt target;
    auto state = [&target] {
        std::vector<uint8_t> bytes;
        StateWriter w(bytes);
        target.SaveState(w);
        return bytes;
    };
    const std::vector<uint8_t> before = state();
    ASSERT_NE(before, saved);
    std::vector<uint8_t> bad = saved;
    bad[bad.size() - 2] = 2;  // the last line flag, which is 0 or 1
    StateReader in(bad.data(), bad.size());
    EXPECT_FALSE(target.LoadState(in));
    EXPECT_EQ(state(), before);

    StateReader good(saved.data(), saved.size());
    ASSERT_TRUE(target.LoadState(good));
    EXPECT_EQ(state(), saved);
}

}  // namespace
