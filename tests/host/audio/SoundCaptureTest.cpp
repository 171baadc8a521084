#include "host/audio/SoundCapture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Collected {
    std::vector<SoundFrame> frames;
    SoundCapture::Sink Sink() {
        return [this](const SoundFrame* f, int n) { frames.insert(frames.end(), f, f + n); };
    }
};

// Speaker and tape at 100 % of two channels: level 15 is half of full scale, 16383.
constexpr int16_t kHigh = 16383;

TEST(SoundCapture, EveryEmulatedFrameLandsWhereItsTickSaysAtAnySpeed) {
    Collected out;
    SoundCapture capture(2, {100, 100, 0}, out.Sink());

    // Normal speed: tick 1000 of 4000 is frame 22 of 88.
    capture.SetLevel(0, 15, 1000);
    capture.EndPeriod(4000);
    // One and a half times as fast: 6000 ticks, 132 frames; tick 5000 is 9000 from the start,
    // frame 198.
    capture.SetLevel(0, 0, 5000);
    capture.EndPeriod(6000);
    // A quarter speed: 1000 ticks, 22 frames. The tape's edge lies 500 ticks before the period
    // (frame 209, already written): it is heard from the period's first frame, 220. The
    // speaker's change at tick 1500 lies past this period's end (frame 253): the next one has it.
    capture.SetLevel(1, 15, -500);
    capture.SetLevel(0, 15, 1500);
    capture.EndPeriod(1000);
    capture.EndPeriod(4000);

    // 15,000 ticks are 7.5 ms: 330 frames at 44,000 a second.
    ASSERT_EQ(out.frames.size(), 330u);
    EXPECT_EQ(capture.FramesDone(), 330);
    auto expected = [](int frame) -> int16_t {
        const int speaker = (frame >= 22 && frame < 198) || frame >= 253 ? kHigh : 0;
        const int tape = frame >= 220 ? kHigh : 0;
        return static_cast<int16_t>(speaker + tape);
    };
    for (int i = 0; i < 330; ++i) {
        ASSERT_EQ(out.frames[static_cast<size_t>(i)].left, expected(i)) << "frame " << i;
        ASSERT_EQ(out.frames[static_cast<size_t>(i)].right, expected(i)) << "frame " << i;
    }
}

// A Muse board whose every sample is its running frame number (left) and its negation (right).
struct RampBoard {
    int next = 0;
    int asked = 0;
    void Generate(int16_t* block, int frames) {
        asked += frames;
        for (int i = 0; i < frames; ++i, ++next) {
            block[2 * i] = static_cast<int16_t>(next);
            block[2 * i + 1] = static_cast<int16_t>(-next);
        }
    }
};

TEST(SoundCapture, TheMuseAdvancesOnceAndTheDriverHearsTheSameFrames) {
    Collected out;
    RampBoard board;
    SoundCapture capture(3, {0, 0, 100}, out.Sink());
    capture.SetGenerator(SoundGenerator::Bind<&RampBoard::Generate>(&board));
    capture.EndPeriod(4000);
    capture.EndPeriod(8000);  // double speed: 176 frames at once
    EXPECT_EQ(board.asked, 264);

    // The Muse's share of three channels at 100 %: 10922; a sample s is heard as s × 10922 /
    // 16384.
    ASSERT_EQ(out.frames.size(), 264u);
    for (int n : {0, 87, 88, 263}) {
        EXPECT_EQ(out.frames[static_cast<size_t>(n)].left, n * 10922 / 16384) << n;
        EXPECT_EQ(out.frames[static_cast<size_t>(n)].right, -n * 10922 / 16384) << n;
    }
    // The driver's block is the newest 88 frames, unscaled (it scales them itself), and asking
    // for it does not move the board on.
    std::vector<int16_t> block(2 * 88);
    capture.ReplayMuse(block.data(), 88);
    EXPECT_EQ(block[0], 176);
    EXPECT_EQ(block[2 * 87], 263);
    EXPECT_EQ(block[2 * 87 + 1], -263);
    // One period in five the driver's block is 89 frames long: it reaches one frame further back.
    std::vector<int16_t> longer(2 * 89);
    capture.ReplayMuse(longer.data(), 89);
    EXPECT_EQ(longer[0], 175);
    EXPECT_EQ(longer[2 * 88], 263);
    EXPECT_EQ(board.asked, 264);
}

}  // namespace
