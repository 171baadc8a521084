#include "ui/main/ScreenView.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include "frontend/ScreenPresenter.h"
#include "media/pictures/BitmapFile.h"
#include "support/TempFolder.h"
#include "support/VideoPlanes.h"

namespace {

QRgb Colour(uint8_t index) {
    return 0xFF000000u | screen::kPalette[index];
}

QImage Grab(ScreenView& view) {
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

class WindowedView : public ::testing::TestWithParam<ScreenMode> {
  protected:
    static constexpr int kBorder = 8;

    void SetUp() override {
        screen.SetBitmapMode(GetParam());
        screen.SetBorder(kBorder);
        planes.FillRandom(5);
        view.SetPresenter(&screen);
        view.resize(view.sizeHint());
        screen.Render(planes.Red(), 3);
    }

    ScreenPresenter screen;
    VideoPlanes planes;
    ScreenView view;
};

TEST_P(WindowedView, ShowsThePictureOneToOneInsideTheBlackBorder) {
    const int size = screen.Width();
    const int scale = screen.Doubled() ? 2 : 1;
    // The client width the main window derives from it: bitmap + 2 × border + 2.
    EXPECT_EQ(view.sizeHint(), QSize(size + 2 * kBorder + 2, size + 2 * kBorder));
    EXPECT_EQ(view.PictureOrigin(), QPoint(kBorder, kBorder));

    QImage shot = Grab(view);
    ASSERT_EQ(shot.size(), view.sizeHint());
    const int frame = size + 2 * kBorder;
    for (int y = 0; y < frame; ++y) {
        for (int x = 0; x < frame; ++x) {
            bool inPicture =
                x >= kBorder && x < kBorder + size && y >= kBorder && y < kBorder + size;
            QRgb expected = inPicture
                                ? Colour(planes.IndexAt((x - kBorder) / scale,
                                                        ((y - kBorder) / scale + 3) % 256, false))
                                : Colour(0);
            ASSERT_EQ(shot.pixel(x, y), expected) << x << "," << y;
        }
    }
    // The two columns beyond the frame are the window's, not the picture's.
    EXPECT_EQ(shot.pixel(frame, 0), view.palette().window().color().rgb());
    EXPECT_EQ(shot.pixel(frame + 1, frame - 1), view.palette().window().color().rgb());
}

INSTANTIATE_TEST_SUITE_P(Sizes, WindowedView,
                         ::testing::Values(ScreenMode::Normal, ScreenMode::Double),
                         [](const auto& info) {
                             return info.param == ScreenMode::Normal ? "At100" : "At200";
                         });

TEST(ScreenView, PaintsTheLastPresentedPictureUntilPresentedAgain) {
    ScreenPresenter screen(ScreenMode::Normal);
    VideoPlanes planes;
    ScreenView view;
    view.SetPresenter(&screen);
    view.resize(view.sizeHint());
    planes.SetPixel(0, 0, VideoPlanes::kGreen);
    screen.Render(planes.Red(), 0);
    planes.SetPixel(0, 0, VideoPlanes::kRed);
    EXPECT_EQ(Grab(view).pixel(0, 0), Colour(4)) << "a repaint alone does not render";
    screen.Render(planes.Red(), 0);
    EXPECT_EQ(Grab(view).pixel(0, 0), Colour(2));

    screen.SetColourProfile(false);
    screen.Render(planes.Red(), 0);
    EXPECT_EQ(Grab(view).pixel(0, 0), qRgb(0x49, 0x49, 0x49));
}

TEST(ScreenView, WithoutAScreenOrVideoMemoryItShowsBlack) {
    ScreenView view;
    view.resize(100, 80);
    QImage shot = Grab(view);
    EXPECT_EQ(shot.pixel(0, 0), Colour(0));
    EXPECT_EQ(shot.pixel(99, 79), Colour(0));
    EXPECT_TRUE(ScreenView::ToImage(ScreenPicture{}).isNull());

    ScreenPresenter screen(ScreenMode::Normal);
    view.SetPresenter(&screen);
    view.resize(view.sizeHint());
    screen.Render(nullptr, 0);
    EXPECT_EQ(Grab(view).pixel(128, 128), Colour(0));
}

// Full screen on a 640 × 400 monitor: the picture is 7-coloured 64-pixel blocks (never black),
// so black can only come from the bars round the destination rectangle.
class FullScreenView : public ::testing::TestWithParam<std::tuple<int /*fit*/, bool /*doubled*/>> {
  protected:
    static constexpr int kMonitorWidth = 640;
    static constexpr int kMonitorHeight = 400;
    static int BlockColour(int bx, int by) { return 1 + (bx + 3 * by) % 7; }
};

TEST_P(FullScreenView, StretchesTheSourceRectangleOntoTheDestination) {
    auto [fit, doubled] = GetParam();
    ScreenPresenter screen(ScreenMode::Normal);
    screen.SetBorder(8);
    screen.SetFullScreenFit(fit);
    screen.SetFullScreenDoubled(doubled);
    screen.ChangeMode(ScreenMode::FullScreen, {0, 0, kMonitorWidth, kMonitorHeight});
    VideoPlanes planes;
    planes.FillBlocks(64, BlockColour);
    ScreenView view;
    view.SetPresenter(&screen);
    view.resize(kMonitorWidth, kMonitorHeight);
    screen.Render(planes.Red(), 0);
    QImage shot = Grab(view);

    const screen::FullScreenMapping& m = screen.Mapping();
    ASSERT_EQ(m, screen::MapFullScreen(kMonitorWidth, kMonitorHeight, screen.Width(),
                                       screen.Height(), fit));
    const int scale = doubled ? 2 : 1;
    // Sample where block centres of the visible source land on the monitor.
    int samples = 0;
    for (int by = 0; by < 4; ++by) {
        for (int bx = 0; bx < 4; ++bx) {
            int sx = (64 * bx + 32) * scale;
            int sy = (64 * by + 32) * scale;
            if (sx < m.source.x || sx >= m.source.x + m.source.width || sy < m.source.y ||
                sy >= m.source.y + m.source.height) {
                continue;
            }
            int dx = m.destination.x + (sx - m.source.x) * m.destination.width / m.source.width;
            int dy = m.destination.y + (sy - m.source.y) * m.destination.height / m.source.height;
            ASSERT_EQ(shot.pixel(dx, dy), Colour(VideoPlanes::IndexOf(BlockColour(bx, by))))
                << "block " << bx << "," << by << " at " << dx << "," << dy;
            ++samples;
        }
    }
    EXPECT_GE(samples, 4);
    // Outside the destination rectangle the monitor is black.
    for (int y = 0; y < kMonitorHeight; y += 9) {
        for (int x = 0; x < kMonitorWidth; x += 9) {
            bool inside = x >= m.destination.x && x < m.destination.x + m.destination.width &&
                          y >= m.destination.y && y < m.destination.y + m.destination.height;
            if (inside) {
                ASSERT_NE(shot.pixel(x, y), Colour(0)) << x << "," << y;
            } else {
                ASSERT_EQ(shot.pixel(x, y), Colour(0)) << x << "," << y;
            }
        }
    }
}

std::string FitCaseName(const ::testing::TestParamInfo<std::tuple<int, bool>>& info) {
    static const char* const kNames[] = {"Fill", "Fit", "Stretch", "Centre"};
    return std::string(kNames[std::get<0>(info.param)]) +
           (std::get<1>(info.param) ? "Doubled" : "Single");
}

INSTANTIATE_TEST_SUITE_P(Fits, FullScreenView,
                         ::testing::Combine(::testing::Values(screen::kFitFill, screen::kFitFit,
                                                              screen::kFitStretch,
                                                              screen::kFitCentre),
                                            ::testing::Bool()),
                         FitCaseName);

TEST(ScreenView, ClipboardImageIsIndexedWithTheScreenPaletteAtTheWindowSize) {
    ScreenPresenter screen(ScreenMode::Double);
    VideoPlanes planes;
    planes.FillRandom(11);
    QImage image = ScreenView::ToImage(screen.RenderPicture(planes.Red(), 200));
    ASSERT_EQ(image.format(), QImage::Format_Indexed8);
    ASSERT_EQ(image.size(), QSize(512, 512));
    EXPECT_EQ(image.colorTable(), ScreenView::ColourTable());
    std::vector<uint8_t> expected = planes.Expected(200, false, true);
    for (int y = 0; y < 512; ++y) {
        for (int x = 0; x < 512; ++x) {
            ASSERT_EQ(image.pixelIndex(x, y), expected[static_cast<size_t>(y) * 512 + x])
                << x << "," << y;
        }
    }
}

TEST(ScreenView, SavedBitmapOpensUprightInAnotherDecoder) {
    ScreenPresenter screen(ScreenMode::Normal);
    VideoPlanes planes;
    planes.FillRandom(3);
    planes.SetPixel(0, 9, VideoPlanes::kRed);  // top left after scrolling by 9
    testing_support::TempFolder folder;
    std::string path = folder.File("shot.bmp");
    ASSERT_TRUE(media::SaveBitmap(screen.RenderPicture(planes.Red(), 9), path));

    QImage loaded(QString::fromStdString(path));
    ASSERT_FALSE(loaded.isNull());
    EXPECT_EQ(loaded.size(), QSize(256, 256));
    EXPECT_EQ(loaded.pixel(0, 0), Colour(2));
    std::vector<uint8_t> expected = planes.Expected(9, false, false);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            ASSERT_EQ(loaded.pixel(x, y), Colour(expected[static_cast<size_t>(y) * 256 + x]))
                << x << "," << y;
        }
    }
}

}  // namespace
