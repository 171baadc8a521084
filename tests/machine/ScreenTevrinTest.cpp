#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "machine/ChipMemory.h"
#include "machine/MemoryLayout.h"
#include "machine/MemoryOrganizer.h"
#include "machine/ScreenRenderer.h"
#include "machine/ScreenTevrin.h"
#include "support/VideoPlanes.h"

namespace {

// Port addresses as the processor decodes them: ports CC-CF.
constexpr uint8_t kColourPorts[] = {0xCC, 0xCD, 0xCE, 0xCF};

TEST(ScreenTevrin, StartsInColourWithNoModeAndTheFitMapping) {
    ScreenTevrin screen;
    EXPECT_EQ(screen.Mode(), ScreenTevrin::kModeNone);
    EXPECT_EQ(screen.DeviceType(), kDeviceScreen);
    EXPECT_EQ(screen.Width(), 256);
    EXPECT_EQ(screen.Height(), 256);
    EXPECT_FALSE(screen.Doubled());
    EXPECT_TRUE(screen.ColourProfile());
    EXPECT_FALSE(screen.FullScreenDoubled());
    EXPECT_EQ(screen.FullScreenFit(), screen::kFitFit);
    EXPECT_EQ(screen.ColourRegister(), 0);
    EXPECT_EQ(screen.ScrollRegister(), 0);
}

TEST(ScreenTevrin, ColourRegisterKeepsFourBitsFromAnyOfItsPortsAndResetClearsBoth) {
    ScreenTevrin screen;
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

TEST(ScreenTevrin, BitmapSizeFollowsTheMode) {
    ScreenTevrin screen(ScreenTevrin::kModeNormal);
    EXPECT_EQ(screen.Width(), 256);
    EXPECT_TRUE(screen.ChangeMode(ScreenTevrin::kModeDouble));
    EXPECT_TRUE(screen.Doubled());
    EXPECT_EQ(screen.Width(), 512);
    EXPECT_EQ(screen.Height(), 512);
    EXPECT_FALSE(screen.ChangeMode(ScreenTevrin::kModeDouble)) << "same mode: nothing to do";

    // Full screen takes its size from the full-screen setting, not from the window's size.
    EXPECT_TRUE(screen.ChangeMode(ScreenTevrin::kModeFullScreen, {0, 0, 1920, 1080}));
    EXPECT_TRUE(screen.InFullScreen());
    EXPECT_EQ(screen.Width(), 256);
    EXPECT_FALSE(screen.Doubled());
    EXPECT_EQ(screen.Monitor(), (screen::Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(screen.Mapping(), screen::MapFullScreen(1920, 1080, 256, 256, screen::kFitFit));

    screen.SetFullScreenDoubled(true);
    screen.SetFullScreenFit(screen::kFitCentre);
    EXPECT_EQ(screen.Width(), 256) << "full-screen settings wait for the next entry";
    EXPECT_TRUE(screen.ChangeMode(ScreenTevrin::kModeNormal));
    EXPECT_EQ(screen.Width(), 256);
    EXPECT_TRUE(screen.ChangeMode(ScreenTevrin::kModeFullScreen, {1920, 0, 1280, 1024}));
    EXPECT_EQ(screen.Width(), 512);
    EXPECT_TRUE(screen.Doubled());
    EXPECT_EQ(screen.Mapping().destination, (screen::Rect{384, 256, 512, 512}));
}

TEST(ScreenTevrin, SettersRefuseNonsense) {
    ScreenTevrin screen;
    screen.SetFullScreenFit(9);
    EXPECT_EQ(screen.FullScreenFit(), screen::kFitFit);
    screen.SetFullScreenFit(-1);
    EXPECT_EQ(screen.FullScreenFit(), screen::kFitFit);
    screen.SetBorder(-5);
    EXPECT_EQ(screen.Border(), 0);
    screen.SetBitmapMode(17);
    EXPECT_EQ(screen.Mode(), ScreenTevrin::kModeNormal);
    EXPECT_EQ(screen.Width(), 256);
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

    screen.Render(memory.PagePointer(0xE6));
    auto lock = screen.LockPicture();
    const uint8_t* row = screen.Pixels() + (0x0123 / 32) * 256 + (0x0123 % 32) * 8;
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

class ScreenPicture256 : public ::testing::Test {
  protected:
    uint8_t PixelAt(int x, int y) {
        auto lock = screen.LockPicture();
        return screen.Pixels()[static_cast<size_t>(y) * screen.Width() + x];
    }
    ScreenTevrin screen{ScreenTevrin::kModeNormal};
    VideoPlanes planes;
};

TEST_F(ScreenPicture256, ScrollOneShowsRowOneOnTopAndRowZeroAtTheBottom) {
    planes.SetPixel(0, 0, VideoPlanes::kRed);
    planes.SetPixel(0, 1, VideoPlanes::kBlue);
    planes.SetPixel(0, 255, VideoPlanes::kGreen);
    screen.SetScroll(1);
    screen.Render(planes.Red());
    EXPECT_EQ(PixelAt(0, 0), 1);    // blue, row 1
    EXPECT_EQ(PixelAt(0, 254), 4);  // green, row 255
    EXPECT_EQ(PixelAt(0, 255), 2);  // red, row 0
}

TEST_F(ScreenPicture256, GreyProfileRanksGreenAboveRedAboveBlue) {
    planes.SetPixel(0, 0, VideoPlanes::kGreen);
    planes.SetPixel(1, 0, VideoPlanes::kRed);
    planes.SetPixel(2, 0, VideoPlanes::kBlue);
    planes.SetPixel(3, 0, VideoPlanes::kRed | VideoPlanes::kGreen | VideoPlanes::kBlue);
    screen.SetColourProfile(false);
    screen.Render(planes.Red());
    EXPECT_EQ(screen::kPalette[PixelAt(0, 0)], 0x929292u);
    EXPECT_EQ(screen::kPalette[PixelAt(1, 0)], 0x494949u);
    EXPECT_EQ(screen::kPalette[PixelAt(2, 0)], 0x252525u);
    EXPECT_EQ(screen::kPalette[PixelAt(3, 0)], 0xFFFFFFu);
    EXPECT_EQ(screen::kPalette[PixelAt(4, 0)], 0x000000u);

    screen.SetColourProfile(true);
    screen.Render(planes.Red());
    EXPECT_EQ(screen::kPalette[PixelAt(0, 0)], 0x00FF00u);
    EXPECT_EQ(screen::kPalette[PixelAt(1, 0)], 0xFF0000u);
    EXPECT_EQ(screen::kPalette[PixelAt(2, 0)], 0x0000FFu);
}

TEST_F(ScreenPicture256, WithoutVideoMemoryThePictureIsBlack) {
    planes.FillRandom(1);
    screen.Render(planes.Red());
    screen.Render(nullptr);
    for (int y = 0; y < 256; y += 15) {
        for (int x = 0; x < 256; x += 7) ASSERT_EQ(PixelAt(x, y), 0);
    }
    ScreenPicture picture = screen.RenderPicture(nullptr);
    EXPECT_EQ(picture.pixels, std::vector<uint8_t>(256 * 256, 0));
}

TEST(ScreenTevrinPicture, RenderPictureIsFreshAtTheCurrentSizeAndLeavesTheBitmapAlone) {
    ScreenTevrin screen(ScreenTevrin::kModeDouble);
    VideoPlanes planes;
    planes.FillRandom(7);
    screen.SetScroll(40);
    ScreenPicture picture = screen.RenderPicture(planes.Red());
    EXPECT_EQ(picture.width, 512);
    EXPECT_EQ(picture.height, 512);
    EXPECT_EQ(picture.pixels, planes.Expected(40, false, true));
    EXPECT_EQ(picture.palette, screen::kPalette);
    auto lock = screen.LockPicture();
    EXPECT_EQ(screen.Pixels()[0], 0) << "the window's bitmap is only rendered by Render()";
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
