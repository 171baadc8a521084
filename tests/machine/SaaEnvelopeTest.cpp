#include <gtest/gtest.h>

#include <vector>

#include "machine/SaaEnvelope.h"

namespace {

constexpr uint8_t kEnable = 0x80, kThreeBit = 0x10, kInvertRight = 0x01;

uint8_t Control(SaaEnvelope::Shape shape, uint8_t extra = 0) {
    return static_cast<uint8_t>(kEnable | (shape << 1) | extra);
}

// The left level before the first clock and after each of `clocks` clocks.
std::vector<int> Trace(SaaEnvelope& envelope, int clocks) {
    std::vector<int> levels{envelope.LeftLevel()};
    for (int i = 0; i < clocks; ++i) {
        envelope.Clock();
        levels.push_back(envelope.LeftLevel());
    }
    return levels;
}

std::vector<int> Up(bool threeBit) {
    std::vector<int> r;
    for (int p = 0; p < 16; p += threeBit ? 2 : 1) r.push_back(p);
    return r;
}

std::vector<int> Down(bool threeBit) {
    std::vector<int> r;
    for (int p = 0; p < 16; p += threeBit ? 2 : 1) r.push_back((15 - p) & (threeBit ? 14 : 15));
    return r;
}

std::vector<int> Hold(int level, int count) {
    return std::vector<int>(static_cast<size_t>(count), level);
}

std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> r;
    for (const auto& p : parts) r.insert(r.end(), p.begin(), p.end());
    return r;
}

struct ShapeCase {
    SaaEnvelope::Shape shape;
    bool threeBit;
};

class SaaEnvelopeShapeTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(SaaEnvelopeShapeTest, FollowsItsShapeStepByStep) {
    const auto [shape, threeBit] = GetParam();
    SaaEnvelope envelope;
    envelope.PowerOn();
    envelope.WriteControl(Control(shape, threeBit ? kThreeBit : 0));
    const int phase = threeBit ? 8 : 16;
    const std::vector<int> up = Up(threeBit), down = Down(threeBit);

    std::vector<int> expected;
    switch (shape) {
        case SaaEnvelope::kZero: expected = Hold(0, 3 * phase); break;
        case SaaEnvelope::kMaximum: expected = Hold(threeBit ? 14 : 15, 3 * phase); break;
        case SaaEnvelope::kSingleDecay: expected = Join({down, Hold(0, 2 * phase)}); break;
        case SaaEnvelope::kRepetitiveDecay: expected = Join({down, down, down}); break;
        case SaaEnvelope::kSingleTriangle: expected = Join({up, down, Hold(0, phase)}); break;
        case SaaEnvelope::kRepetitiveTriangle: expected = Join({up, down, up}); break;
        case SaaEnvelope::kSingleAttack: expected = Join({up, Hold(0, 2 * phase)}); break;
        case SaaEnvelope::kRepetitiveAttack: expected = Join({up, up, up}); break;
    }
    EXPECT_EQ(Trace(envelope, 3 * phase - 1), expected);
}

std::vector<ShapeCase> AllShapes() {
    std::vector<ShapeCase> cases;
    for (int s = 0; s < 8; ++s) {
        cases.push_back({static_cast<SaaEnvelope::Shape>(s), false});
        cases.push_back({static_cast<SaaEnvelope::Shape>(s), true});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(AllShapesAndResolutions, SaaEnvelopeShapeTest,
                         ::testing::ValuesIn(AllShapes()),
                         [](const ::testing::TestParamInfo<ShapeCase>& info) {
                             return "Shape" + std::to_string(info.param.shape) +
                                    (info.param.threeBit ? "ThreeBit" : "FourBit");
                         });

TEST(SaaEnvelopeTest, RightSideMirrorsTheLeftWhenInverted) {
    SaaEnvelope envelope;
    envelope.PowerOn();
    envelope.WriteControl(Control(SaaEnvelope::kRepetitiveAttack, kInvertRight));
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(envelope.RightLevel(), 15 - envelope.LeftLevel());
        envelope.Clock();
    }
    envelope.WriteControl(0);
    envelope.WriteControl(Control(SaaEnvelope::kRepetitiveAttack, kInvertRight | kThreeBit));
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(envelope.RightLevel(), (15 - envelope.LeftLevel()) & 14);
        envelope.Clock();
    }
}

TEST(SaaEnvelopeTest, ANewShapeWaitsForTheEndOfTheRunningPhase) {
    SaaEnvelope envelope;
    envelope.PowerOn();
    envelope.WriteControl(Control(SaaEnvelope::kRepetitiveDecay));
    for (int i = 0; i < 5; ++i) envelope.Clock();
    EXPECT_EQ(envelope.LeftLevel(), 10);
    envelope.WriteControl(Control(SaaEnvelope::kRepetitiveAttack));
    EXPECT_EQ(Trace(envelope, 12), Join({{10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}, {0, 1}}));

    // A disabled envelope takes a new setting at once.
    envelope.WriteControl(0);
    EXPECT_FALSE(envelope.Enabled());
    envelope.WriteControl(Control(SaaEnvelope::kSingleDecay));
    EXPECT_EQ(envelope.LeftLevel(), 15);

    // A held level has no phase to finish: the next clock brings the new shape.
    envelope.WriteControl(0);
    envelope.WriteControl(Control(SaaEnvelope::kMaximum));
    envelope.WriteControl(Control(SaaEnvelope::kSingleDecay));
    EXPECT_EQ(envelope.LeftLevel(), 15);
    envelope.Clock();
    EXPECT_EQ(envelope.LeftLevel(), 15);
    envelope.Clock();
    EXPECT_EQ(envelope.LeftLevel(), 14);
}

}  // namespace
