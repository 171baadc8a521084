#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "machine/ScreenPalette.h"

// One rendered picture, detached from the screen: what the clipboard, the BMP file and the
// headless screenshot are made from.
struct ScreenPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // palette indices, width per row, top row first
    std::array<uint32_t, screen::kPaletteSize> palette = screen::kPalette;

    uint8_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
