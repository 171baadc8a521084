#include "media/pictures/PngFile.h"

#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "host/files/AtomicFile.h"
#include "host/lang/AsciiText.h"
#include "media/pictures/BitmapFile.h"

namespace media {

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void Chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
    Put32(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(4 + data.size()));
    Put32(out, static_cast<uint32_t>(crc));
}

}  // namespace

std::vector<uint8_t> EncodePng(const ScreenPicture& picture) {
    if (!EncodablePicture(picture)) return {};
    const int width = picture.width;
    const int height = picture.height;
    // Each row starts with its filter byte (0: none).
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(width + 1) * height);
    for (int row = 0; row < height; ++row) {
        raw.push_back(0);
        const uint8_t* source = picture.pixels.data() + static_cast<size_t>(row) * width;
        raw.insert(raw.end(), source, source + width);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
        return {};
    }
    packed.resize(packedSize);

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    Put32(header, static_cast<uint32_t>(width));
    Put32(header, static_cast<uint32_t>(height));
    header.insert(header.end(),
                  {8, 3, 0, 0, 0});  // 8 bits, indexed, deflate, filter 0, no interlace
    Chunk(out, "IHDR", header);
    std::vector<uint8_t> palette;
    for (int i = 0; i < screen::kPaletteSize; ++i) {
        const uint32_t rgb = picture.palette[static_cast<size_t>(i)];
        palette.insert(palette.end(), {static_cast<uint8_t>(rgb >> 16),
                                       static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb)});
    }
    Chunk(out, "PLTE", palette);
    Chunk(out, "IDAT", packed);
    Chunk(out, "IEND", {});
    return out;
}

bool SavePng(const ScreenPicture& picture, const std::string& path, std::string* error) {
    return SaveEncodedPicture(EncodePng(picture), path, error);
}

bool SavePicture(const ScreenPicture& picture, const std::string& path, std::string* error) {
    const std::string extension = std::filesystem::path(path).extension().string();
    if (text::EqualsIgnoreCase(extension, ".png")) return SavePng(picture, path, error);
    return SaveBitmap(picture, path, error);
}

}  // namespace media
