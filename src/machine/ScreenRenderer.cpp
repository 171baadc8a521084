#include "machine/ScreenRenderer.h"

#include <array>
#include <cstring>

#include "machine/MemoryLayout.h"
#include "machine/ScreenPalette.h"

namespace screen {

namespace {

// For every plane byte, its eight pixels as bytes of 0 or 1, leftmost first, once plain and once
// with every pixel doubled. Shifting a loaded 64-bit word by one or two keeps each pixel in its
// own byte, so three loads, two shifts and three ORs make eight palette indices at once.
struct SpreadTables {
    std::array<std::array<uint8_t, 8>, 256> single{};
    std::array<std::array<uint8_t, 16>, 256> doubled{};
};

constexpr SpreadTables MakeSpreadTables() {
    SpreadTables tables;
    for (int value = 0; value < 256; ++value) {
        for (int pixel = 0; pixel < 8; ++pixel) {
            uint8_t bit = static_cast<uint8_t>((value >> (7 - pixel)) & 1);
            tables.single[value][pixel] = bit;
            tables.doubled[value][2 * pixel] = bit;
            tables.doubled[value][2 * pixel + 1] = bit;
        }
    }
    return tables;
}

constexpr SpreadTables kSpread = MakeSpreadTables();

inline uint64_t Load(const uint8_t* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

inline void Store(uint8_t* out, uint64_t word) {
    std::memcpy(out, &word, sizeof word);
}

inline uint64_t Combine(const uint8_t* red, const uint8_t* green, const uint8_t* blue,
                        uint64_t grey) {
    return Load(green) << 2 | Load(red) << 1 | Load(blue) | grey;
}

static_assert(kGreenIndexBit == 4 && kRedIndexBit == 2 && kBlueIndexBit == 1,
              "Combine() places the plane bits by these shifts");

uint64_t GreyBits(bool grey) {
    return grey ? 0x0101010101010101ULL * kGreyIndexBase : 0;
}

}  // namespace

void RenderPlanes(const uint8_t* redPlane, uint8_t scroll, bool grey, bool doubled, uint8_t* out) {
    const int width = doubled ? 2 * kVideoSize : kVideoSize;
    if (redPlane == nullptr) {
        std::memset(out, grey ? kGreyIndexBase : 0, static_cast<size_t>(width) * width);
        return;
    }
    const uint64_t greyBits = GreyBits(grey);
    int videoRow = scroll;
    for (int row = 0; row < kVideoSize; ++row) {
        const uint8_t* red = redPlane + videoRow * kVideoRowBytes;
        const uint8_t* green = red + layout::kGreenPlaneOffset;
        const uint8_t* blue = red + layout::kBluePlaneOffset;
        if (doubled) {
            uint8_t* line = out + static_cast<size_t>(2 * row) * width;
            for (int column = 0; column < kVideoRowBytes; ++column) {
                const uint8_t* r = kSpread.doubled[red[column]].data();
                const uint8_t* g = kSpread.doubled[green[column]].data();
                const uint8_t* b = kSpread.doubled[blue[column]].data();
                Store(line + 16 * column, Combine(r, g, b, greyBits));
                Store(line + 16 * column + 8, Combine(r + 8, g + 8, b + 8, greyBits));
            }
            std::memcpy(line + width, line, static_cast<size_t>(width));
        } else {
            uint8_t* line = out + static_cast<size_t>(row) * width;
            for (int column = 0; column < kVideoRowBytes; ++column) {
                Store(line + 8 * column, Combine(kSpread.single[red[column]].data(),
                                                 kSpread.single[green[column]].data(),
                                                 kSpread.single[blue[column]].data(), greyBits));
            }
        }
        videoRow = (videoRow + 1) & (kVideoSize - 1);
    }
}

}  // namespace screen
