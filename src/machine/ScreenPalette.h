#pragma once

#include <array>
#include <cstdint>

// The screen's 16 palette entries as 0xRRGGBB. A pixel's index is G × 4 + R × 2 + B from its
// three plane bits, plus 8 with the grey profile; the grey ramp rises with that same sum, so
// green counts most, as it does for the eye.
namespace screen {

inline constexpr int kPaletteSize = 16;
inline constexpr uint8_t kGreyIndexBase = 8;
inline constexpr uint8_t kRedIndexBit = 2;
inline constexpr uint8_t kGreenIndexBit = 4;
inline constexpr uint8_t kBlueIndexBit = 1;

inline constexpr std::array<uint32_t, kPaletteSize> kPalette = {
    0x000000, 0x0000FF, 0xFF0000, 0xFF00FF, 0x00FF00, 0x00FFFF, 0xFFFF00, 0xFFFFFF,
    0x000000, 0x252525, 0x494949, 0x6E6E6E, 0x929292, 0xB7B7B7, 0xDBDBDB, 0xFFFFFF,
};

}  // namespace screen
