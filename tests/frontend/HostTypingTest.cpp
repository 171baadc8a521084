#include <gtest/gtest.h>

#include "frontend/HostTyping.h"
#include "support/MachineFixture.h"

namespace {

TEST(HostTypist, TypesLikeAUsKeyboardInEmulatedTime) {
    EXPECT_EQ(HostTypist::StrokeFor('a').key, 'A');
    EXPECT_FALSE(HostTypist::StrokeFor('a').shift);
    EXPECT_TRUE(HostTypist::StrokeFor('Q').shift);
    EXPECT_EQ(HostTypist::StrokeFor('!').key, '1');
    EXPECT_TRUE(HostTypist::StrokeFor('!').shift);
    EXPECT_EQ(HostTypist::StrokeFor(':').key, 0xBA);
    EXPECT_TRUE(HostTypist::StrokeFor(':').shift);
    EXPECT_EQ(HostTypist::StrokeFor('\n').key, 0x0D);
    EXPECT_EQ(HostTypist::StrokeFor('\x01').key, 0) << "no key for it";

    HostKeyboardState keys;
    HostTypist typist("Hi", 100);
    typist.Update(99, keys);
    EXPECT_FALSE(keys.IsDown('H'));
    typist.Update(100, keys);
    EXPECT_TRUE(keys.IsDown('H'));
    EXPECT_TRUE(keys.IsDown(0x10)) << "shift for the capital";
    typist.Update(139, keys);
    EXPECT_TRUE(keys.IsDown('H'));
    typist.Update(140, keys);
    EXPECT_FALSE(keys.IsDown('H'));
    EXPECT_FALSE(keys.IsDown(0x10));
    typist.Update(180, keys);
    EXPECT_TRUE(keys.IsDown('I'));
    EXPECT_FALSE(keys.IsDown(0x10));
    typist.Update(1000, keys);
    EXPECT_FALSE(keys.IsDown('I'));
    EXPECT_TRUE(typist.Done());
    EXPECT_EQ(typist.EndMs(), 260);
}

}  // namespace
