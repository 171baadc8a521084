#include "media/pictures/PngFile.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "media/pictures/BitmapFile.h"
#include "support/TempFolder.h"

namespace {

uint32_t Get32Big(const std::string& file, size_t at) {
    return static_cast<uint32_t>(
        static_cast<uint8_t>(file.at(at)) << 24 | static_cast<uint8_t>(file.at(at + 1)) << 16 |
        static_cast<uint8_t>(file.at(at + 2)) << 8 | static_cast<uint8_t>(file.at(at + 3)));
}

// A decoder of just what the writer may produce: the chunks in order, each CRC checked, and the
// image data inflated.
struct DecodedPng {
    uint32_t width = 0, height = 0;
    std::string header, palette, pixels;  // pixels: each row after its filter byte
    bool ok = false;
};

DecodedPng Decode(const std::string& file) {
    DecodedPng png;
    if (file.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return png;
    std::string idat;
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t length = Get32Big(file, at);
        const std::string type = file.substr(at + 4, 4);
        const std::string data = file.substr(at + 8, length);
        const uLong crc =
            crc32(0, reinterpret_cast<const Bytef*>(file.data() + at + 4), 4 + length);
        if (crc != Get32Big(file, at + 8 + length)) return png;
        if (type == "IHDR") png.header = data;
        if (type == "PLTE") png.palette = data;
        if (type == "IDAT") idat += data;
        at += 12 + length;
        if (type == "IEND") png.ok = at == file.size();
    }
    png.width = Get32Big(png.header, 0);
    png.height = Get32Big(png.header, 4);
    std::string raw(static_cast<size_t>(png.width + 1) * png.height, '\0');
    uLongf size = raw.size();
    if (uncompress(reinterpret_cast<Bytef*>(raw.data()), &size,
                   reinterpret_cast<const Bytef*>(idat.data()), idat.size()) != Z_OK ||
        size != raw.size()) {
        png.ok = false;
    }
    for (uint32_t row = 0; row < png.height; ++row) {
        if (raw[row * (png.width + 1)] != 0) png.ok = false;
        png.pixels += raw.substr(row * (png.width + 1) + 1, png.width);
    }
    return png;
}

TEST(PngFile, HoldsTheSamePixelsAndPaletteAsTheBitmapChosenByTheName) {
    ScreenPicture picture;
    picture.width = 3;  // an odd width: BMP rows are padded, PNG rows are not
    picture.height = 2;
    picture.pixels = {0, 1, 15, 7, 8, 9};
    picture.palette[15] = 0x123456;
    testing_support::TempFolder folder;
    ASSERT_TRUE(media::SavePicture(picture, folder / "shot.PNG"));
    ASSERT_TRUE(media::SavePicture(picture, folder / "shot.bmp"));
    const DecodedPng png = Decode(testing_support::ReadFile(folder / "shot.PNG"));
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.width, 3u);
    EXPECT_EQ(png.height, 2u);
    EXPECT_EQ(png.header.substr(8), std::string("\x08\x03\0\0\0", 5)) << "8-bit indexed";
    ASSERT_EQ(png.palette.size(), 48u);
    EXPECT_EQ(png.palette.substr(45), "\x12\x34\x56");
    EXPECT_EQ(png.pixels, std::string("\0\x01\x0F\x07\x08\x09", 6)) << "top row first";
    EXPECT_EQ(testing_support::ReadFile(folder / "shot.bmp").substr(0, 2), "BM");

    picture.pixels.resize(5);
    EXPECT_TRUE(media::EncodePng(picture).empty());
    EXPECT_FALSE(media::SavePng(picture, folder / "bad.png"));
}

}  // namespace
