#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "machine/MemoryLayout.h"
#include "machine/ScreenPalette.h"

// The three video planes laid out as in RAM (red, green 0x4000 above, blue 0x8000 above), with
// the picture worked out the slow way, pixel by pixel, for comparing renders against.
struct VideoPlanes {
    // Colour numbers as the colour register has them.
    static constexpr int kRed = 1;
    static constexpr int kGreen = 2;
    static constexpr int kBlue = 4;

    std::vector<uint8_t> bytes =
        std::vector<uint8_t>(layout::kBluePlaneOffset + layout::kPlaneSize, 0);

    // Palette index of a colour number (colour profile).
    static uint8_t IndexOf(int colour) {
        return static_cast<uint8_t>(((colour & kRed) ? 2 : 0) + ((colour & kGreen) ? 4 : 0) +
                                    ((colour & kBlue) ? 1 : 0));
    }

    uint8_t* Red() { return bytes.data(); }
    const uint8_t* Red() const { return bytes.data(); }

    void SetPixel(int x, int row, int colour) {
        int offset = row * 32 + x / 8;
        uint8_t mask = static_cast<uint8_t>(0x80 >> (x % 8));
        const int planes[3] = {0, layout::kGreenPlaneOffset, layout::kBluePlaneOffset};
        const int bits[3] = {kRed, kGreen, kBlue};
        for (int i = 0; i < 3; ++i) {
            uint8_t& b = bytes[static_cast<size_t>(planes[i] + offset)];
            b = (colour & bits[i]) ? (b | mask) : (b & ~mask);
        }
    }

    // Each machine pixel of block (x / size, row / size) gets colour `colourOf(bx, by)`.
    template <typename ColourOf>
    void FillBlocks(int size, ColourOf colourOf) {
        for (int row = 0; row < 256; ++row) {
            for (int x = 0; x < 256; ++x) SetPixel(x, row, colourOf(x / size, row / size));
        }
    }

    void FillRandom(unsigned seed) {
        std::mt19937 rng(seed);
        for (int plane = 0; plane < 3; ++plane) {
            for (int i = 0; i < layout::kPlaneSize; ++i) {
                bytes[static_cast<size_t>(plane * layout::kPlaneStride + i)] =
                    static_cast<uint8_t>(rng());
            }
        }
    }

    // The palette index of machine pixel (x, row) of video memory.
    uint8_t IndexAt(int x, int row, bool grey) const {
        int offset = row * 32 + x / 8;
        int bit = 7 - x % 8;
        int index = grey ? 8 : 0;
        if ((bytes[static_cast<size_t>(offset)] >> bit) & 1) index += 2;
        if ((bytes[static_cast<size_t>(layout::kGreenPlaneOffset + offset)] >> bit) & 1) index += 4;
        if ((bytes[static_cast<size_t>(layout::kBluePlaneOffset + offset)] >> bit) & 1) index += 1;
        return static_cast<uint8_t>(index);
    }

    // The whole picture as the screen shows it, top row first.
    std::vector<uint8_t> Expected(uint8_t scroll, bool grey, bool doubled) const {
        const int scale = doubled ? 2 : 1;
        const int width = 256 * scale;
        std::vector<uint8_t> out(static_cast<size_t>(width) * width);
        for (int y = 0; y < width; ++y) {
            for (int x = 0; x < width; ++x) {
                out[static_cast<size_t>(y) * width + x] =
                    IndexAt(x / scale, (y / scale + scroll) % 256, grey);
            }
        }
        return out;
    }
};
