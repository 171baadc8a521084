#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "host/audio/FakeSoundStream.h"
#include "host/audio/SoundDriver.h"

namespace {

// Every block the fixture's tests look at in frames is the first after priming (period 40, one
// of the 88-frame ones) or one of the three after it.
constexpr int kBlock = 88;
constexpr int kRing = SoundRing::kFrames;

// Channel values at 100 % with two channels (volume trunc(100 / 200 * 32767) = 16383), worked out
// by hand as trunc(16383 * share of the level), e.g. 16383 * 0.1977 = 3238.92 -> 3238.
constexpr int16_t kLevel3 = 3238;  // 16383 * 0.1977 = 3238.9191
constexpr int16_t kLevel4 = 3904;  // 16383 * 0.2383 = 3904.0689
constexpr int16_t kLevel5 = 4965;  // 16383 * 0.3031 = 4965.6873
constexpr int16_t kLevel7 = 7257;  // 16383 * 0.443  = 7257.669
constexpr int16_t kLevel9 = 9888;  // 16383 * 0.6036 = 9888.7788
constexpr int16_t kFull = 16383;

// A driver on a fake device whose ring has been primed once and drained, so that each block
// produced from now on is the next one the device plays.
class SoundDriverTest : public ::testing::Test {
  protected:
    void Open(int channels, SoundDriver::Volumes volumes = {100, 100, 100}) {
        driver =
            std::make_unique<SoundDriver>(0, channels, volumes, &shuttingDown, opener.Opener());
        ASSERT_TRUE(driver->IsOpen());
        stream = opener.last;
        for (int i = 0; i < SoundRing::kBlocks; ++i) ASSERT_FALSE(driver->ProduceBlock());
        ASSERT_EQ(stream->starts, 1);
        stream->Pull(static_cast<int>(driver->GetStatistics().framesProduced));
    }

    // Closes the current period's block and returns it as the device hears it.
    std::vector<SoundFrame> NextBlock() {
        const int frames = driver->BlockFrames();
        EXPECT_FALSE(driver->ProduceBlock());
        return stream->Pull(frames);
    }

    std::atomic<bool> shuttingDown{false};
    FakeStreamOpener opener;
    std::unique_ptr<SoundDriver> driver;
    FakeSoundStream* stream = nullptr;
};

TEST_F(SoundDriverTest, LevelChangesLandOnTheFrameOfTheirTick) {
    Open(2);
    ASSERT_EQ(driver->ChannelVolume(0), kFull);  // 100 % of half the range with two channels

    driver->SetLevel(0, 15, 1000);  // frame 88 * 1000 / 4000 = 22
    driver->SetLevel(0, 7, 2999);   // frame 65
    driver->SetLevel(0, 3, 3000);   // frame 66: overrides the change just before only from 66
    std::vector<SoundFrame> block = NextBlock();

    EXPECT_EQ(block[21], (SoundFrame{0, 0}));
    EXPECT_EQ(block[22], (SoundFrame{kFull, kFull}));
    EXPECT_EQ(block[64], (SoundFrame{kFull, kFull}));
    EXPECT_EQ(block[65], (SoundFrame{kLevel7, kLevel7}));
    EXPECT_EQ(block[66], (SoundFrame{kLevel3, kLevel3}));
    EXPECT_EQ(block[87], (SoundFrame{kLevel3, kLevel3}));

    // With no change the next period holds the level; it does not fall back to zero.
    block = NextBlock();
    for (const SoundFrame& f : block) ASSERT_EQ(f.left, kLevel3);
}

TEST_F(SoundDriverTest, FivePeriodsGiveTheDevice441FramesAndTheLongBlockKeepsItsTicks) {
    Open(2);
    const int64_t before = driver->GetStatistics().framesProduced;
    EXPECT_EQ(before, 40 * 441 / 5);  // the priming: 2 ms periods 0 to 39 are 80 ms of 44,100 Hz
    std::vector<int> lengths;
    for (int i = 0; i < 4; ++i) lengths.push_back(static_cast<int>(NextBlock().size()));
    // In the long block tick 3990 of 4000 is frame trunc(89 × 3990 / 4000) = trunc(88.78) = 88,
    // the last; in a block of 88 it would have been frame 87.
    driver->SetLevel(0, 15, 3990);
    const std::vector<SoundFrame> longBlock = NextBlock();
    lengths.push_back(static_cast<int>(longBlock.size()));
    EXPECT_EQ(lengths, (std::vector<int>{88, 88, 88, 88, 89}));
    EXPECT_EQ(longBlock[87].left, 0);
    EXPECT_EQ(longBlock[88].left, kFull);
    // Nothing went missing between the blocks: the device heard each frame once, none held.
    EXPECT_EQ(driver->GetStatistics().framesProduced - before, 441);
    EXPECT_EQ(driver->GetStatistics().framesHeld, 0);
    EXPECT_EQ(NextBlock()[0].left, kFull);
}

TEST_F(SoundDriverTest, EachLevelDrivesItsShareOfFullScaleThroughTheNonLinearStage) {
    Open(2);
    // Level n at tick 250 n lands on frame 88 * 250 n / 4000 = 5.5 n, truncated.
    for (int level = 1; level < 16; ++level) driver->SetLevel(0, level, 250 * level);
    const std::vector<SoundFrame> block = NextBlock();
    // trunc(16383 * share): 1097.661, 2193.6837, 3238.9191, 3904.0689, 4965.6873, 6196.0506,
    // 7257.669, 8786.2029, 9888.7788, 11120.7804, 12223.3563, 12903.2508, 14048.4225,
    // 15237.8283, 16383.
    const int16_t expected[16] = {0,    1097, 2193,  3238,  3904,  4965,  6196,  7257,
                                  8786, 9888, 11120, 12223, 12903, 14048, 15237, 16383};
    const int frame[16] = {0, 5, 11, 16, 22, 27, 33, 38, 44, 49, 55, 60, 66, 71, 77, 82};
    for (int level = 0; level < 16; ++level) {
        EXPECT_EQ(block[frame[level]], (SoundFrame{expected[level], expected[level]})) << level;
        // Up to the next change the level holds.
        const int last = level < 15 ? frame[level + 1] - 1 : 87;
        EXPECT_EQ(block[last].left, expected[level]) << level;
    }

    // The share applies to the channel's own volume: 90 % is trunc(90 / 200 * 32767) = 14745,
    // and level 1 of it trunc(14745 * 0.067) = trunc(987.915) = 987.
    driver->SetVolumes({90, 100, 100});
    driver->SetLevel(0, 1, 0);
    EXPECT_EQ(NextBlock()[0].left, 987);
}

TEST_F(SoundDriverTest, ChangesOnOneFrameLeaveTheLastAndLateChangesStartTheNextBlock) {
    Open(2);
    driver->SetLevel(0, 15, 1000);
    driver->SetLevel(0, 9, 1040);  // still frame 22: the later change wins it
    driver->SetLevel(0, 4, 4000);  // the period is over: nothing more in this block
    std::vector<SoundFrame> block = NextBlock();
    EXPECT_EQ(block[22].left, kLevel9);
    EXPECT_EQ(block[87].left, kLevel9);

    block = NextBlock();
    EXPECT_EQ(block[0].left, kLevel4);
    EXPECT_EQ(block[87].left, kLevel4);
}

TEST_F(SoundDriverTest, ChangeStampedBeforeThePeriodLandsOnItsFirstFrame) {
    Open(2);
    // The tape reports the exact edge, which can lie a few ticks before the period began.
    driver->SetLevel(1, 15, -300);
    std::vector<SoundFrame> block = NextBlock();
    EXPECT_EQ(block[0].left, kFull);
    EXPECT_EQ(block[87].left, kFull);
}

TEST_F(SoundDriverTest, ChannelsAreMixedAndClampedInsteadOfWrappingRound) {
    Open(3);
    int16_t museValue = 32767;
    struct Source {
        int16_t* value;
        void Generate(int16_t* block, int frames) {
            for (int i = 0; i < 2 * frames; ++i) block[i] = (i % 2 == 0) ? *value : -*value;
        }
    } source{&museValue};
    driver->SetGenerator(SoundDriver::Generator::Bind<&Source::Generate>(&source));

    ASSERT_EQ(driver->ChannelVolume(0), 10922);  // trunc(100 / 300 * 32767) = trunc(10922.33)
    driver->SetLevel(0, 15, 0);
    std::vector<SoundFrame> block = NextBlock();
    // The Muse's samples are scaled by volume / 16384, signed:
    // 32767 * 10922 / 16384 = 357881174 / 16384 = 21843.3 -> 21843, and -32767 -> -21843.
    EXPECT_EQ(block[10].left, 10922 + 21843);
    EXPECT_EQ(block[10].right, 10922 - 21843);

    driver->SetLevel(1, 15, 0);
    block = NextBlock();
    // 10922 + 10922 + 21843 does not fit: the mix holds at the top instead of turning negative.
    EXPECT_EQ(block[10].left, 32767);
    EXPECT_EQ(block[10].right, 10922 + 10922 - 21843);

    museValue = -32767;
    driver->SetLevel(0, 0, 0);
    driver->SetLevel(1, 0, 0);
    block = NextBlock();
    EXPECT_EQ(block[10].left, -21843);
}

TEST_F(SoundDriverTest, VolumesShareTheRangeAmongTheChannels) {
    Open(2, {90, 50, 70});
    EXPECT_EQ(driver->ChannelVolume(0), 14745);  // 90 / 200 * 32767 = 14745.15
    EXPECT_EQ(driver->ChannelVolume(1), 8191);   // 50 / 200 * 32767 = 8191.75
    EXPECT_EQ(driver->ChannelVolume(2), 0);      // no third channel

    SoundDriver three(0, 3, {90, 50, 70}, nullptr, opener.Opener());
    EXPECT_EQ(three.ChannelVolume(0), 9830);  // 90 / 300 * 32767 = 9830.1
    EXPECT_EQ(three.ChannelVolume(1), 5461);  // 50 / 300 * 32767 = 5461.17
    EXPECT_EQ(three.ChannelVolume(2), 7645);  // 70 / 300 * 32767 = 7645.63
    three.SetVolumes({250, -4, 100});         // out of range: held to 0..100
    EXPECT_EQ(three.ChannelVolume(0), 10922);
    EXPECT_EQ(three.ChannelVolume(1), 0);
}

TEST_F(SoundDriverTest, MuteSilencesFromTheNextChangeAndUnmuteLikewise) {
    Open(2);
    driver->SetLevel(0, 15, 0);
    NextBlock();

    driver->Mute();
    EXPECT_EQ(driver->ChannelVolume(0), 0);
    std::vector<SoundFrame> block = NextBlock();
    EXPECT_EQ(block[50].left, kFull);  // the held level is not touched
    driver->SetLevel(0, 12, 2000);
    block = NextBlock();
    EXPECT_EQ(block[43].left, kFull);
    EXPECT_EQ(block[44].left, 0);

    driver->Unmute();
    EXPECT_EQ(driver->ChannelVolume(0), kFull);
    block = NextBlock();
    EXPECT_EQ(block[87].left, 0);  // still the value of the last change
    driver->SetLevel(0, 15, 0);
    block = NextBlock();
    EXPECT_EQ(block[0].left, kFull);
}

TEST_F(SoundDriverTest, FullRingSkipsPeriodsUntilTheDeviceTakesABuffer) {
    Open(2);
    for (int i = 0; i < SoundRing::kBlocks; ++i) ASSERT_FALSE(driver->ProduceBlock());
    EXPECT_TRUE(driver->ProduceBlock());
    EXPECT_TRUE(driver->ProduceBlock());
    stream->Pull(880);
    EXPECT_FALSE(driver->ProduceBlock());
    const SoundDriver::Statistics stats = driver->GetStatistics();
    EXPECT_EQ(stats.periodsSkipped, 2);
    EXPECT_EQ(stats.blocksProduced, 2 * SoundRing::kBlocks + 1);
}

TEST_F(SoundDriverTest, UnderrunRepeatsTheLastFramePlayed) {
    Open(2);
    driver->SetLevel(0, 15, 2000);
    driver->ProduceBlock();
    std::vector<SoundFrame> out = stream->Pull(880);
    EXPECT_EQ(out[43].left, 0);
    EXPECT_EQ(out[44].left, kFull);
    for (int i = kBlock; i < 880; ++i) ASSERT_EQ(out[i], (SoundFrame{kFull, kFull})) << i;
    EXPECT_EQ(driver->GetStatistics().framesHeld, 880 - kBlock);
}

TEST_F(SoundDriverTest, PrimingPlaysSilenceAndStartsTheStreamOnceTheRingIsFull) {
    driver = std::make_unique<SoundDriver>(3, 2, SoundDriver::Volumes{100, 100, 100}, nullptr,
                                           opener.Opener());
    stream = opener.last;
    EXPECT_EQ(opener.lastDevice, 3);
    ASSERT_FALSE(driver->ProduceBlock());
    driver->SetLevel(0, 15, 0);  // during the first period: heard from the second block on
    for (int i = 1; i < SoundRing::kBlocks - 1; ++i) ASSERT_FALSE(driver->ProduceBlock());
    EXPECT_EQ(stream->starts, 0);
    // A device that calls early gets silence and takes nothing from the ring.
    std::vector<SoundFrame> early = stream->Pull(100);
    for (const SoundFrame& f : early) ASSERT_EQ(f, SoundFrame{});

    EXPECT_FALSE(driver->ProduceBlock());  // the twentieth block fills the ring
    EXPECT_EQ(stream->starts, 1);
    EXPECT_TRUE(driver->ProduceBlock());
    std::vector<SoundFrame> played = stream->Pull(kRing);
    EXPECT_EQ(played[kBlock - 1].left, 0);
    EXPECT_EQ(played[kBlock].left, kFull);
    EXPECT_EQ(played[kRing - 1].left, kFull);
}

TEST_F(SoundDriverTest, AStreamThatTakesThreeBuffersAtOnceWhenItStartsHearsNoHeldFrame) {
    driver = std::make_unique<SoundDriver>(0, 2, SoundDriver::Volumes{100, 100, 100}, nullptr,
                                           opener.Opener());
    stream = opener.last;
    const int16_t full = driver->ChannelVolume(0);
    driver->SetLevel(0, 15, 0);
    for (int i = 0; i < SoundRing::kBlocks; ++i) ASSERT_FALSE(driver->ProduceBlock());
    ASSERT_EQ(stream->starts, 1);
    // PulseAudio and PipeWire fill their own buffer first: 2640 frames in one go, then 880
    // every 20 ms while the run loop adds 88 per period.
    std::vector<SoundFrame> burst = stream->Pull(3 * 880);
    for (int i = 0; i < 3 * 880; ++i) ASSERT_EQ(burst[i].left, full) << i;
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 10; ++i) driver->ProduceBlock();
        stream->Pull(880);
    }
    EXPECT_EQ(driver->GetStatistics().framesHeld, 0);
    EXPECT_EQ(driver->GetStatistics().framesPrimed, 0);
}

TEST_F(SoundDriverTest, ReprimingHoldsTheLastFrameUntilTheRingIsFullAgain) {
    Open(2);
    const int16_t full = driver->ChannelVolume(0);
    ASSERT_EQ(full, 16383);
    driver->SetLevel(0, 15, 0);
    NextBlock();
    stream->Pull(880);  // drained: the device holds the level it heard last

    driver->Reprime();
    driver->SetLevel(0, 5, 0);
    for (int i = 0; i < SoundRing::kBlocks - 1; ++i) ASSERT_FALSE(driver->ProduceBlock());
    // Neither silence (a click) nor the few blocks made so far, each followed by a hold.
    std::vector<SoundFrame> out = stream->Pull(880);
    for (const SoundFrame& f : out) ASSERT_EQ(f.left, full);
    EXPECT_EQ(driver->GetStatistics().framesPrimed, 880);
    EXPECT_FALSE(driver->ProduceBlock());  // full: primed
    out = stream->Pull(kRing);
    for (const SoundFrame& f : out) ASSERT_EQ(f.left, kLevel5);
    EXPECT_EQ(driver->GetStatistics().framesPrimed, 880);
}

TEST_F(SoundDriverTest, PauseStopsTheStreamAndResumeReplaysOnlyAfterTheRingRefills) {
    Open(2);
    driver->SetLevel(0, 15, 0);
    driver->PauseStream();
    EXPECT_EQ(stream->stops, 1);
    driver->PauseStream();  // already stopped: nothing to do
    EXPECT_EQ(stream->stops, 1);

    driver->ResumeStream();
    EXPECT_EQ(stream->starts, 2);
    for (int i = 0; i < 5; ++i) driver->ProduceBlock();
    std::vector<SoundFrame> out = stream->Pull(880);
    for (const SoundFrame& f : out) ASSERT_EQ(f, SoundFrame{});  // primed again: silence
    for (int i = 5; i < SoundRing::kBlocks; ++i) driver->ProduceBlock();
    EXPECT_EQ(stream->starts, 2);  // it runs already; filling the ring only ends the priming
    out = stream->Pull(880);
    EXPECT_EQ(out[0].left, kFull);
}

TEST_F(SoundDriverTest, ResumingWithAFullRingPlaysOnWithoutAHole) {
    Open(2);
    driver->SetLevel(0, 15, 0);
    for (int i = 0; i < SoundRing::kBlocks; ++i) driver->ProduceBlock();
    driver->PauseStream();
    driver->ResumeStream();
    std::vector<SoundFrame> out = stream->Pull(880);
    EXPECT_EQ(out[0].left, kFull);
    EXPECT_FALSE(driver->ProduceBlock());
    out = stream->Pull(880);  // ten blocks left and one new: no return to silence
    for (const SoundFrame& f : out) ASSERT_EQ(f.left, kFull);
}

TEST_F(SoundDriverTest, AStalledDeviceStopsPacingAfterHalfASecond) {
    Open(2);
    for (int i = 0; i < SoundRing::kBlocks; ++i) driver->ProduceBlock();
    for (int i = 0; i < SoundDriver::kStallPeriods; ++i) ASSERT_TRUE(driver->ProduceBlock()) << i;
    // The device has taken nothing for 250 periods: the machine runs on, its blocks dropped.
    EXPECT_FALSE(driver->ProduceBlock());
    EXPECT_FALSE(driver->ProduceBlock());
    EXPECT_EQ(driver->GetStatistics().blocksProduced, 2 * SoundRing::kBlocks);
    // Once the device takes again, pacing resumes.
    stream->Pull(880);
    for (int i = 0; i < 10; ++i) ASSERT_FALSE(driver->ProduceBlock());
    EXPECT_TRUE(driver->ProduceBlock());
}

TEST_F(SoundDriverTest, ADeviceThatWillNotOpenLeavesEveryOperationANoOp) {
    opener.refuse = true;
    SoundDriver closed(7, 3, {90, 90, 90}, nullptr, opener.Opener());
    EXPECT_FALSE(closed.IsOpen());
    EXPECT_EQ(opener.lastDevice, 7);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(closed.ChannelVolume(c), 0);
    closed.SetVolumes({100, 100, 100});
    EXPECT_EQ(closed.ChannelVolume(0), 0);
    closed.SetLevel(0, 15, 0);
    for (int i = 0; i < 40; ++i) ASSERT_FALSE(closed.ProduceBlock());
    closed.PauseStream();
    closed.ResumeStream();
    std::vector<SoundFrame> out(16, SoundFrame{5, 5});
    closed.FillOutput(out.data(), out.size());
    for (const SoundFrame& f : out) EXPECT_EQ(f, SoundFrame{});
    EXPECT_EQ(closed.GetStatistics().blocksProduced, 0);
}

TEST_F(SoundDriverTest, ShuttingDownStopsProducingAndSilencesTheDevice) {
    Open(2);
    driver->SetLevel(0, 15, 0);
    driver->ProduceBlock();
    shuttingDown = true;
    driver->SetLevel(0, 3, 0);
    EXPECT_FALSE(driver->ProduceBlock());
    std::vector<SoundFrame> out = stream->Pull(kBlock);
    for (const SoundFrame& f : out) EXPECT_EQ(f, SoundFrame{});
    EXPECT_EQ(driver->GetStatistics().blocksProduced, SoundRing::kBlocks + 1);
}

TEST(SoundRingTest, PullsOfAnySizeWrapRoundTheRingInOrderAndNeverLoseAFrame) {
    SoundRing ring;
    std::vector<SoundFrame> block(SoundRing::kMaxFramesPerBlock);
    int16_t next = 0;
    int16_t expected = 0;
    int pushes = 0;
    for (int round = 0; round < 9; ++round) {
        while (!ring.Full()) {
            // Blocks of 88 and 89 frames, as the periods give them, wrap round the ring's end
            // at every place.
            const int length = ++pushes % 5 == 0 ? 89 : 88;
            for (int i = 0; i < length; ++i) {
                block[static_cast<size_t>(i)] = {next, static_cast<int16_t>(-next)};
                ++next;
            }
            ring.Push(block.data(), length);
        }
        EXPECT_GT(ring.Buffered(), SoundRing::kFrames - SoundRing::kMaxFramesPerBlock);
        EXPECT_TRUE(ring.Push(block.data(), 88));  // refused: nothing unplayed is overwritten
        std::vector<SoundFrame> out(333 + 100 * round);
        const int taken = ring.Pull(out.data(), static_cast<int>(out.size()));
        ASSERT_EQ(taken, static_cast<int>(out.size()));
        for (const SoundFrame& f : out) {
            ASSERT_EQ(f.left, expected);
            ASSERT_EQ(f.right, -expected);
            ++expected;
        }
    }
    // Drained: the last frame is held.
    std::vector<SoundFrame> out(SoundRing::kFrames + 50);
    const int taken = ring.Pull(out.data(), static_cast<int>(out.size()));
    EXPECT_EQ(out.back().left, static_cast<int16_t>(next - 1));
    EXPECT_EQ(out[taken - 1], out.back());
    EXPECT_EQ(ring.Buffered(), 0);
}

}  // namespace
