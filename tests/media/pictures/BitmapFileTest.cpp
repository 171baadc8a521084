#include "media/pictures/BitmapFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "machine/ScreenPicture.h"
#include "machine/ScreenRenderer.h"
#include "support/TempFolder.h"
#include "support/VideoPlanes.h"

namespace {

uint32_t Get16(const std::vector<uint8_t>& file, size_t at) {
    return file.at(at) | file.at(at + 1) << 8;
}
uint32_t Get32(const std::vector<uint8_t>& file, size_t at) {
    return Get16(file, at) | Get16(file, at + 2) << 16;
}

constexpr bool kSingle = false, kDoubled = true;

ScreenPicture RenderedPicture(bool doubled, uint8_t scroll) {
    VideoPlanes planes;
    planes.FillRandom(99);
    ScreenPicture picture;
    picture.width = picture.height = doubled ? 512 : 256;
    picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
    screen::RenderPlanes(planes.Red(), scroll, false, doubled, picture.pixels.data());
    return picture;
}

TEST(BitmapFile, HeaderDescribesAnUprightEightBitSixteenColourPicture) {
    std::vector<uint8_t> file = media::EncodeBitmap(RenderedPicture(kSingle, 0));
    ASSERT_EQ(file.size(), 14u + 40 + 64 + 256 * 256);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Get32(file, 2), file.size());
    EXPECT_EQ(Get32(file, 10), 118u);    // pixels right after the palette
    EXPECT_EQ(Get32(file, 14), 40u);     // header size
    EXPECT_EQ(Get32(file, 18), 256u);    // width
    EXPECT_EQ(Get32(file, 22), 256u);    // height, positive: stored bottom row first
    EXPECT_EQ(Get16(file, 26), 1u);      // planes
    EXPECT_EQ(Get16(file, 28), 8u);      // bits per pixel
    EXPECT_EQ(Get32(file, 30), 0u);      // no compression
    EXPECT_EQ(Get32(file, 34), 65536u);  // image size
    EXPECT_EQ(Get32(file, 38), 3779u);   // pixels per metre
    EXPECT_EQ(Get32(file, 42), 3779u);
    EXPECT_EQ(Get32(file, 46), 16u);  // colours used
    // Palette entries are blue, green, red, 0.
    EXPECT_EQ(Get32(file, 54 + 4 * 2), 0x00FF0000u);   // red
    EXPECT_EQ(Get32(file, 54 + 4 * 13), 0x00B7B7B7u);  // a grey
}

TEST(BitmapFile, PadsRowsToFourBytes) {
    ScreenPicture picture;
    picture.width = 3;
    picture.height = 2;
    picture.pixels = {1, 2, 3, 4, 5, 6};
    std::vector<uint8_t> file = media::EncodeBitmap(picture);
    ASSERT_EQ(file.size(), 118u + 8);
    EXPECT_EQ(Get32(file, 34), 8u);
    const std::vector<uint8_t> rows(file.begin() + 118, file.end());
    EXPECT_EQ(rows, (std::vector<uint8_t>{4, 5, 6, 0, 1, 2, 3, 0}));  // bottom row first
}

TEST(BitmapFile, RefusesMalformedPicturesAndUnwritablePlaces) {
    testing_support::TempFolder folder;
    ScreenPicture empty;
    EXPECT_TRUE(media::EncodeBitmap(empty).empty());
    ScreenPicture shortPixels;
    shortPixels.width = 4;
    shortPixels.height = 4;
    shortPixels.pixels.resize(15);
    EXPECT_FALSE(media::SaveBitmap(shortPixels, folder.File("bad.bmp")));
    EXPECT_EQ(errno, EINVAL);

    ScreenPicture picture = RenderedPicture(kSingle, 0);
    EXPECT_FALSE(media::SaveBitmap(picture, folder.File("missing/shot.bmp")));
    EXPECT_TRUE(folder.Names().empty());
}

TEST(BitmapFile, ReplacesAnExistingFile) {
    testing_support::TempFolder folder;
    std::string path = folder.File("shot.bmp");
    { std::ofstream(path) << "old picture"; }
    ScreenPicture picture = RenderedPicture(kDoubled, 0);
    ASSERT_TRUE(media::SaveBitmap(picture, path));
    EXPECT_EQ(testing_support::TempFolder::Read(path), media::EncodeBitmap(picture));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"shot.bmp"}) << "no temporary left";
}

TEST(BitmapFile, KeepsTheOldFileWhenNoTemporaryCanBeMade) {
    // A name under a regular file: no folder to put a temporary in, and root cannot make one.
    testing_support::TempFolder folder;
    std::string old = folder.Write("shot.bmp", "old picture");
    std::string error;
    errno = 0;
    EXPECT_FALSE(media::SaveBitmap(RenderedPicture(kSingle, 0), old + "/shot.bmp", &error));
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_NE(error.find(std::strerror(ENOTDIR)), std::string::npos) << error;
    EXPECT_EQ(testing_support::ReadFile(old), "old picture");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"shot.bmp"});
}

TEST(BitmapFile, AFolderInTheWayIsNotReplaced) {
    testing_support::TempFolder folder;
    std::filesystem::create_directory(folder.File("shot.bmp"));
    EXPECT_FALSE(media::SaveBitmap(RenderedPicture(kSingle, 0), folder.File("shot.bmp")));
    EXPECT_TRUE(std::filesystem::is_directory(folder.File("shot.bmp")));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"shot.bmp"}) << "no temporary left";
}

}  // namespace
