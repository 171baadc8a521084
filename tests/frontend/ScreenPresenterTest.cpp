#include "frontend/ScreenPresenter.h"

#include <gtest/gtest.h>

#include <vector>

#include "host/config/ConfigDocument.h"
#include "machine/ScreenPalette.h"
#include "support/VideoPlanes.h"

namespace {

TEST(ScreenPresenter, StartsInColourWithNoModeAndTheFitMapping) {
    ScreenPresenter screen;
    EXPECT_EQ(screen.Mode(), ScreenMode::None);
    EXPECT_EQ(screen.Width(), 256);
    EXPECT_EQ(screen.Height(), 256);
    EXPECT_FALSE(screen.Doubled());
    EXPECT_TRUE(screen.ColourProfile());
    EXPECT_FALSE(screen.FullScreenDoubled());
    EXPECT_EQ(screen.FullScreenFit(), screen::kFitFit);
}

TEST(ScreenPresenter, BitmapSizeFollowsTheMode) {
    ScreenPresenter screen(ScreenMode::Normal);
    EXPECT_EQ(screen.Width(), 256);
    EXPECT_TRUE(screen.ChangeMode(ScreenMode::Double));
    EXPECT_TRUE(screen.Doubled());
    EXPECT_EQ(screen.Width(), 512);
    EXPECT_EQ(screen.Height(), 512);
    EXPECT_FALSE(screen.ChangeMode(ScreenMode::Double)) << "same mode: nothing to do";

    // Full screen takes its size from the full-screen setting, not from the window's size.
    EXPECT_TRUE(screen.ChangeMode(ScreenMode::FullScreen, {0, 0, 1920, 1080}));
    EXPECT_TRUE(screen.InFullScreen());
    EXPECT_EQ(screen.Width(), 256);
    EXPECT_FALSE(screen.Doubled());
    EXPECT_EQ(screen.Monitor(), (screen::Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(screen.Mapping(), screen::MapFullScreen(1920, 1080, 256, 256, screen::kFitFit));

    screen.SetFullScreenDoubled(true);
    screen.SetFullScreenFit(screen::kFitCentre);
    EXPECT_EQ(screen.Width(), 256) << "full-screen settings wait for the next entry";
    EXPECT_TRUE(screen.ChangeMode(ScreenMode::Normal));
    EXPECT_EQ(screen.Width(), 256);
    EXPECT_TRUE(screen.ChangeMode(ScreenMode::FullScreen, {1920, 0, 1280, 1024}));
    EXPECT_EQ(screen.Width(), 512);
    EXPECT_TRUE(screen.Doubled());
    EXPECT_EQ(screen.Mapping().destination, (screen::Rect{384, 256, 512, 512}));
}

TEST(ScreenPresenter, SettersRefuseNonsense) {
    ScreenPresenter screen;
    screen.SetFullScreenFit(9);
    EXPECT_EQ(screen.FullScreenFit(), screen::kFitFit);
    screen.SetFullScreenFit(-1);
    EXPECT_EQ(screen.FullScreenFit(), screen::kFitFit);
    screen.SetBorder(-5);
    EXPECT_EQ(screen.Border(), 0);
    screen.SetBitmapMode(static_cast<ScreenMode>(17));
    EXPECT_EQ(screen.Mode(), ScreenMode::Normal);
    EXPECT_EQ(screen.Width(), 256);
}

class ScreenPicture256 : public ::testing::Test {
  protected:
    uint8_t PixelAt(int x, int y) {
        auto lock = screen.LockPicture();
        return screen.Pixels()[static_cast<size_t>(y) * screen.Width() + x];
    }
    ScreenPresenter screen{ScreenMode::Normal};
    VideoPlanes planes;
};

TEST_F(ScreenPicture256, ScrollOneShowsRowOneOnTopAndRowZeroAtTheBottom) {
    planes.SetPixel(0, 0, VideoPlanes::kRed);
    planes.SetPixel(0, 1, VideoPlanes::kBlue);
    planes.SetPixel(0, 255, VideoPlanes::kGreen);
    screen.Render(planes.Red(), 1);
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
    screen.Render(planes.Red(), 0);
    EXPECT_EQ(screen::kPalette[PixelAt(0, 0)], 0x929292u);
    EXPECT_EQ(screen::kPalette[PixelAt(1, 0)], 0x494949u);
    EXPECT_EQ(screen::kPalette[PixelAt(2, 0)], 0x252525u);
    EXPECT_EQ(screen::kPalette[PixelAt(3, 0)], 0xFFFFFFu);
    EXPECT_EQ(screen::kPalette[PixelAt(4, 0)], 0x000000u);

    screen.SetColourProfile(true);
    screen.Render(planes.Red(), 0);
    EXPECT_EQ(screen::kPalette[PixelAt(0, 0)], 0x00FF00u);
    EXPECT_EQ(screen::kPalette[PixelAt(1, 0)], 0xFF0000u);
    EXPECT_EQ(screen::kPalette[PixelAt(2, 0)], 0x0000FFu);
}

TEST_F(ScreenPicture256, WithoutVideoMemoryThePictureIsBlack) {
    planes.FillRandom(1);
    screen.Render(planes.Red(), 0);
    screen.Render(nullptr, 0);
    for (int y = 0; y < 256; y += 15) {
        for (int x = 0; x < 256; x += 7) ASSERT_EQ(PixelAt(x, y), 0);
    }
    ScreenPicture picture = screen.RenderPicture(nullptr, 0);
    EXPECT_EQ(picture.pixels, std::vector<uint8_t>(256 * 256, 0));
}

TEST(ScreenPresenterPicture, RenderPictureIsFreshAtTheCurrentSizeAndLeavesTheBitmapAlone) {
    ScreenPresenter screen(ScreenMode::Double);
    VideoPlanes planes;
    planes.FillRandom(7);
    ScreenPicture picture = screen.RenderPicture(planes.Red(), 40);
    EXPECT_EQ(picture.width, 512);
    EXPECT_EQ(picture.height, 512);
    EXPECT_EQ(picture.pixels, planes.Expected(40, false, true));
    EXPECT_EQ(picture.palette, screen::kPalette);
    auto lock = screen.LockPicture();
    EXPECT_EQ(screen.Pixels()[0], 0) << "the window's bitmap is only rendered by Render()";
}

TEST(ScreenPresenter, TakesOnlyThePresentationGroupsFromTheSettings) {
    config::ConfigDocument document;
    ASSERT_EQ(document.LoadFromText("<TevrinEmu version=\"1\"><Screen border=\"3\" "
                                    "color-profile=\"grey-scale\" full-screen-size=\"200\" "
                                    "full-screen-fit=\"stretch\"/></TevrinEmu>",
                                    "1"),
              config::ConfigLoadResult::Usable);
    config::Settings settings(document);
    ScreenPresenter screen;
    using config::Group;
    screen.ApplySettings(settings,
                         {Group::MainRom, Group::Multiplier, Group::Timers, Group::InteOnPb0,
                          Group::SoundDevice, Group::Keyboard, Group::Muse});
    EXPECT_TRUE(screen.ColourProfile());
    EXPECT_EQ(screen.Border(), 0);
    EXPECT_EQ(screen.FullScreenFit(), screen::kFitFit);

    screen.ApplySettings(settings, {config::Group::ColourProfile});
    EXPECT_FALSE(screen.ColourProfile());
    EXPECT_EQ(screen.Border(), 0) << "each group alone";
    screen.ApplySettings(settings, {config::Group::Border, config::Group::FullScreen});
    EXPECT_EQ(screen.Border(), 3);
    EXPECT_EQ(screen.FullScreenFit(), screen::kFitStretch);
    EXPECT_TRUE(screen.FullScreenDoubled());
}

}  // namespace
