#include "media/pictures/BitmapFile.h"

#include <cerrno>
#include <cstring>

#include "host/files/AtomicFile.h"

namespace media {

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kPaletteBytes = screen::kPaletteSize * 4;
constexpr uint32_t kPixelsPerMetre = 3779;  // 96 dots per inch

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    out[at] = static_cast<uint8_t>(value);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    Put16(out, at, value & 0xFFFF);
    Put16(out, at + 2, value >> 16);
}

}  // namespace

bool EncodablePicture(const ScreenPicture& picture) {
    constexpr int kLargest = 16384;
    return picture.width > 0 && picture.height > 0 && picture.width <= kLargest &&
           picture.height <= kLargest &&
           picture.pixels.size() >= static_cast<size_t>(picture.width) * picture.height;
}

std::vector<uint8_t> EncodeBitmap(const ScreenPicture& picture) {
    if (!EncodablePicture(picture)) return {};
    const int width = picture.width;
    const int height = picture.height;
    const uint32_t stride = (static_cast<uint32_t>(width) + 3) & ~3U;  // rows end on 4 bytes
    const uint32_t imageSize = stride * static_cast<uint32_t>(height);
    const uint32_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + kPaletteBytes;
    std::vector<uint8_t> out(pixelOffset + imageSize, 0);

    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, pixelOffset + imageSize);
    Put32(out, 10, pixelOffset);

    size_t info = kFileHeaderSize;
    Put32(out, info + 0, kInfoHeaderSize);
    Put32(out, info + 4, static_cast<uint32_t>(width));
    Put32(out, info + 8, static_cast<uint32_t>(height));  // positive: bottom row first
    Put16(out, info + 12, 1);                             // planes
    Put16(out, info + 14, 8);                             // bits per pixel
    Put32(out, info + 16, 0);                             // no compression
    Put32(out, info + 20, imageSize);
    Put32(out, info + 24, kPixelsPerMetre);
    Put32(out, info + 28, kPixelsPerMetre);
    Put32(out, info + 32, screen::kPaletteSize);  // colours used
    Put32(out, info + 36, 0);                     // all of them important

    size_t palette = kFileHeaderSize + kInfoHeaderSize;
    for (int i = 0; i < screen::kPaletteSize; ++i) {
        uint32_t rgb = picture.palette[static_cast<size_t>(i)];
        out[palette + 4 * i + 0] = static_cast<uint8_t>(rgb);        // blue
        out[palette + 4 * i + 1] = static_cast<uint8_t>(rgb >> 8);   // green
        out[palette + 4 * i + 2] = static_cast<uint8_t>(rgb >> 16);  // red
    }

    for (int row = 0; row < height; ++row) {
        const uint8_t* source =
            picture.pixels.data() + static_cast<size_t>(height - 1 - row) * width;
        std::memcpy(out.data() + pixelOffset + static_cast<size_t>(row) * stride, source,
                    static_cast<size_t>(width));
    }
    return out;
}

bool SaveBitmap(const ScreenPicture& picture, const std::string& path, std::string* error) {
    return SaveEncodedPicture(EncodeBitmap(picture), path, error);
}

bool SaveEncodedPicture(const std::vector<uint8_t>& file, const std::string& path,
                        std::string* error) {
    if (file.empty()) {
        if (error != nullptr) *error = "the picture has no pixels to save";
        errno = EINVAL;
        return false;
    }
    return files::WriteFileAtomically(path, file, error);
}

}  // namespace media
