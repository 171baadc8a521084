#include <gtest/gtest.h>

#include "frontend/ScreenGeometry.h"

namespace {

using screen::FullScreenMapping;
using screen::MapFullScreen;
using screen::Rect;

struct MappingCase {
    const char* name;
    int monitorWidth, monitorHeight, bitmap, fit;
    Rect destination, source;
};

class FullScreenMappingTable : public ::testing::TestWithParam<MappingCase> {};

TEST_P(FullScreenMappingTable, MatchesTheWorkedExample) {
    const MappingCase& c = GetParam();
    FullScreenMapping mapping =
        MapFullScreen(c.monitorWidth, c.monitorHeight, c.bitmap, c.bitmap, c.fit);
    EXPECT_EQ(mapping.destination, c.destination);
    EXPECT_EQ(mapping.source, c.source);
}

// Worked by hand from the mapping rules; every division truncates.
// clang-format off
const MappingCase kCases[] = {
    // Fill: the width covers the monitor; the height is cut to the monitor or letterboxed.
    {"FillWideMonitorCutsRows",      1920, 1080, 256, screen::kFitFill, {0, 0, 1920, 1080}, {0, 56, 256, 144}},
    {"FillTruncatesOddSizes",        1366,  768, 256, screen::kFitFill, {0, 0, 1366, 768},  {0, 56, 256, 143}},
    {"FillDoubledOnFourByThree",     1280, 1024, 512, screen::kFitFill, {0, 0, 1280, 1024}, {0, 51, 512, 409}},
    {"FillTallMonitorLetterboxes",   1080, 1920, 256, screen::kFitFill, {0, 420, 1080, 1080}, {0, 0, 256, 256}},
    {"FillMonitorSmallerThanBitmap",  400,  300, 512, screen::kFitFill, {0, 0, 400, 300},   {0, 64, 512, 384}},
    {"FillExactSquare",               512,  512, 256, screen::kFitFill, {0, 0, 512, 512},   {0, 0, 256, 256}},
    // Fit: the height covers the monitor; the width is cut or pillarboxed.
    {"FitWideMonitorPillarboxes",    1920, 1080, 256, screen::kFitFit, {420, 0, 1080, 1080}, {0, 0, 256, 256}},
    {"FitOddMarginTruncates",        1366,  768, 512, screen::kFitFit, {299, 0, 768, 768},   {0, 0, 512, 512}},
    {"FitTallMonitorCutsColumns",     768, 1366, 256, screen::kFitFit, {0, 0, 768, 1366},    {56, 0, 143, 256}},
    {"FitMonitorSmallerThanBitmap",   640,  480, 512, screen::kFitFit, {80, 0, 480, 480},    {0, 0, 512, 512}},
    {"FitUnknownValueFallsBackToFit",1920, 1080, 256, 7,               {420, 0, 1080, 1080}, {0, 0, 256, 256}},
    // Stretch: everything onto everything.
    {"StretchLarger",                1920, 1080, 512, screen::kFitStretch, {0, 0, 1920, 1080}, {0, 0, 512, 512}},
    {"StretchSmaller",                300,  200, 512, screen::kFitStretch, {0, 0, 300, 200},   {0, 0, 512, 512}},
    // Centre: 1:1 per axis, cropped where the monitor is smaller.
    {"CentreLarger",                 1920, 1080, 256, screen::kFitCentre, {832, 412, 256, 256}, {0, 0, 256, 256}},
    {"CentreDoubled",                1920, 1080, 512, screen::kFitCentre, {704, 284, 512, 512}, {0, 0, 512, 512}},
    {"CentreShortMonitorCropsRows",   640,  480, 512, screen::kFitCentre, {64, 0, 512, 480},    {0, 16, 512, 480}},
    {"CentreSmallerBothWays",         301,  201, 512, screen::kFitCentre, {0, 0, 301, 201},     {105, 155, 301, 201}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Examples, FullScreenMappingTable, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FullScreenMapping, KeepsTheAspectWheneverItScales) {
    // Fill and fit are meant to keep machine pixels square: the source and destination
    // rectangles have the same shape up to the truncation of one division.
    for (int fit : {screen::kFitFill, screen::kFitFit}) {
        for (auto [w, h] :
             {std::pair{1920, 1080}, {1080, 1920}, {400, 300}, {300, 400}, {1024, 1024}}) {
            for (int bitmap : {256, 512}) {
                FullScreenMapping m = MapFullScreen(w, h, bitmap, bitmap, fit);
                double source = static_cast<double>(m.source.width) / m.source.height;
                double destination =
                    static_cast<double>(m.destination.width) / m.destination.height;
                EXPECT_NEAR(source, destination, 0.02 * destination)
                    << "fit " << fit << " on " << w << "x" << h << " bitmap " << bitmap;
                EXPECT_GE(m.destination.x, 0);
                EXPECT_GE(m.destination.y, 0);
                EXPECT_LE(m.destination.x + m.destination.width, w);
                EXPECT_LE(m.destination.y + m.destination.height, h);
                EXPECT_LE(m.source.x + m.source.width, bitmap);
                EXPECT_LE(m.source.y + m.source.height, bitmap);
            }
        }
    }
}

TEST(FullScreenMapping, EmptyMonitorOrBitmapMapsNothing) {
    EXPECT_EQ(MapFullScreen(0, 1080, 256, 256, screen::kFitFill), FullScreenMapping{});
    EXPECT_EQ(MapFullScreen(1920, 0, 256, 256, screen::kFitFit), FullScreenMapping{});
    EXPECT_EQ(MapFullScreen(1920, 1080, 0, 0, screen::kFitCentre), FullScreenMapping{});
}

TEST(WindowedClientSize, FramesThePictureBetweenToolBarAndPanel) {
    // At 200 % the client area is 512 + 2 × border + 2 wide.
    EXPECT_EQ(screen::WindowedClientSize(512, 512, 8, 28, 22), (screen::ClientSize{530, 578}));
    EXPECT_EQ(screen::WindowedClientSize(256, 256, 8, 28, 22), (screen::ClientSize{274, 322}));
    EXPECT_EQ(screen::WindowedClientSize(256, 256, 0, 0, 0), (screen::ClientSize{258, 256}));
}

}  // namespace
