#include <gtest/gtest.h>

#include <vector>

#include "machine/ChipSAA1099.h"
#include "machine/StateStream.h"

namespace {

// Tones, noise and both envelopes running: a chip restored from what another saved in the
// middle of it makes the same samples from then on, and a damaged state changes nothing.
TEST(SoundChipState, ARestoredSaa1099PlaysOnSampleForSample) {
    ChipSAA1099 chip;
    chip.PowerOn();
    const uint8_t writes[][2] = {{0x00, 0xFF}, {0x01, 0x3C}, {0x02, 0x88}, {0x08, 0x40},
                                 {0x09, 0xC0}, {0x0A, 0x10}, {0x10, 0x53}, {0x11, 0x04},
                                 {0x14, 0x3F}, {0x15, 0x07}, {0x16, 0x12}, {0x18, 0x8E},
                                 {0x19, 0x9A}, {0x1C, 0x01}};
    for (const auto& w : writes) {
        chip.WriteAddress(w[0]);
        chip.WriteData(w[1]);
    }
    std::vector<int16_t> before(2 * 1234);
    chip.Generate(before.data(), 1234);

    std::vector<uint8_t> saved;
    StateWriter writer(saved);
    chip.SaveState(writer);
    ChipSAA1099 restored;
    restored.PowerOn();
    StateReader reader(saved.data(), saved.size());
    ASSERT_TRUE(restored.LoadState(reader));
    EXPECT_TRUE(reader.Complete());

    std::vector<int16_t> expected(2 * 20000), got(2 * 20000);
    chip.Generate(expected.data(), 20000);
    restored.Generate(got.data(), 20000);
    EXPECT_EQ(got, expected);
    EXPECT_NE(expected, std::vector<int16_t>(expected.size(), 0)) << "the chip was silent";

    // A noise register of zeros never shifts out anything: no chip holds it.
    ChipSAA1099 untouched;
    untouched.PowerOn();
    std::vector<uint8_t> damaged = saved;
    const size_t noiseShift = 6 * (8 + 3) + 8;
    for (size_t i = 0; i < 4; ++i) damaged[noiseShift + i] = 0;
    StateReader bad(damaged.data(), damaged.size());
    EXPECT_FALSE(untouched.LoadState(bad));
    std::vector<uint8_t> after;
    StateWriter check(after);
    untouched.SaveState(check);
    ChipSAA1099 fresh;
    fresh.PowerOn();
    std::vector<uint8_t> freshState;
    StateWriter freshWriter(freshState);
    fresh.SaveState(freshWriter);
    EXPECT_EQ(after, freshState);
}

}  // namespace
