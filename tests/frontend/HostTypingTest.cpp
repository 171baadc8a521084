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
    // The headless loop scans the keyboard after every update.
    auto update = [&](int64_t ms) {
        typist.Update(ms, keys);
        keys.ScanDone();
    };
    update(99);
    EXPECT_FALSE(keys.IsDown('H'));
    update(100);
    EXPECT_TRUE(keys.IsDown('H'));
    EXPECT_TRUE(keys.IsDown(0x10)) << "shift for the capital";
    update(139);
    EXPECT_TRUE(keys.IsDown('H'));
    update(140);
    EXPECT_FALSE(keys.IsDown('H'));
    EXPECT_FALSE(keys.IsDown(0x10));
    update(180);
    EXPECT_TRUE(keys.IsDown('I'));
    EXPECT_FALSE(keys.IsDown(0x10));
    update(1000);
    EXPECT_FALSE(keys.IsDown('I'));
    EXPECT_TRUE(typist.Done());
    EXPECT_EQ(typist.EndMs(), 260);

    // A text due while another is typed waits for it: "ab" from 100 takes until 260.
    HostTypist queue;
    queue.Add("ab", 100);
    queue.Add("C", 120);
    auto queued = [&](int64_t ms) {
        queue.Update(ms, keys);
        keys.ScanDone();
    };
    queued(130);
    EXPECT_TRUE(keys.IsDown('A'));
    EXPECT_FALSE(keys.IsDown(0x10)) << "no Shift of the later text on this key";
    EXPECT_FALSE(keys.IsDown('C'));
    queued(259);
    EXPECT_FALSE(keys.IsDown('C'));
    queued(260);
    EXPECT_TRUE(keys.IsDown('C'));
    EXPECT_TRUE(keys.IsDown(0x10));
    EXPECT_EQ(queue.EndMs(), 340);
    // One due later than that starts at its own time.
    queue.Add("d", 500);
    queued(499);
    EXPECT_FALSE(keys.IsDown('D'));
    queued(500);
    EXPECT_TRUE(keys.IsDown('D'));
}

}  // namespace
