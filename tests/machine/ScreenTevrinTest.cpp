#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "machine/ChipMemory.h"
#include "machine/MemoryLayout.h"
#include "machine/MemoryOrganizer.h"
#include "machine/ScreenPalette.h"
#include "machine/ScreenRenderer.h"
#include "machine/ScreenTevrin.h"
#include "support/VideoPlanes.h"

namespace {

// Port addresses as the processor decodes them: ports CC-CF.
constexpr uint8_t kColourPorts[] = {0xCC, 0xCD, 0xCE, 0xCF};

TEST(ScreenTevrin, ColourRegisterKeepsFourBitsFromAnyOfItsPortsAndResetClearsBoth) {
    ScreenTevrin screen;
    EXPECT_EQ(screen.DeviceType(), kDeviceScreen);
    for (uint8_t port : kColourPorts) {
        screen.PortWrite(port, static_cast<uint8_t>(0xF0 | (port & 0x0F)), 0);
        EXPECT_EQ(screen.ColourRegister(), port & 0x0F);
        EXPECT_EQ(screen.PortRead(port, 0), 0xFF);
    }
    screen.SetScroll(0x9A);
    EXPECT_EQ(screen.ScrollRegister(), 0x9A);
    screen.Reset(0);
    EXPECT_EQ(screen.ColourRegister(), 0);
    EXPECT_EQ(screen.ScrollRegister(), 0);
}

// The RAM block of the machine seen through the paging unit: window n shows page E0 + n, so
// address 0xA000 is the first byte of the green plane (page EA).
class ColourWrite : public ::testing::Test {
  protected:
    static constexpr uint16_t kGreenAddress = 0xA000;
    static constexpr uint16_t kRedAddress = 0x6000;
    static constexpr uint16_t kBlueAddress = 0xE000;

    ColourWrite() : memory(organizer) {}

    void SetUp() override {
        ASSERT_TRUE(memory.AllocatePages(layout::kRamFirstPage, layout::kRamPages, false));
        for (int w = 0; w < 16; ++w) organizer.SetPageRegister(w, static_cast<uint8_t>(0xE0 + w));
        organizer.EnablePaging();
        ASSERT_TRUE(screen.InstallColourWrite(memory));
    }

    void Preset(uint16_t offset, uint8_t red, uint8_t green, uint8_t blue) {
        memory.PagePointer(0xE6)[offset] = red;
        memory.PagePointer(0xE6)[offset + 0x4000] = green;
        memory.PagePointer(0xE6)[offset + 0x8000] = blue;
    }
    std::tuple<int, int, int> Planes(uint16_t offset) const {
        const uint8_t* red = memory.PagePointer(0xE6);
        return {red[offset], red[offset + 0x4000], red[offset + 0x8000]};
    }

    MemoryOrganizer organizer;
    ChipMemory memory;
    ScreenTevrin screen;
};

TEST_F(ColourWrite, PaintsTheSetBitsInTheRegisterColourOnAllPlanes) {
    // Red and green in colour-write mode: 0x0F makes the low four pixels yellow, the others keep
    // whatever each plane had.
    Preset(0x0123, 0xA0, 0x50, 0xFF);
    screen.PortWrite(0xCC, 0x0B, 0);
    memory.Write(kGreenAddress + 0x0123, 0x0F);
    EXPECT_EQ(Planes(0x0123), std::make_tuple(0xAF, 0x5F, 0xF0));
    EXPECT_FALSE(memory.Fault());

    std::vector<uint8_t> picture(256 * 256);
    screen::RenderPlanes(memory.PagePointer(0xE6), screen.ScrollRegister(), false, false,
                         picture.data());
    const uint8_t* row = picture.data() + (0x0123 / 32) * 256 + (0x0123 % 32) * 8;
    const uint8_t expected[8] = {3, 5, 3, 5, 6, 6, 6, 6};  // magenta, cyan, …, then yellow
    EXPECT_EQ(0, std::memcmp(row, expected, 8));
}

TEST_F(ColourWrite, ReachesTheSecondGreenPageAndClearsWithColourBlack) {
    Preset(0x1FFF, 0xFF, 0xFF, 0xFF);
    screen.PortWrite(0xCF, 0x08, 0);  // colour-write mode, black
    memory.Write(kGreenAddress + 0x1FFF, 0x81);
    EXPECT_EQ(Planes(0x1FFF), std::make_tuple(0x7E, 0x7E, 0x7E));

    screen.PortWrite(0xCF, 0x0C, 0);  // blue
    memory.Write(kGreenAddress + 0x1FFF, 0x01);
    EXPECT_EQ(Planes(0x1FFF), std::make_tuple(0x7E, 0x7E, 0x7F));
}

TEST_F(ColourWrite, ModeOffStoresTheByteInTheGreenPlaneOnly) {
    Preset(0x0040, 0x11, 0x22, 0x33);
    screen.PortWrite(0xCC, 0x07, 0);
    memory.Write(kGreenAddress + 0x0040, 0xC3);
    EXPECT_EQ(Planes(0x0040), std::make_tuple(0x11, 0xC3, 0x33));
}

TEST_F(ColourWrite, TheRedAndBluePlanesAreOrdinaryRam) {
    Preset(0x0040, 0x11, 0x22, 0x33);
    screen.PortWrite(0xCC, 0x0F, 0);
    memory.Write(kRedAddress + 0x0040, 0x01);
    memory.Write(kBlueAddress + 0x0040, 0x02);
    EXPECT_EQ(Planes(0x0040), std::make_tuple(0x01, 0x22, 0x02));
}

TEST(ScreenTevrinInstall, RefusesPlanesThatAreNotOneBlock) {
    // Separately allocated planes need not lie 0x4000 apart; the hook's arithmetic would then
    // write outside them, so it is not installed and green writes stay ordinary.
    MemoryOrganizer organizer;
    ChipMemory memory(organizer);
    ASSERT_TRUE(memory.AllocatePages(0xEE, 2, false));
    ASSERT_TRUE(memory.AllocatePages(0xEA, 2, false));
    ASSERT_TRUE(memory.AllocatePages(0xE6, 2, false));
    for (int w = 0; w < 16; ++w) organizer.SetPageRegister(w, static_cast<uint8_t>(0xE0 + w));
    organizer.EnablePaging();
    ScreenTevrin screen;
    EXPECT_FALSE(screen.InstallColourWrite(memory));
    screen.PortWrite(0xCC, 0x0F, 0);
    memory.Write(0xA000, 0x55);
    EXPECT_EQ(memory.PagePointer(0xEA)[0], 0x55);
    EXPECT_EQ(memory.PagePointer(0xE6)[0], 0x00);
    EXPECT_EQ(memory.PagePointer(0xEE)[0], 0x00);

    MemoryOrganizer emptyOrganizer;
    ChipMemory empty(emptyOrganizer);
    EXPECT_FALSE(screen.InstallColourWrite(empty));
}

// The fast renderer against the pixel-by-pixel picture, over random planes and the scroll
// values where wrapping could go wrong.
class RenderMatchesReference
    : public ::testing::TestWithParam<std::tuple<int /*scroll*/, bool /*grey*/, bool /*doubled*/>> {
};

TEST_P(RenderMatchesReference, EveryPixel) {
    auto [scroll, grey, doubled] = GetParam();
    VideoPlanes planes;
    planes.FillRandom(static_cast<unsigned>(scroll * 4 + grey * 2 + doubled));
    const int width = doubled ? 512 : 256;
    std::vector<uint8_t> out(static_cast<size_t>(width) * width, 0xEE);
    screen::RenderPlanes(planes.Red(), static_cast<uint8_t>(scroll), grey, doubled, out.data());
    std::vector<uint8_t> expected = planes.Expected(static_cast<uint8_t>(scroll), grey, doubled);
    for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_EQ(out[i], expected[i]) << "pixel " << i % width << "," << i / width;
    }
}

INSTANTIATE_TEST_SUITE_P(Renders, RenderMatchesReference,
                         ::testing::Combine(::testing::Values(0, 1, 128, 255), ::testing::Bool(),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             return "Scroll" + std::to_string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) ? "Grey" : "Colour") +
                                    (std::get<2>(info.param) ? "Doubled" : "Single");
                         });

}  // namespace
